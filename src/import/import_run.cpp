#include "import_run.h"

#include "column_store.h"
#include "connection.h"
#include "dataset.h"
#include "dialect.h"
#include "exceptions.h"
#include "query.h"
#include "record_batches.h"

#include <QDateTime>
#include <QLocale>
#include <QScopeGuard>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
const QString kAborted = QStringLiteral("Action aborted.");

// The text a result line shows for a field value: empty for NULL, "(BLOB)" for binary data and for
// memos full of control characters, else the text cut to 200 characters and on one line.
QString FieldDisplayText(const TField& f) {
    if (f.IsNull()) return QString();
    if (f.IsBlob() && !IsMemoField(f)) return QStringLiteral("(BLOB)");
    QString s = f.AsString();
    if (IsMemoField(f)) {
        int control = 0;
        for (QChar c : s)
            control += c.unicode() < 32;
        if (control > 20) return QStringLiteral("(BLOB)");
    } else {
        s = f.DisplayText();
    }
    if (s.size() > 200) s = s.left(200) + QStringLiteral("...");
    s.replace(QStringLiteral("\r\n"), QStringLiteral(" | "));
    s.replace(u'\r', QStringLiteral(" | "));
    s.replace(u'\n', QStringLiteral(" | "));
    s.replace(QChar(0), QStringLiteral(" | "));
    return s;
}

QString Cut200(const QString& s) {
    return s.size() > 200 ? s.left(200) + QStringLiteral("...") : s;
}

// Appends the comparable bytes of a key value in its field's storage form: texts folded for the
// case-insensitive match, other values as their stored bits.
void AppendKey(std::string& key, const CellValue& c, StorageKind kind) {
    switch (kind) {
    case StorageKind::Text: {
        const size_t start = key.size();
        key.append(4, '\0'); // the length goes first, so no text can run into the next key field
        AppendCaseFolded(key, c.bytes);
        const uint32_t n = uint32_t(key.size() - start - 4);
        std::memcpy(&key[start], &n, 4);
        return;
    }
    case StorageKind::Bytes: {
        const uint32_t n = uint32_t(c.bytes.size());
        key.append(reinterpret_cast<const char*>(&n), 4);
        key += c.bytes;
        return;
    }
    case StorageKind::Float:
        key.append(reinterpret_cast<const char*>(&c.f), sizeof c.f);
        return;
    default:
        key.append(reinterpret_cast<const char*>(&c.i), sizeof c.i);
    }
}

bool IsTextTarget(const TField& f) {
    return IsStringType(f.DataType) || IsMemoField(f);
}

