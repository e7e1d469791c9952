#include "report_options.h"

#include "cli_args.h"
#include "exceptions.h"
#include "rtf_report.h"
#include "xml_report.h"

#include <map>

namespace {
// A ":X.NAME" parameter of a statement.
struct Param {
    int slot;
    QString field;
};

bool IsNameChar(QChar c) {
    return c.isLetterOrNumber() || c == '_' || c == '$' || c == '#' || c == '@';
}

// The statement with each :X.NAME (outside quotes and brackets) replaced by "?", and the parameters.
QString ParseParams(const QString& sql, std::vector<Param>& params) {
    QString out;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            out += c;
            continue;
        }
        if (c == '\'' || c == '"' || c == '[') {
            quote = c == '[' ? QChar(']') : c;
            out += c;
            continue;
        }
        const bool starts = c == ':' && i + 3 < sql.size() && sql[i + 1].isLetter() &&
                            sql[i + 1].toUpper() >= 'A' && sql[i + 1].toUpper() <= 'Z' && sql[i + 2] == '.' &&
                            IsNameChar(sql[i + 3]) &&
                            (i == 0 || (sql[i - 1] != ':' && !IsNameChar(sql[i - 1])));
        if (!starts) {
            out += c;
            continue;
        }
        qsizetype e = i + 3;
        while (e < sql.size() && IsNameChar(sql[e]))
            ++e;
        params.push_back({sql[i + 1].toUpper().unicode() - 'A', sql.mid(i + 3, e - i - 3)});
        out += QLatin1Char('?');
        i = e - 1;
    }
    return out;
}

bool ReadFlag(const QString& name, const QString& value) {
    const QString v = value.trimmed().toLower();
    if (v == "1" || v == "true" || v == "yes") return true;
    if (v == "0" || v == "false" || v == "no") return false;
    throw UsageError(("--set " + name + " takes 1 or 0, not " + value).toStdString());
}

int ReadInt(const QString& name, const QString& value, int min, int max) {
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    if (!ok || n < min || n > max)
        throw UsageError(QStringLiteral("--set %1 takes a whole number from %2 to %3, not %4")
                             .arg(name)
                             .arg(min)
                             .arg(max)
                             .arg(value)
                             .toStdString());
    return n;
}
} // namespace

// --- datasets

struct ReportDataSets::Detail {
    QString sql;
    std::vector<Param> params;
    std::vector<TField*> fields; // of the params, once the slots before are open
    TADOQuery query;
    QVariantList last;
    bool opened = false;
};

ReportDataSets::ReportDataSets(CliArgs& args, TADOConnection* connection) : connection_(connection) {
    QString given;
    while (args.take("--dataset", given)) {
        const qsizetype eq = given.indexOf(QLatin1Char('='));
        const QString letter = given.left(eq).trimmed().toUpper();
        const char expected = char('B' + details_.size());
        if (eq < 0 || letter.size() != 1 || letter[0] < 'B' || letter[0] > 'Z')
            throw UsageError(
                ("--dataset takes LETTER=\"SELECT ...\" with a letter B to Z, not " + given).toStdString());
        if (letter[0] != QLatin1Char(expected))
            throw UsageError(QStringLiteral("--dataset %1 comes out of order: the next slot is %2")
                                 .arg(letter)
                                 .arg(QLatin1Char(expected))
                                 .toStdString());
        auto d = std::make_unique<Detail>();
        d->sql = ParseParams(given.mid(eq + 1), d->params);
        if (d->sql.trimmed().isEmpty())
            throw UsageError(("--dataset " + letter + " has no statement").toStdString());
        for (const Param& p : d->params)
            if (p.slot >= int(details_.size()) + 1)
                throw UsageError(QStringLiteral("--dataset %1: :%2.%3 names no earlier slot")
                                     .arg(letter)
                                     .arg(QLatin1Char(char('A' + p.slot)))
                                     .arg(p.field)
                                     .toStdString());
        details_.push_back(std::move(d));
    }
}

