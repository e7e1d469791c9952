#include "cell_conditions.h"

#include "column_store.h"
#include "dataset.h"
#include "db_grid.h"
#include "field.h"
#include "messages.h"
#include "summary.h"

#include <QDate>
#include <QLocale>
#include <QPointer>
#include <QTimer>
#include <cmath>
#include <cstring>

const QStringList& CondOperatorTexts() {
    static const QStringList texts = {QStringLiteral("="),        QStringLiteral("<"),
                                      QStringLiteral("<="),       QStringLiteral(">"),
                                      QStringLiteral(">="),       QStringLiteral("<>"),
                                      QStringLiteral("start by"), QStringLiteral("not start by"),
                                      QStringLiteral("contain"),  QStringLiteral("not contain"),
                                      QStringLiteral("always")};
    return texts;
}

const QStringList& CondActionTexts() {
    static const QStringList texts = {QStringLiteral(">>>"), QStringLiteral("AND"), QStringLiteral("OR")};
    return texts;
}

int CondOperatorOf(const QString& text) {
    const QString t = text.trimmed();
    for (int i = 0; i < CondOperatorTexts().size(); ++i)
        if (CondOperatorTexts()[i].compare(t, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int CondActionOf(const QString& text) {
    const QString t = text.trimmed();
    for (int i = 0; i < CondActionTexts().size(); ++i)
        if (CondActionTexts()[i].compare(t, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

namespace {
enum class Kind { Number, Boolean, Text };
enum class Source { Constant, Today, Aggregate, Field };

Kind kindOf(const TField* f) {
    if (IsBooleanField(*f)) return Kind::Boolean;
    if (IsNumericType(f->DataType) || IsDateTimeType(f->DataType)) return Kind::Number;
    return Kind::Text;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

size_t findNoCase(std::string_view hay, std::string_view needle) {
    if (needle.size() > hay.size()) return std::string_view::npos;
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i)
        if (equalsNoCase(hay.substr(i, needle.size()), needle)) return i;
    return std::string_view::npos;
}

// A constant as a number: a date (short date form, or the ISO form) for date-time fields, else a
// floating-point number in the user's or the C form; unreadable texts are 0.
double constantNumber(const TField* f, const QString& value) {
    const QString v = value.trimmed();
    if (IsDateTimeType(f->DataType)) {
        QDate d = QLocale().toDate(v, QLocale::ShortFormat);
        if (d.isValid()) return double(dtconv::DaysOf(dtconv::FromDate(d)));
        int64_t ms = 0;
        const QByteArray utf8 = v.toUtf8();
        for (TFieldType t : {ftDateTime, ftDate, ftTime})
            if (dtconv::Parse(std::string_view(utf8.constData(), size_t(utf8.size())), t, ms))
                return dtconv::ToDays(ms);
        return 0;
    }
    bool ok = false;
    double n = QLocale().toDouble(v, &ok);
    if (!ok) n = QLocale::c().toDouble(v, &ok);
    return ok ? n : 0;
}

// "y", "ye", "yes" (any case) and "1" are true.
bool constantBoolean(const QString& value) {
    if (value == QLatin1String("1")) return true;
    return !value.isEmpty() && value.size() <= 3 &&
           QStringLiteral("Yes").left(value.size()).compare(value, Qt::CaseInsensitive) == 0;
}

double variantNumber(const TField* f, const QVariant& v) {
    if (!v.isValid()) return 0;
    if (IsDateTimeType(f->DataType)) {
        QVariant s;
        if (!ConvertForStorage(v, f->DataType, s)) return 0;
        return dtconv::ToDays(s.toLongLong());
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : 0;
}

// The value text of a field (its display format ignored), as TField::AsString gives it.
QString plainText(const TField* f, const QVariant& v) {
    if (!v.isValid()) return QString();
    if (f->DisplayFormat.isEmpty()) return f->formatValue(v);
    TField copy(*f);
    copy.DisplayFormat.clear();
    return copy.formatValue(v);
}

const char* const kAggregates[] = {"SUM", "MIN", "MAX", "AVG", "COUNTVAL", "COUNTNULL", "COUNTALL"};
} // namespace

// One condition ready to evaluate: fields resolved, the comparison value converted once.
struct TCellParamsCondList::Compiled {
    int item = 0;
    const TField* field = nullptr;
    int column = -1; // store column; -1 for calculated and lookup fields
    Kind kind = Kind::Text;
    TCellParamsCondOperators op = cpoEqual;
    Source source = Source::Constant;
    double n = 0;
    bool b = false;
    QString t;
    QByteArray tUtf8;
    bool tAscii = true;
    const TField* other = nullptr; // Source::Field
    QString aggregateWord, aggregateField;

    void setText(const QString& text) {
        t = text;
        tUtf8 = text.toUtf8();
        tAscii = isAscii(std::string_view(tUtf8.constData(), size_t(tUtf8.size())));
    }
};

struct TCellParamsCondList::Program {
    TDataSet* ds = nullptr;
    int fieldCount = -1;
    std::vector<Compiled> conds;
    int row = -1;                 // the row the results below belong to
    std::vector<size_t> applying; // conditions whose formatting applies to that row, in order
    std::vector<QString> pending; // errors to show once the drawing is over
};

TCellParamsCondList::TCellParamsCondList() : program_(std::make_unique<Program>()) {}
TCellParamsCondList::~TCellParamsCondList() = default;

void TCellParamsCondList::LinkGrid(TkDBGrid* grid) {
    Gr = grid;
    Invalidate();
}

TCellParamsCond& TCellParamsCondList::EditItem(int i) {
    dirty_ = true;
    return items_[size_t(i)];
}

void TCellParamsCondList::Add(const TCellParamsCond& c) {
    items_.push_back(c);
    dirty_ = true;
}

void TCellParamsCondList::Delete(int i) {
    items_.erase(items_.begin() + i);
    dirty_ = true;
}

void TCellParamsCondList::Clear() {
    items_.clear();
    dirty_ = true;
}

void TCellParamsCondList::SetItems(std::vector<TCellParamsCond> items) {
    items_ = std::move(items);
    dirty_ = true;
}

void TCellParamsCondList::Assign(const TCellParamsCondList& other) {
    if (&other == this) return;
    items_ = other.items_;
    dirty_ = true;
}

void TCellParamsCondList::Invalidate() {
    dirty_ = true;
}

void TCellParamsCondList::deactivate(int item, const QString& message) {
    TCellParamsCond& c = items_[size_t(item)];
    c.Deactive = true;
    c.ErrorDesc = message;
    program_->pending.push_back(c.FieldName + QLatin1Char('\n') + message);
    // Never a modal box while the grid is drawing: it is shown once the event loop runs again.
    if (program_->pending.size() == 1 && Gr) {
        QPointer<TkDBGrid> grid = Gr;
        QTimer::singleShot(0, Gr, [this, grid] {
            if (!grid) return;
            const std::vector<QString> all = std::move(program_->pending);
            program_->pending.clear();
            for (const QString& p : all)
                Messages().exceptionBox(
                    QStringLiteral("Invalid condition for field %1. Condition will be deactivated.")
                        .arg(p.section('\n', 0, 0)),
                    p.section('\n', 1));
        });
    }
}

bool TCellParamsCondList::ensureCompiled(TDataSet* ds) {
    Program& p = *program_;
    if (!dirty_ && p.ds == ds && p.fieldCount == ds->FieldCount()) return true;
    p.conds.clear();
    p.row = -1;
    p.ds = ds;
    p.fieldCount = ds->FieldCount();
    dirty_ = false;
    for (int i = 0; i < Count(); ++i) {
        const TCellParamsCond& item = items_[size_t(i)];
        if (item.Deactive) continue;
        Compiled c;
        c.item = i;
        c.op = item.CondOperator;
        c.field = ds->FindField(item.FieldName);
        if (!c.field) {
            deactivate(i, QStringLiteral("Field '%1' not found.").arg(item.FieldName));
            continue;
        }
        c.column = c.field->column();
        c.kind = kindOf(c.field);
        if (!item.Value.startsWith(QLatin1Char('='))) {
            c.source = Source::Constant;
            if (c.kind == Kind::Number) c.n = constantNumber(c.field, item.Value);
            if (c.kind == Kind::Boolean) c.b = constantBoolean(item.Value);
            c.setText(item.Value);
        } else {
            const QString r = item.Value.mid(1, 255);
            const int open = r.indexOf(QLatin1Char('(')), close = r.indexOf(QLatin1Char(')'), open + 1);
            const QString word = open > 0 ? r.left(open).trimmed().toUpper() : QString();
            const QString inner = close > open ? r.mid(open + 1, close - open - 1).trimmed() : QString();
            bool aggregate = false;
            for (const char* a : kAggregates)
                aggregate = aggregate || word == QLatin1String(a);
            if (r.trimmed().compare(QLatin1String("$Date"), Qt::CaseInsensitive) == 0) {
                c.source = Source::Today;
            } else if (aggregate && Gr && Gr->columnOfField(inner) >= 0) {
                c.source = Source::Aggregate;
                c.aggregateWord = word;
                c.aggregateField = inner;
            } else {
                c.source = Source::Field;
                c.other = ds->FindField(r);
                if (!c.other) {
                    deactivate(i, QStringLiteral("Field '%1' not found.").arg(r));
                    continue;
                }
            }
        }
        p.conds.push_back(std::move(c));
    }
    ResetCond();
    return true;
}

void TCellParamsCondList::ResetCond() {
    for (TCellParamsCond& c : items_)
        c.LastRecNo = -1;
    Program& p = *program_;
    p.row = -1;
    // Values that hold for a whole repaint: today and the grid's last aggregates.
    for (Compiled& c : p.conds) {
        if (c.source == Source::Today) {
            const QDate today = QDate::currentDate();
            c.n = double(dtconv::DaysOf(dtconv::FromDate(today)));
            c.b = false;
            c.setText(QLocale().toString(today, QLocale::ShortFormat));
        } else if (c.source == Source::Aggregate && Gr) {
            const TSummaryResults* s = Gr->SummaryOf(c.aggregateField);
            double n = 0;
            if (s) {
                const QString& w = c.aggregateWord;
                n = w == QLatin1String("SUM")         ? s->Sum
                    : w == QLatin1String("MIN")       ? s->Min
                    : w == QLatin1String("MAX")       ? s->Max
                    : w == QLatin1String("AVG")       ? s->Avg
                    : w == QLatin1String("COUNTVAL")  ? double(s->CountValues)
                    : w == QLatin1String("COUNTNULL") ? double(s->CountEmpty)
                                                      : double(s->CountValues + s->CountEmpty);
            }
            c.n = n;
            c.b = false;
            c.setText(QString::number(n, 'g', 15));
        }
    }
}

namespace {
// One cell's value for one condition: straight from the store where possible.
struct Cell {
    bool null = true;
    double n = 0;
    bool b = false;
    std::string_view utf8; // text from the store
    QString text;          // text from a variant (calculated fields, the edit buffer)
    bool fromVariant = false;
};

bool compareNumber(double v, double n, TCellParamsCondOperators op) {
    const bool eq = std::fabs(v - n) <= 1e-15;
    switch (op) {
    case cpoEqual:
        return eq;
    case cpoLess:
        return !eq && v < n;
    case cpoLessOrEq:
        return eq || v < n;
    case cpoGreater:
        return !eq && v > n;
    case cpoGreaterOrEq:
        return eq || v > n;
    case cpoNotEqual:
        return !eq;
    default:
        return false;
    }
}

bool compareText(const QString& s, const QString& t, TCellParamsCondOperators op) {
    switch (op) {
    case cpoEqual:
        return s.compare(t, Qt::CaseInsensitive) == 0;
    case cpoNotEqual:
        return s.compare(t, Qt::CaseInsensitive) != 0;
    case cpoLess:
        return s.compare(t, Qt::CaseSensitive) < 0;
    case cpoLessOrEq:
        return s.compare(t, Qt::CaseSensitive) <= 0;
    case cpoGreater:
        return s.compare(t, Qt::CaseSensitive) > 0;
    case cpoGreaterOrEq:
        return s.compare(t, Qt::CaseSensitive) >= 0;
    case cpoStart:
        return s.startsWith(t, Qt::CaseInsensitive);
    case cpoNotStart:
        return !s.startsWith(t, Qt::CaseInsensitive);
    case cpoContain:
        return s.contains(t, Qt::CaseInsensitive);
    case cpoNotContain:
        return !s.contains(t, Qt::CaseInsensitive);
    default:
        return false;
    }
}

// ASCII on both sides: bytes compared directly, no text object made.
bool compareAscii(std::string_view s, std::string_view t, TCellParamsCondOperators op) {
    const int ord = s.compare(t);
    switch (op) {
    case cpoEqual:
        return equalsNoCase(s, t);
    case cpoNotEqual:
        return !equalsNoCase(s, t);
    case cpoLess:
        return ord < 0;
    case cpoLessOrEq:
        return ord <= 0;
    case cpoGreater:
        return ord > 0;
    case cpoGreaterOrEq:
        return ord >= 0;
    case cpoStart:
        return s.size() >= t.size() && equalsNoCase(s.substr(0, t.size()), t);
    case cpoNotStart:
        return !(s.size() >= t.size() && equalsNoCase(s.substr(0, t.size()), t));
    case cpoContain:
        return findNoCase(s, t) != std::string_view::npos;
    case cpoNotContain:
        return findNoCase(s, t) == std::string_view::npos;
    default:
        return false;
    }
}
} // namespace

void TCellParamsCondList::evaluateRow(int row) {
    Program& p = *program_;
    p.row = row;
    p.applying.clear();
    TDataSet* ds = p.ds;
    // A model row is a view position, shifted below a record being inserted; the inserted record and
    // the record being edited show their edit buffer.
    const int insertAt = ds->insertPosition();
    const bool inserted = insertAt >= 0 && row == insertAt;
    const int position = insertAt >= 0 && row > insertAt ? row - 1 : row;
    const bool buffered = inserted || (ds->State() == dsEdit && position == ds->currentPosition());
    if (!buffered && (position < 0 || position >= ds->RecordCount())) return;
    const uint32_t rowId = buffered ? 0 : ds->rowIdAt(position);
    const ColumnStore& store = ds->store();
    auto valueOf = [&](const TField* f) { return buffered ? ds->currentValue(f) : ds->valueOfRow(f, rowId); };

    TCellParamsCondActions prevAction = cpaSet;
    bool prevResult = true;
    for (size_t k = 0; k < p.conds.size(); ++k) {
        const Compiled& c = p.conds[k];
        TCellParamsCond& item = items_[size_t(c.item)];
        if (item.Deactive) continue;
        bool r = false;
        try {
            if (c.op == cpoAllways) {
                r = true;
            } else {
                // The comparison value; another field's is read per row.
                double n = c.n;
                bool b = c.b;
                const QString* t = &c.t;
                std::string_view tUtf8(c.tUtf8.constData(), size_t(c.tUtf8.size()));
                bool tAscii = c.tAscii;
                QString otherText;
                QByteArray otherUtf8;
                if (c.source == Source::Field) {
                    const QVariant ov = valueOf(c.other);
                    if (IsDateTimeType(c.other->DataType) || IsNumericType(c.other->DataType))
                        n = variantNumber(c.other, ov);
                    if (IsBooleanField(*c.other)) b = ov.isValid() && ov.toBool();
                    otherText = plainText(c.other, ov);
                    otherUtf8 = otherText.toUtf8();
                    t = &otherText;
                    tUtf8 = std::string_view(otherUtf8.constData(), size_t(otherUtf8.size()));
                    tAscii = isAscii(tUtf8);
                }
                // The tested field's value.
                Cell v;
                if (!buffered && c.column >= 0) {
                    const Column& col = store.column(size_t(c.column));
                    v.null = col.isNull(rowId);
                    if (!v.null) {
                        switch (col.kind()) {
                        case StorageKind::Float:
                            v.n = col.floatAt(rowId);
                            break;
                        case StorageKind::DateTime:
                            v.n = dtconv::ToDays(col.intAt(rowId));
                            break;
                        case StorageKind::Text:
                        case StorageKind::Bytes:
                            if (col.isOtherClass(rowId) || col.kind() == StorageKind::Bytes) {
                                v.fromVariant = true;
                                v.text = plainText(c.field, ds->valueOfRow(c.field, rowId));
                            } else {
                                v.utf8 = col.bytesAt(rowId, store.arena());
                            }
                            break;
                        default:
                            v.n = double(col.intAt(rowId));
                            break;
                        }
                        v.b = v.n != 0;
                    }
                } else {
                    const QVariant fv = valueOf(c.field);
                    v.null = !fv.isValid();
                    v.fromVariant = true;
                    if (!v.null) {
                        v.n = variantNumber(c.field, fv);
                        v.b = fv.toBool();
                        v.text = plainText(c.field, fv);
                    }
                }
                if (v.null || t->isEmpty()) {
                    r = c.op == cpoEqual      ? t->isEmpty() && v.null
                        : c.op == cpoNotEqual ? !t->isEmpty() || !v.null
                                              : false;
                } else if (c.kind == Kind::Number) {
                    r = compareNumber(v.n, n, c.op);
                } else if (c.kind == Kind::Boolean) {
                    r = c.op == cpoEqual ? v.b == b : v.b != b;
                } else if (!v.fromVariant && tAscii && isAscii(v.utf8)) {
                    r = compareAscii(v.utf8, tUtf8, c.op);
                } else {
                    const QString s =
                        v.fromVariant ? v.text : QString::fromUtf8(v.utf8.data(), qsizetype(v.utf8.size()));
                    r = compareText(s, *t, c.op);
                }
                item.LastRecNo = row;
                item.LastResult = r;
            }
        } catch (const std::exception& e) {
            deactivate(c.item, QString::fromUtf8(e.what()));
            continue;
        }
        if (prevAction == cpaAND) r = r && prevResult;
        if (prevAction == cpaOR) r = r || prevResult;
        prevAction = item.Action;
        prevResult = r;
        if (item.Action == cpaSet && r) {
            p.applying.push_back(k);
            if (item.StopIfTrue) break;
        }
    }
}

void TCellParamsCondList::GetFieldCond(const TField* field, int row, TCellParams& params, bool,
                                       bool highlight, bool refreshCond) {
    if (!Gr || !Gr->OptionsEx2.CellCondition.Active) return;
    TDataSet* ds = Gr->dataSet();
    if (!ds || !ds->Active() || items_.empty()) return;
    ensureCompiled(ds);
    Program& p = *program_;
    if (refreshCond || p.row != row) evaluateRow(row);
    for (size_t k : p.applying) {
        const Compiled& c = p.conds[k];
        const TCellParamsCond& item = items_[size_t(c.item)];
        if (!item.WholeRow && c.field != field) continue; // the condition's own field only
        if (!highlight) {
            if (item.FontColor != kNoColor) params.fontColor = item.FontColor;
            if (item.BkColor != kNoColor) params.background = item.BkColor;
        }
        if (item.Bold) params.font.setBold(true);
        params.image = item.ImageDef;
    }
}