bool TruthText(const QString& s) {
    for (const char* t : {"1", "true", "t", "y", "yes", "a", "ano"})
        if (s.compare(QLatin1String(t), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Whether a lookup table holds the value in the column (text case-insensitive); stays on that record.
bool LocateValue(TDataSet& ds, const TField* column, const QVariant& value) {
    return value.isValid() && ds.Locate(column->FieldName, value, loCaseInsensitive);
}

bool SameFloat(double a, double b) {
    return std::fabs(a - b) <= std::max(1e-12, 1e-12 * std::min(std::fabs(a), std::fabs(b)));
}
} // namespace

ImportEngine::ImportEngine(TDataSet& target, TDataSet& source, TADOConnection* connection)
    : target_(target), source_(source), con_(connection) {}

QString ImportEngine::CheckTotalsLine(const ImportCheckCounts& c) {
    return QStringLiteral("To import in total: %1, to add: %2, to edit: %3, to skip: %4")
        .arg(c.sum)
        .arg(c.add)
        .arg(c.edit)
        .arg(c.skip);
}

namespace {
QString WithRunCounts(const QString& format, const ImportRunCounts& c) {
    return format.arg(c.sum).arg(c.add).arg(c.edit).arg(c.same).arg(c.skip).arg(c.err).arg(c.war);
}
} // namespace

QString ImportEngine::RunTotalsLine(const ImportRunCounts& c) {
    return WithRunCounts(QStringLiteral("To import in total: %1, added: %2, edited: %3, kept unchanged: %4, "
                                        "skipped: %5, errors: %6, warnings: %7"),
                         c);
}

QString ImportEngine::CallbackTotalsLine(const ImportRunCounts& c) {
    return WithRunCounts(
        QStringLiteral("#RESULT#: Total=%1;Add=%2;Edit=%3;Same=%4;Skip=%5;Error=%6;Warning=%7;"), c);
}

void ImportEngine::parseCalcs(QStringList* errors) {
    calcs_ = ParseCalcs(settings.calc, &target_, errors, charSets);
}

// ---- result list

void ImportEngine::log(const QString& line, int level) {
    if (!heading_.isEmpty() && level != llError) {
        const QString h = heading_;
        heading_.clear();
        log(h, headingLevel_);
        log(QString(), headingLevel_);
    }
    resultLines << line;
    if (LogCallBack) LogCallBack(line, level, aborted_);
}

void ImportEngine::logStamped(const QString& line, int level) {
    log(QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat) +
            QStringLiteral(": ") + line,
        level);
}

void ImportEngine::setHeading(const QString& text, int level) {
    heading_ = text;
    headingLevel_ = level;
}

void ImportEngine::dropHeading() {
    heading_.clear();
}

void ImportEngine::progress(const std::function<QString()>& text, int done, int total) {
    const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
    if (OnProgress) OnProgress(text(), percent);
    if (LogCallBack) LogCallBack(QString::number(percent), llProgress, aborted_);
}

QString ImportEngine::sourceFieldsLine() const {
    QString line;
    for (int i = 0; i < source_.FieldCount(); ++i) {
        const TField* f = source_.Fields(i);
        const QString text = FieldDisplayText(*f);
        if (!text.isEmpty()) line += QStringLiteral("%1 = %2 ; ").arg(f->FieldName, text);
    }
    return line;
}

// ---- preparing a pass

void ImportEngine::prepare(bool forRun) {
    if (!target_.Active()) throw Exception(QStringLiteral("No data is loaded."));
    if (!source_.Active() && !streamed_)
        throw Exception(QStringLiteral("Select and open table with data to import."));
    mapped_.clear();
    keys_.clear();
    bool any = false;
    for (const ImportRow& r : settings.map)
        any = any || !r.source.isEmpty();
    auto lookupOf = [&](int k) {
        if (k >= int(lookups.size()) || !lookups[size_t(k)] || !lookups[size_t(k)]->Active())
            throw Exception(QStringLiteral("Auxiliary table %1 is not open.").arg(k + 1));
        return lookups[size_t(k)];
    };
    if (!any) throw Exception(QStringLiteral("Select fields to import."));
    auto sourceField = [&](const QString& name) {
        TField* f = source_.FindField(name);
        if (!f) throw Exception(QStringLiteral("Source field \"%1\" not found.").arg(name));
        return f;
    };
    auto targetField = [&](const QString& name) {
        TField* f = target_.FindField(name);
        if (!f) throw Exception(QStringLiteral("Target field \"%1\" not found.").arg(name));
        return f;
    };
    for (const ImportRow& r : settings.map)
        if (!r.source.isEmpty() && r.lookup < 0) targetField(r.target);
    if (forRun)
        for (int i = 0; i < target_.FieldCount(); ++i) {
            TField* t = target_.Fields(i);
            Mapped m{t, nullptr, QString()};
            for (const ImportRow& r : settings.map)
                if (!r.source.isEmpty() && r.lookup < 0 &&
                    r.target.compare(t->FieldName, Qt::CaseInsensitive) == 0) {
                    m.source = sourceField(r.source);
                    break;
                }
            if (!m.source)
                for (const QString& line : settings.fixed) {
                    const qsizetype eq = line.indexOf(u'=');
                    if (eq >= 0 && line.left(eq).compare(t->FieldName, Qt::CaseInsensitive) == 0) {
                        m.fixed = line.mid(eq + 1);
                        m.hasFixed = true;
                        break;
                    }
                }
            if (m.source && (t->ReadOnly || t->FieldKind == fkCalculated)) continue;
            if (m.source || m.hasFixed) mapped_.push_back(m);
        }
    if (forRun)
        for (const ImportRow& r : settings.map)
            if (!r.source.isEmpty() && r.lookup >= 0) {
                TDataSet* lookup = lookupOf(r.lookup);
                mapped_.push_back({targetField(lookup->Fields(0)->FieldName), sourceField(r.source),
                                   QString(), false, lookup, lookup->FieldByName(r.target)});
            }
    if (settings.type != ImportType::AddAll) {
        for (const ImportRow& r : settings.compare) {
            if (r.source.isEmpty()) continue;
            if (r.lookup < 0) {
                keys_.push_back({targetField(r.target), sourceField(r.source)});
            } else {
                TDataSet* lookup = lookupOf(r.lookup);
                keys_.push_back({targetField(lookup->Fields(0)->FieldName), sourceField(r.source), lookup,
                                 lookup->FieldByName(r.target)});
            }
        }
        if (keys_.empty()) throw Exception(QStringLiteral("Select fields to compare for update records."));
    }
    parseCalcs();
    for (Mapped& m : mapped_)
        for (const TCalc& c : calcs_)
            m.hasCalcs = m.hasCalcs || c.Field == m.target;
    noteSourceKinds();
}

void ImportEngine::noteSourceKinds() {
    for (Mapped& m : mapped_)
        m.textSource = m.source && (IsStringType(m.source->DataType) || IsMemoField(*m.source));
}

// ---- reading the source

bool ImportEngine::streamSource() {
    streamed_ = false;
    auto* q = dynamic_cast<TADOQuery*>(&source_);
    if (!q || q->Active() || !q->Connection || !q->Parameters.isEmpty() || !q->Sort().isEmpty() ||
        (q->Filtered() && !q->Filter().isEmpty()))
        return false;
    const qint64 n = q->Connection->provider().countRows(q->SQL);
    if (n < 0 || n > std::numeric_limits<int>::max()) return false;
    streamed_ = true;
    streamCount_ = int(n);
    return true;
}

int ImportEngine::sourceCount() const {
    return streamed_ ? streamCount_ : source_.RecordCount();
}

void ImportEngine::eachSourceRecord(const std::function<void()>& ready, const std::function<bool()>& body) {
    recNo_ = 0;
    if (!streamed_) {
        ready();
        for (source_.First(); !source_.Eof(); source_.Next()) {
            ++recNo_;
            if (!body()) return;
        }
        return;
    }
    auto& q = static_cast<TADOQuery&>(source_);
    bool started = false, stopped = false;
    q.Close();
    q.OnBlock = [&](TDataSet& block, bool) {
        if (!started) {
            started = true;
            ready();
        }
        noteSourceKinds(); // a column that met a value of another kind changed its type
        for (block.First(); !stopped && !block.Eof(); block.Next()) {
            ++recNo_;
            stopped = !body();
        }
    };
    std::function<bool(qint64)> fetchProgress = std::move(q.OnFetchProgress);
    q.OnFetchProgress = [&](qint64) { return !stopped; }; // a stopped pass reads no further
    const auto detach = qScopeGuard([&] {
        q.OnBlock = nullptr;
        q.OnFetchProgress = std::move(fetchProgress);
        q.Close();
    });
    q.Open();
}

// ---- locating target records

bool ImportEngine::keyOfTargetRow(uint32_t row, std::string& key) {
    key.clear();
    const ColumnStore& store = target_.store();
    for (const KeyField& k : keys_) {
        if (k.target->column() < 0) {
            // A calculated or lookup field: its value as a variant.
            const QVariant v = target_.valueOfRow(k.target, row);
            if (!v.isValid() || !ToCell(v, k.target->DataType, keyCell_)) return false;
        } else {
            store.column(size_t(k.target->column())).cellAt(row, store.arena(), keyCell_);
        }
        if (keyCell_.null) return false;
        AppendKey(key, keyCell_, StorageOf(k.target->DataType));
    }
    return true;
}

bool ImportEngine::keyOfSource(std::string& key) {
    key.clear();
    for (const KeyField& k : keys_) {
        bool ok;
        if (k.lookup) {
            // The key is the lookup table's first field on the record that holds the source value.
            if (!LocateValue(*k.lookup, k.lookupColumn, k.source->AsVariant())) return false;
            const TField* first = k.lookup->Fields(0);
            if (first->IsNull() || first->AsString().trimmed().isEmpty()) return false;
            ok = ToCell(first->AsVariant(), k.target->DataType, keyCell_);
        } else if (source_.currentCell(k.source, cellIn_)) {
            ok = ConvertCell(cellIn_, k.source->DataType, k.target->DataType, keyCell_);
        } else {
            ok = ToCell(k.source->AsVariant(), k.target->DataType, keyCell_);
        }
        if (!ok || keyCell_.null) return false;
        AppendKey(key, keyCell_, StorageOf(k.target->DataType));
    }
    return true;
}

void ImportEngine::buildIndex() {
    index_.clear();
    index_.reserve(size_t(target_.RecordCount()));
    for (uint32_t row : target_.view())
        if (keyOfTargetRow(row, key_)) index_.emplace(key_, qint64(row)); // the first row of a key wins
}

void ImportEngine::startIndex() {
    added_.clear();
    batchLeft_ = 0;
    if (keyed_)
        index_.clear(); // filled batch by batch
    else
        buildIndex();
}

bool ImportEngine::locate(bool& found) {
    found = false;
    if (!keyOfSource(key_)) return false;
    const auto it = index_.find(key_);
    if (it == index_.end()) {
        found = keyed_ && added_.count(key_);
        return true;
    }
    found = true;
    if (it->second >= 0) target_.GotoBookmark(it->second);
    return true;
}

// ---- reading the target by keys

namespace {
// Host parameters one statement may carry. PostgreSQL's client library drops the connection when the
// description of a prepared statement's parameters is longer than 30000 bytes (4 bytes each); ODBC
// drivers have limits of their own (SQL Server's 2100, MariaDB's driver fails to allocate tens of
// thousands).
int ParameterLimit(const Dialect& d) {
    switch (d.kind()) {
    case DialectKind::SQLite:
        return 32766;
    case DialectKind::PostgreSQL:
        return 7000;
    default:
        return 2000;
    }
}

// The statement parameters of a key as AppendKey wrote it: whole numbers, and texts in folded form.
void AppendKeyParams(QVariantList& params, std::string_view key, const std::vector<StorageKind>& kinds) {
    size_t at = 0;
    for (StorageKind kind : kinds) {
        if (kind == StorageKind::Text) {
            uint32_t n;
            std::memcpy(&n, key.data() + at, 4);
            params << QString::fromUtf8(key.data() + at + 4, qsizetype(n));
            at += 4 + n;
        } else {
            int64_t v;
            std::memcpy(&v, key.data() + at, sizeof v);
            params << QVariant(qlonglong(v));
            at += sizeof v;
        }
    }
}
} // namespace

void ImportEngine::chooseTargetRows(bool forRun) {
    keyed_ = false;
    auto* q = dynamic_cast<TADOQuery*>(&target_);
    if (targetSelect.isEmpty() || settings.type == ImportType::AddAll || !q) return;
    keyed_ = keyedLookupPossible();
    if (keyed_ || wholeTarget_) return;
    q->Close();
    q->SQL = targetSelect;
    q->Open();
    wholeTarget_ = true;
    prepare(forRun); // the reopened target has new fields
}

// Keys the server can look up exactly enough: plain columns of the target's table holding whole
// numbers or texts (those compared in folded form, a superset the match then narrows), which the run
// writes at most from their own source value, so that what the run changes cannot move a record
// between keys.
bool ImportEngine::keyedLookupPossible() {
    auto& q = static_cast<TADOQuery&>(target_);
    if (q.updateTable().isEmpty() || !q.Connection) return false;
    const Dialect& d = q.Connection->dialect();
    QStringList exprs;
    bool texts = false;
    for (const KeyField& k : keys_) {
        const TField* t = k.target;
        if (k.lookup || t->FieldKind != fkData || t->column() < 0 || t->BaseTable != q.updateTable() ||
            t->BaseColumn.compare(t->FieldName, Qt::CaseInsensitive) != 0)
            return false;
        const QString column = d.quoteIdentifier(t->BaseColumn);
        const StorageKind kind = StorageOf(t->DataType);
        if (kind == StorageKind::Int) {
            exprs << column;
        } else if (kind == StorageKind::Text && t->DataType != ftFixedChar &&
                   t->DataType != ftFixedWideChar) {
            exprs << d.caseFolded(column);
            texts = true;
        } else {
            return false;
        }
        for (const ImportRow& r : settings.map) {
            if (r.source.isEmpty()) continue;
            const QString written = r.lookup < 0 ? r.target
                                    : r.lookup < int(lookups.size()) && lookups[size_t(r.lookup)]
                                        ? lookups[size_t(r.lookup)]->Fields(0)->FieldName
                                        : QString();
            if (written.compare(t->FieldName, Qt::CaseInsensitive) == 0 &&
                (r.lookup >= 0 || r.source.compare(k.source->FieldName, Qt::CaseInsensitive) != 0))
                return false;
        }
        for (const TCalc& c : calcs_)
            if (c.Field == t) return false;
        if (!settings.fixedAddOnly)
            for (const QString& line : settings.fixed)
                if (line.section(u'=', 0, 0).compare(t->FieldName, Qt::CaseInsensitive) == 0) return false;
    }
    if (d.inParameterRows(exprs, 1).isEmpty() || (texts && !serverFoldsTexts())) return false;
    keyExprs_ = exprs;
    return true;
}

// Whether the server's folding agrees with the match's on letters beyond ASCII: when it does not, a
// folded comparison there could miss rows the match finds.
bool ImportEngine::serverFoldsTexts() {
    if (foldProbe_ < 0) {
        const QString sample =
            QStringLiteral("AbZ\u00C0\u00C9\u00D6\u00DC\u010C\u0160\u017D\u0158\u0391\u03A3\u0416\u042F");
        auto& q = static_cast<TADOQuery&>(target_);
        TADOQuery probe(q.Connection);
        probe.SQL = QStringLiteral("SELECT ") + q.Connection->dialect().caseFolded(QStringLiteral("?"));
        probe.Parameters = {sample};
        try {
            probe.Open();
            foldProbe_ = !probe.Eof() && probe.Fields(0)->AsString() == sample.toCaseFolded();
        } catch (const std::exception&) {
            foldProbe_ = 0;
        }
    }
    return foldProbe_ == 1;
}

void ImportEngine::fetchTargetRows() {
    auto& q = static_cast<TADOQuery&>(target_);
    target_.ForgetRows();
    // The keys of the batch, each once; a NULL key looks for nothing.
    std::unordered_set<std::string> seen;
    batchKeys_.clear();
    const TBookmark here = source_.GetBookmark();
    int n = 0;
    for (; n < std::max(1, keyBatchRecords) && !source_.Eof(); ++n, source_.Next())
        if (keyOfSource(key_) && seen.insert(key_).second) batchKeys_.push_back(key_);
    source_.GotoBookmark(here);
    batchLeft_ = n;

    std::vector<StorageKind> kinds;
    for (const KeyField& k : keys_)
        kinds.push_back(StorageOf(k.target->DataType));
    const Dialect& d = q.Connection->dialect();
    const size_t perStatement = size_t(std::max(1, ParameterLimit(d) / int(keys_.size())));
    QVariantList params;
    for (size_t at = 0; at < batchKeys_.size(); at += perStatement) {
        const size_t rows = std::min(perStatement, batchKeys_.size() - at);
        params.clear();
        params.reserve(qsizetype(rows * keys_.size()));
        for (size_t i = at; i < at + rows; ++i)
            AppendKeyParams(params, batchKeys_[i], kinds);
        q.AppendRows(targetSelect + QStringLiteral(" WHERE ") + d.inParameterRows(keyExprs_, int(rows)),
                     params);
    }
    buildIndex();
}

// ---- changing one field

void ImportEngine::logChange(TField* t, const QString& newText) {
    if (target_.State() == dsInsert) return; // only edited records get an update log entry
    const QString old = FieldDisplayText(*t);
    const QString shown = old == QStringLiteral("(BLOB)") ? old : Cut200(newText);
    changeText_ += QStringLiteral("%1: %2 => %3").arg(t->FieldName, old, shown) + resultValueSeparator;
}

// The value converted for the target field; raises naming the field and the value when it does not
// fit (too long, not a number, not a date, a fraction into an integer field) instead of cutting it.
QVariant ImportEngine::fitValue(TField* t, const QVariant& v) const {
    QVariant stored;
    const auto fail = [&](const QString& why) {
        return EDatabaseError(QStringLiteral("Value \"%1\" does not fit field \"%2\": %3.")
                                  .arg(Cut200(v.toString()), t->FieldName, why));
    };
    if (IsTextTarget(*t) && t->Size > 0 && !t->IsBlob() && v.toString().size() > t->Size)
        throw fail(QStringLiteral("%1 characters, at most %2").arg(v.toString().size()).arg(t->Size));
    if (StorageOf(t->DataType) == StorageKind::Int && v.typeId() == QMetaType::Double &&
        v.toDouble() != std::floor(v.toDouble()))
        throw fail(QStringLiteral("not a whole number"));
    if (!ConvertForStorage(v, t->DataType, stored))
        throw fail(QStringLiteral("not a valid %1").arg(QString::fromLatin1(FieldTypeName(t->DataType))));
    return stored;
}

bool ImportEngine::setFieldNull(TField* t) {
    if (t->IsNull()) return false;
    logChange(t, QStringLiteral("(null)"));
    t->Clear();
    return true;
}

bool ImportEngine::setFieldText(TField* t, const QString& text) {
    if (IsTextTarget(*t)) {
        if (!t->IsNull() && t->AsString() == text) return false;
        fitValue(t, text);
        logChange(t, text);
        t->setAsString(text);
        return true;
    }
    if (text.isEmpty()) return setFieldNull(t);
    const QVariant stored = fitValue(t, text);
    QVariant old;
    if (!t->IsNull() && ConvertForStorage(t->AsVariant(), t->DataType, old) && old == stored) return false;
    logChange(t, text);
    t->setAsString(text);
    return true;
}

bool ImportEngine::assignFieldValue(TField* t, TField* s, bool sourceRead) {
    // A NULL target always differs from a value: reading it as false or 0 would leave NULL where the
    // source holds false or 0.
    if (IsBooleanField(*t)) {
        const bool v = IsBooleanField(*s) ? s->AsBoolean() : TruthText(s->AsString());
        if (!t->IsNull() && t->AsBoolean() == v) return false;
        logChange(t, v ? QStringLiteral("1") : QStringLiteral("0"));
        t->setAsBoolean(v);
        return true;
    }
    const bool wholeNumbers =
        StorageOf(t->DataType) == StorageKind::Int && StorageOf(s->DataType) == StorageKind::Int;
    // Whole numbers go over exactly: through a double, those beyond 2^53 would change.
    if (copyNumericFieldAsFloat && IsNumericField(*t) && IsNumericField(*s) && !wholeNumbers) {
        const bool read = sourceRead || s->DataSet()->currentCell(s, cellIn_);
        const StorageKind from = StorageOf(s->DataType);
        const double v = !read || cellIn_.null || cellIn_.otherClass ? s->AsFloat()
                         : from == StorageKind::Float                ? cellIn_.f
                         : from == StorageKind::Int                  ? double(cellIn_.i)
                                                                     : s->AsFloat();
        if (!t->IsNull() && SameFloat(t->AsFloat(), v)) return false;
        if (StorageOf(t->DataType) == StorageKind::Float) {
            if (target_.State() != dsInsert) logChange(t, s->AsString());
            cellOut_.setFloat(v);
            target_.swapCurrentCell(t, cellOut_);
            return true;
        }
        const QVariant stored = fitValue(t, v);
        if (target_.State() != dsInsert) logChange(t, s->AsString());
        t->setAsVariant(StorageOf(t->DataType) == StorageKind::Int ? QVariant(stored.toLongLong())
                                                                   : QVariant(v));
        return true;
    }
    // The value goes from the source's storage form into the target's; whatever does not convert
    // plainly (or is too long) takes the variant path below, which names the problem.
    const bool read = sourceRead || s->DataSet()->currentCell(s, cellIn_);
    const bool sameText =
        read && !cellIn_.otherClass && StorageOf(s->DataType) == StorageOf(t->DataType) &&
        (StorageOf(t->DataType) == StorageKind::Text || StorageOf(t->DataType) == StorageKind::Bytes);
    if (sameText) cellOut_.swap(cellIn_); // texts go over as they are, without a copy
    if (read && (sameText || ConvertCell(cellIn_, s->DataType, t->DataType, cellOut_)) &&
        !(IsTextTarget(*t) && t->Size > 0 && !t->IsBlob() && cellOut_.bytes.size() > size_t(t->Size))) {
        if (!t->IsNull() && target_.currentEquals(t, cellOut_)) return false;
        if (target_.State() != dsInsert)
            logChange(t, s->IsBlob() && !IsMemoField(*s) ? QStringLiteral("(BLOB)") : s->AsString());
        target_.swapCurrentCell(t, cellOut_);
        return true;
    }
    const QVariant v = s->AsVariant();
    const QVariant stored = fitValue(t, v);
    QVariant old;
    if (!t->IsNull() && ConvertForStorage(t->AsVariant(), t->DataType, old) && old == stored) return false;
    if (target_.State() != dsInsert)
        logChange(t, s->IsBlob() && !IsMemoField(*s) ? QStringLiteral("(BLOB)") : s->AsString());
    t->setAsVariant(v);
    return true;
}

// ---- one record

void ImportEngine::warnNotFound(const TField* source) {
    warnings << QStringLiteral("Warning: Value \"%1\" not found in auxilary table for field \"%2\".")
                    .arg(FieldDisplayText(*source), source->FieldName);
}

bool ImportEngine::importRecord(bool isNew) {
    changeText_.clear();
    bool changed = false;
    isNew ? target_.Append() : target_.Edit();
    for (Mapped& m : mapped_) {
        if (!m.source) {
            if (m.fixed.isEmpty() || (!isNew && settings.fixedAddOnly)) continue;
            changed |= m.fixed.compare(QStringLiteral("null"), Qt::CaseInsensitive) == 0
                           ? setFieldNull(m.target)
                           : setFieldText(m.target, m.fixed);
            continue;
        }
        // Only a text can be empty without being NULL: no value text is made unless commands apply.
        const bool stored = source_.currentCell(m.source, cellIn_);
        const QString text =
            m.hasCalcs || m.lookup || (m.textSource && !stored) ? m.source->AsString() : QString();
        const bool empty = stored ? cellIn_.null || (m.textSource && cellIn_.bytes.empty())
                                  : m.source->IsNull() || (m.textSource && text.isEmpty());
        if (m.lookup) {
            if (empty) continue;
            if (LocateValue(*m.lookup, m.lookupColumn, m.source->AsVariant())) {
                changed |= assignFieldValue(m.target, m.lookup->Fields(0));
            } else {
                changed |= setFieldNull(m.target);
                warnNotFound(m.source);
            }
            continue;
        }
        if (m.target->FieldKind == fkLookup) {
            // The key field gets the lookup dataset's key of the record whose result is the value.
            TDataSet* ds = m.target->LookupDataSet;
            if (!ds || !ds->Active()) continue;
            try {
                if (LocateValue(*ds, ds->FieldByName(m.target->LookupResultField), m.source->AsVariant()))
                    changed |= assignFieldValue(target_.FieldByName(m.target->KeyFields),
                                                ds->FieldByName(m.target->LookupKeyFields));
                else
                    warnNotFound(m.source);
            } catch (const std::exception&) {
            }
            continue;
        }
        if (empty) {
            changed |= setFieldNull(m.target);
        } else if (m.hasCalcs) {
            QString changedText = text;
            changed |= ApplyCalcs(calcs_, m.target, changedText) ? setFieldText(m.target, changedText)
                                                                 : assignFieldValue(m.target, m.source);
        } else {
            changed |= assignFieldValue(m.target, m.source, stored);
        }
    }
    if (!changed) {
        target_.Cancel();
        return false;
    }
    target_.Post();
    return true;
}

void ImportEngine::errorReport(const QString& message) {
    const QString sep = resultValueSeparator;
    if (resultInTableForm) {
        if (!tableHeaderDone_) {
            tableHeaderDone_ = true;
            log(QString(), llError);
            log(QStringLiteral("Error: Cannot import data."), llError);
            QString header;
            for (int i = 0; i < target_.FieldCount(); ++i)
                header += target_.Fields(i)->FieldName + sep;
            log(header, llError);
        }
        QString line;
        for (int i = 0; i < target_.FieldCount(); ++i)
            line += FieldDisplayText(*target_.Fields(i)) + sep;
        log(line + message, llError);
        return;
    }
    log(QStringLiteral("Error: Cannot import data."), llError);
    log(sourceFieldsLine(), llError);
    log(QStringLiteral("Imported values caused error:"), llError);
    QString targets;
    for (int i = 0; i < target_.FieldCount(); ++i) {
        const TField* f = target_.Fields(i);
        targets += QStringLiteral("%1 = %2 ; ").arg(f->FieldName, FieldDisplayText(*f));
    }
    log(targets, llError);
    log(message, llError);
}

// ---- the passes

ImportCheckCounts ImportEngine::check() {
    aborted_ = false;
    resultLines.clear();
    ImportCheckCounts c;
    const QString sep = resultValueSeparator;
    const auto start = [&] {
        prepare(false);
        chooseTargetRows(false);
        c.sum = sourceCount();
        logStamped(QStringLiteral("Checking of data"), llPassStart);
        setHeading(QStringLiteral("Not found records (will be skipped or added during import)"),
                   llCheckDetail);
        if (resultInTableForm) {
            QString header = QStringLiteral("RecNo") + sep;
            for (int i = 0; i < source_.FieldCount(); ++i)
                header += source_.Fields(i)->FieldName + sep;
            log(header, llCheckDetail);
        }
    };
    target_.DisableControls();
    try {
        if (settings.type == ImportType::AddAll) {
            start();
            c.add = c.sum;
        } else {
            int done = 0;
            eachSourceRecord(
                [&] {
                    start();
                    startIndex();
                },
                [&] {
                    nextRecord();
                    bool found = false;
                    locate(found);
                    if (found) {
                        settings.type == ImportType::AddMissing ? ++c.skip : ++c.edit;
                    } else {
                        if (settings.type == ImportType::Update) {
                            ++c.skip;
                        } else {
                            ++c.add;
                            // A later source record with the same key finds the one this adds.
                            if (keyOfSource(key_))
                                keyed_ ? void(added_.insert(key_)) : void(index_.emplace(key_, -1));
                        }
                        if (resultInTableForm) {
                            QString line = QString::number(recNo_) + sep;
                            for (int i = 0; i < source_.FieldCount(); ++i)
                                line += FieldDisplayText(*source_.Fields(i)) + sep;
                            log(line, llCheckDetail);
                        } else {
                            log(QStringLiteral("Record %1:").arg(recNo_) + sourceFieldsLine(), llCheckDetail);
                        }
                    }
                    if (++done % 10 == 0)
                        progress([] { return QStringLiteral("Checking of data..."); }, done, c.sum);
                    if (aborted_) {
                        logStamped(kAborted, llError);
                        return false;
                    }
                    return true;
                });
            // A file changed since it was counted: the totals say what was read.
            if (streamed_ && !aborted_) c.sum = done;
        }
    } catch (...) {
        dropHeading();
        target_.EnableControls();
        throw;
    }
    dropHeading();
    target_.EnableControls();
    log(QString(), llPlain);
    logStamped(QStringLiteral("Checking result: "), llResult);
    log(CheckTotalsLine(c), llResult);
    checkCounts = c;
    return c;
}

ImportRunCounts ImportEngine::run() {
    aborted_ = false;
    resultLines.clear();
    warnings.clear();
    updateLog.clear();
    tableHeaderDone_ = false;
    ImportRunCounts c;
    int done = 0;
    target_.DisableControls();
    try {
        RecordBatches batches(con_, transactionRecords, transactionMinMs, QStringLiteral("import_record"));
        const auto start = [&] {
            prepare(true);
            chooseTargetRows(true);
            c.sum = sourceCount();
            logStamped(QStringLiteral("Import of data"), llPassStart);
            if (settings.type != ImportType::AddAll) startIndex();
            // Records nothing looks up again are written without being kept in the target dataset.
            target_.KeepPostedInserts = keepAddedRows || !keys_.empty();
        };
        const auto keep = qScopeGuard([&] { target_.KeepPostedInserts = true; });
        eachSourceRecord(start, [&] {
            bool found = false, isNew = true, act = true;
            if (settings.type != ImportType::AddAll) {
                nextRecord();
                locate(found);
                isNew = !found;
                act = found ? settings.type != ImportType::AddMissing : settings.type != ImportType::Update;
            }
            if (!act) {
                ++c.skip;
            } else {
                batches.begin();
                try {
                    if (!importRecord(isNew)) {
                        ++c.same;
                    } else if (isNew) {
                        ++c.add;
                        if (!keys_.empty() && keyOfSource(key_)) index_.emplace(key_, target_.GetBookmark());
                    } else {
                        ++c.edit;
                        QStringList keys;
                        for (const KeyField& k : keys_)
                            keys << QStringLiteral("%1 = %2").arg(k.target->FieldName, k.source->AsString());
                        updateLog << QStringLiteral("Record: %1").arg(keys.join(resultValueSeparator))
                                  << QStringLiteral("Updated values: %1").arg(changeText_);
                    }
                    batches.succeeded();
                } catch (const std::exception& e) {
                    ++c.err;
                    errorReport(QStringLiteral("Record %1: %2").arg(recNo_).arg(ExceptionMessage(e)));
                    if (target_.State() == dsEdit || target_.State() == dsInsert) target_.Cancel();
                    batches.failed();
                }
                c.war = int(warnings.size());
                batches.done();
            }
            ++done;
            if (done % 10 == 0)
                progress(
                    [&] {
                        return QStringLiteral(
                                   "Importing of data...\rRecord %1 of %2 (%3 errors; %4 warnings)")
                            .arg(done)
                            .arg(c.sum)
                            .arg(c.err)
                            .arg(c.war);
                    },
                    done, c.sum);
            if (aborted_) {
                batches.commit();
                logStamped(kAborted, llError);
                log(QStringLiteral(
                        "%1 of %2 records were processed before the abort; the records written stay "
                        "written, the other %3 were not imported.")
                        .arg(done)
                        .arg(c.sum)
                        .arg(c.sum - done),
                    llError);
                c.skip += c.sum - done; // the totals add up: the rest is not imported
                return false;
            }
            return true;
        });
        // A file changed since it was counted: the totals say what was read.
        if (streamed_ && !aborted_) c.sum = done;
        batches.commit();
    } catch (...) {
        // What was posted stays committed (the batches' end).
        if (target_.State() == dsEdit || target_.State() == dsInsert) target_.Cancel();
        target_.EnableControls();
        runCounts = c;
        throw;
    }
    target_.EnableControls();
    imported_ = true;
    runCounts = c;
    if (!warnings.isEmpty()) {
        resultLines << QString() << QStringLiteral("Warning:");
        resultLines << warnings;
    }
    log(QString(), llPlain);
    logStamped(QStringLiteral("Results of import: "), llResult);
    log(RunTotalsLine(c), llResult);
    if (LogCallBack) {
        LogCallBack(CallbackTotalsLine(c), llTotals, aborted_);
        LogCallBack(updateLog.join(u'\n'), llUpdateLog, aborted_);
    }
    return c;
}