ReportDataSets::~ReportDataSets() {
    for (TDataSet* ds : slots_)
        ds->AfterScroll = nullptr;
}

void ReportDataSets::open(TADOQuery& a) {
    slots_ = {&a};
    for (size_t i = 0; i < details_.size(); ++i) {
        Detail& d = *details_[i];
        const QChar letter(char('B' + i));
        for (const Param& p : d.params) {
            TField* f = slots_[size_t(p.slot)]->FindField(p.field);
            if (!f)
                throw Exception(QStringLiteral("Dataset %1: field \"%2\" not found in dataset %3.")
                                    .arg(letter, p.field, QChar(char('A' + p.slot))));
            d.fields.push_back(f);
        }
        d.query.Connection = connection_;
        d.query.ReadOnly = true;
        d.query.SQL = d.sql;
        refresh(i);
        slots_.push_back(&d.query);
    }
    // A slot that moves brings the datasets whose parameters it gives to its new record.
    for (size_t s = 0; s < slots_.size(); ++s) {
        std::vector<size_t> followers;
        for (size_t i = 0; i < details_.size(); ++i)
            for (const Param& p : details_[i]->params)
                if (size_t(p.slot) == s && (followers.empty() || followers.back() != i))
                    followers.push_back(i);
        if (followers.empty()) continue;
        slots_[s]->AfterScroll = [this, followers](TDataSet&) {
            for (size_t i : followers)
                refresh(i);
        };
    }
}

void ReportDataSets::refresh(size_t index) {
    Detail& d = *details_[index];
    QVariantList values;
    for (size_t k = 0; k < d.params.size(); ++k) {
        const TDataSet* ds = slots_[size_t(d.params[k].slot)]; // an earlier slot, open already
        const int pos = ds->Active() ? ds->currentPosition() : -1;
        values.append(pos < 0 ? QVariant() : ds->valueAt(d.fields[k], pos));
    }
    // Only a new master record reads the rows again.
    if (d.opened && values == d.last) return;
    d.last = values;
    d.query.Parameters = values;
    d.query.Close();
    d.query.Open();
    d.opened = true;
}

std::vector<TDataSet*> ReportDataSets::all(TADOQuery& a) const {
    std::vector<TDataSet*> list{&a};
    for (const auto& d : details_)
        list.push_back(&d->query);
    return list;
}

// --- variables and properties

ReportSettings::ReportSettings(CliArgs& args) {
    QString v;
    while (args.take("--var", v)) {
        const qsizetype eq = v.indexOf(QLatin1Char('='));
        if (eq <= 0 || v.left(eq).trimmed().isEmpty())
            throw UsageError(("--var takes NAME=VALUE, not " + v).toStdString());
        variables_.append(v.left(eq).trimmed() + QLatin1Char('=') + v.mid(eq + 1));
    }
    while (args.take("--set", v)) {
        const qsizetype eq = v.indexOf(QLatin1Char('='));
        if (eq <= 0) throw UsageError(("--set takes PROPERTY=VALUE, not " + v).toStdString());
        properties_.emplace_back(v.left(eq).trimmed(), v.mid(eq + 1));
    }
}

bool ReportSettings::applyCommon(TReportEngine& r, const QString& name, const QString& value) const {
    const QString n = name.toLower();
    static const std::map<QString, QString TReportEngine::*> texts = {
        {"defaultcalcformat", &TReportEngine::DefaultCalcFormat},
        {"defaultnumericformat", &TReportEngine::DefaultNumericFormat},
        {"defaultbooleanformat", &TReportEngine::DefaultBooleanFormat},
        {"defaultdateformat", &TReportEngine::DefaultDateFormat},
        {"defaulttimeformat", &TReportEngine::DefaultTimeFormat},
        {"fieldnotfoundvalue", &TReportEngine::FieldNotFoundValue}};
    if (auto it = texts.find(n); it != texts.end()) {
        r.*(it->second) = value;
    } else if (n == "convertscientificformat") {
        r.ConvertScientificFormat = ReadFlag(name, value);
    } else if (n == "raiseunknownfield") {
        r.RaiseUnknownField = ReadFlag(name, value);
    } else if (n == "memoreplaces") {
        if (value.indexOf(QLatin1Char('=')) <= 0)
            throw UsageError(("--set MemoReplaces takes OLD=NEW, not " + value).toStdString());
        r.MemoReplaces.append(value);
    } else if (n == "defaultmemoformat") {
        static const std::map<QString, TMemoFormat> formats = {
            {"text", mfText},       {"mftext", mfText},       {"rtf", mfRTF},
            {"mfrtf", mfRTF},       {"auto", mfAutoDetect},   {"mfautodetect", mfAutoDetect},
            {"rtfline", mfRTFLine}, {"mfrtfline", mfRTFLine}, {"plain", mfPlain},
            {"mfplain", mfPlain}};
        auto it = formats.find(value.trimmed().toLower());
        if (it == formats.end())
            throw UsageError(("--set DefaultMemoFormat takes text, rtf, auto, rtfline or plain, not " + value)
                                 .toStdString());
        r.DefaultMemoFormat = it->second;
    } else {
        return false;
    }
    return true;
}

void ReportSettings::apply(TRTFReport2& r) const {
    r.Variables.append(variables_);
    for (const auto& [name, value] : properties_) {
        if (applyCommon(r, name, value)) continue;
        const QString n = name.toLower();
        if (n == "defaultcharset")
            r.DefaultCharset = ReadInt(name, value, 0, 255);
        else if (n == "extracteolafterif")
            r.ExtractEOLAfterIf = ReadFlag(name, value);
        else if (n == "appendtofile")
            r.AppendToFile = ReadFlag(name, value);
        else if (n == "txtcodepage")
            r.TxtCodePage = ReadInt(name, value, 0, 65535);
        else if (n == "printcopies")
            r.PrintCopies = ReadInt(name, value, 1, 255);
        else
            throw UsageError(("--set " + name + " is not a property of RTF and text reports").toStdString());
    }
}

void ReportSettings::apply(TkXMLReport& r) const {
    r.Variables.append(variables_);
    static const std::map<QString, TRtfSupportedFormat> formats = {
        {"rtffontname", rtfFontName},   {"rtffontsize", rtfFontSize},
        {"rtfbold", rtfBold},           {"rtfitalic", rtfItalic},
        {"rtfunderline", rtfUnderline}, {"rtfunderlinedouble", rtfUnderlineDouble},
        {"rtfstrike", rtfStrike},       {"rtfstrikedouble", rtfStrikeDouble}};
    for (const auto& [name, value] : properties_) {
        if (applyCommon(r, name, value)) continue;
        const QString n = name.toLower();
        if (n == "jointouchingtables") {
            r.JoinTouchingTables = ReadFlag(name, value);
        } else if (n == "inlineformatting") {
            r.InlineFormatting.append(QString(value).replace(QLatin1String("#9"), QLatin1String("\t")));
        } else if (n == "rtfcustomformats") {
            r.RtfCustomFormats.append(value);
        } else if (n == "printcopies") {
            r.PrintCopies = ReadInt(name, value, 1, 255);
        } else if (n == "rtfsupportedformats") {
            unsigned set = 0;
            for (const QString& f : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                auto it = formats.find(f.trimmed().toLower());
                if (it == formats.end())
                    throw UsageError(
                        ("--set RtfSupportedFormats: unknown format " + f.trimmed()).toStdString());
                set |= 1u << it->second;
            }
            r.RtfSupportedFormats = set;
        } else {
            throw UsageError(
                ("--set " + name + " is not a property of DOCX, ODT and XML reports").toStdString());
        }
    }
}
