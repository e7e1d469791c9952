#include "gen_data.h"

#include "column_store.h"
#include "connection.h"
#include "exceptions.h"
#include "program_folder.h"
#include "progress.h"
#include "query.h"
#include "record_batches.h"
#include "sql_names.h"

#include <QDateTime>
#include <QLocale>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <memory>

const QStringList& GenActionNames() {
    static const QStringList names{
        QStringLiteral("- none -"),
        QStringLiteral("constant value"),
        QStringLiteral("increment from"),
        QStringLiteral("random (min..max)"),
        QStringLiteral("random from demo db"),
        QStringLiteral("next rec from demo db"),
        QStringLiteral("random from own db"),
        QStringLiteral("next rec from own db"),
    };
    return names;
}

GenAction GenActionOf(const QString& text) {
    const qsizetype i = GenActionNames().indexOf(text);
    return i < 0 ? gaNone : GenAction(i);
}

QString GenTypeLabel(TFieldType type) {
    if (IsIntegerType(type)) return QStringLiteral("Int");
    if (IsNumericType(type)) return QStringLiteral("Num");
    // A time stamp is a date-time here: it takes dates like the other date-time kinds.
    if (IsDateTimeType(type)) return QStringLiteral("Date");
    if (type == ftBoolean) return QStringLiteral("Bool");
    if (IsStringType(type)) return QStringLiteral("String");
    if (IsBlobType(type)) return QStringLiteral("Blob");
    return QStringLiteral("?");
}

std::vector<GenRow> GenRowsOf(const TDataSet& ds) {
    std::vector<GenRow> rows;
    rows.reserve(size_t(ds.FieldCount()));
    for (int i = 0; i < ds.FieldCount(); ++i) {
        const TField* f = ds.Fields(i);
        rows.push_back(GenRow{f->FieldName, GenTypeLabel(f->DataType), {}, {}, {}, {}});
    }
    return rows;
}

QString TestDataGenerator::ResultText(bool insert, int records) {
    return (insert ? QStringLiteral("%1 records added.") : QStringLiteral("%1 records updated."))
        .arg(records);
}

namespace {
QString sourceSelect(TADOConnection& con, const QString& table, const char* condition) {
    if (table.trimmed().isEmpty()) throw Exception(QStringLiteral("No source table is given."));
    return QStringLiteral("SELECT * FROM %1 WHERE %2")
        .arg(QuoteTableName(table, con.dialect()), QLatin1String(condition));
}

// The forms "increment from" reads a date in, the locale's short form first. A two-digit year would
// come back as 19xx, so the year is read and written with four digits.
QStringList dateFormats() {
    QString date = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy"))) date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    const QString time = QLocale::system().timeFormat(QLocale::ShortFormat);
    return {date + QLatin1Char(' ') + QStringLiteral("HH:mm:ss"),
            date + QLatin1Char(' ') + time,
            date,
            QStringLiteral("yyyy-MM-dd HH:mm:ss"),
            QStringLiteral("yyyy-MM-dd HH:mm"),
            QStringLiteral("yyyy-MM-dd")};
}

qint64 wholeNumber(const QString& text, bool& ok) {
    return text.trimmed().toLongLong(&ok);
}

} // namespace

QStringList GenSourceFields(TADOConnection& con, const QString& table) {
    TADOQuery q(&con);
    q.SQL = sourceSelect(con, table, "1=0");
    q.Open();
    QStringList names;
    for (int i = 0; i < q.FieldCount(); ++i)
        names << q.Fields(i)->FieldName;
    return names;
}

// One field's generation, compiled once per run.
struct TestDataGenerator::Step {
    TField* target = nullptr;
    GenRow* row = nullptr;
    GenAction action = gaNone;
    bool asString = false; // the "String" label: texts cut to the field's size
    bool asDate = false;   // the "Date" label
    QVariant constant;
    bool constantFits = false; // constantCell holds the constant in the field's storage form
    CellValue constantCell;
    CellValue in, out; // the value on its way into the record
    // increment from
    bool parsed = false;
    qint64 next = 0;
    int64_t nextDate = 0; // ms (see dtconv): plain day arithmetic keeps the time of day
    QString dateFormat;
    // random (min..max): min + [0, span)
    qint64 min = 1;
    quint64 span = 999;
    // sources
    std::unique_ptr<TADOQuery> source;
    TField* sourceField = nullptr;
};

TestDataGenerator::TestDataGenerator(TADOQuery& target, TADOConnection& own, TADOConnection* demo)
    : target_(target), own_(own), demo_(demo) {}

TestDataGenerator::TestDataGenerator(TestDataGenerator&&) noexcept = default;
TestDataGenerator::~TestDataGenerator() = default;

void TestDataGenerator::prepare() {
    steps_.clear();
    steps_.resize(size_t(target_.FieldCount()));
    for (int i = 0; i < target_.FieldCount(); ++i) {
        Step& s = steps_[size_t(i)];
        s.target = target_.Fields(i);
        // Row n is field n; a row that names another field (settings of a table whose fields moved)
        // is found by its name instead.
        GenRow* row = size_t(i) < rows.size() ? &rows[size_t(i)] : nullptr;
        if (row && !row->fieldName.isEmpty() &&
            row->fieldName.compare(s.target->FieldName, Qt::CaseInsensitive)) {
            row = nullptr;
            for (GenRow& r : rows)
                if (!r.fieldName.compare(s.target->FieldName, Qt::CaseInsensitive)) row = &r;
        }
        if (!row) continue;
        s.row = row;
        s.action = GenActionOf(row->action);
        s.asString = !row->fieldType.compare(QLatin1String("String"), Qt::CaseInsensitive);
        s.asDate = !row->fieldType.compare(QLatin1String("Date"), Qt::CaseInsensitive);
        if (!row->tableName.isEmpty()) {
            if (!GenUsesSource(s.action)) throw Exception(QStringLiteral("Internal error."));
            TADOConnection* con = GenFromDemo(s.action) ? demo_ : &own_;
            if (!con || !con->Connected())
                throw Exception(QStringLiteral("The sample-data database is not connected."));
            s.source = std::make_unique<TADOQuery>(con);
            s.source->SQL = sourceSelect(*con, row->tableName, "1=1");
            s.source->Open();
            s.sourceField = s.source->FindField(row->sourceField);
            s.source->First();
        }
        if (s.action == gaConstant) {
            if (s.asString) {
                s.constant = s.target->Size > 0 ? row->value.left(s.target->Size) : row->value;
            } else if (!row->value.isEmpty()) {
                s.constant = row->value; // converted by the field; a text that does not fit fails the record
            }
            s.constantFits = ToCell(s.constant, s.target->DataType, s.constantCell);
        } else if (s.action == gaRandom) {
            const qsizetype dots = row->value.indexOf(QLatin1String(".."));
            const QString lo = dots < 0 ? row->value : row->value.left(dots);
            const QString hi = dots < 0 ? QString() : row->value.mid(dots + 2);
            bool ok;
            qint64 min = wholeNumber(lo, ok);
            if (!ok) min = 1;
            qint64 max = wholeNumber(hi, ok);
            if (!ok) max = 1000;
            if (max <= min)
                throw Exception(QStringLiteral("Field \"%1\": the range \"%2\" is empty; min..max needs max "
                                               "greater than min (max itself never occurs).")
                                    .arg(s.target->FieldName, row->value));
            s.min = min;
            s.span = quint64(max) - quint64(min);
        }
    }
}

// Puts a value of type `from` (in s.in) into the step's field, converted as the field converts a
// variant; a value that does not convert takes the variant path, which raises the field's message.
void TestDataGenerator::put(Step& s, TFieldType from) {
    if (!ConvertCell(s.in, from, s.target->DataType, s.out)) {
        s.target->setAsVariant(CellVariant(s.in, from));
        return;
    }
    target_.swapCurrentCell(s.target, s.out);
}

void TestDataGenerator::applyStep(Step& s) {
    TField* f = s.target;
    switch (s.action) {
    case gaNone:
        return;
    case gaConstant:
        if (!s.constantFits) {
            f->setAsVariant(s.constant);
            return;
        }
        s.out = s.constantCell;
        target_.swapCurrentCell(f, s.out);
        return;
    case gaIncrement:
        if (s.asDate) {
            if (!s.parsed) {
                QDateTime start;
                for (const QString& fmt : dateFormats()) {
                    start = QDateTime::fromString(s.row->value.trimmed(), fmt);
                    if (start.isValid()) {
                        s.dateFormat = fmt;
                        break;
                    }
                }
                if (!start.isValid())
                    throw Exception(QStringLiteral("'%1' is not a valid date").arg(s.row->value));
                s.nextDate = dtconv::FromDateTime(start);
                s.parsed = true;
            }
            s.in.setInt(s.nextDate);
            put(s, ftDateTime);
            s.nextDate += dtconv::kMsPerDay;
        } else {
            if (!s.parsed) {
                bool ok = true;
                s.next = s.row->value.trimmed().isEmpty() ? 0 : wholeNumber(s.row->value, ok);
                if (!ok)
                    throw Exception(QStringLiteral("'%1' is not a valid integer value").arg(s.row->value));
                s.parsed = true;
            }
            s.in.setInt(s.next);
            put(s, ftLargeint);
            ++s.next;
        }
        return;
    case gaRandom: {
        const qint64 v = qint64(quint64(s.min) + QRandomGenerator::global()->bounded(s.span));
        // A date is a day number: days since 1899-12-30, at midnight.
        s.in.setInt(s.asDate ? v * dtconv::kMsPerDay : v);
        put(s, s.asDate ? ftDateTime : ftLargeint);
        return;
    }
    default:
        break;
    }
    // From a source table.
    TADOQuery* src = s.source.get();
    if (!src) throw Exception(QStringLiteral("No source table is given for field \"%1\".").arg(f->FieldName));
    if (src->IsEmpty())
        throw Exception(QStringLiteral("The source table \"%1\" has no records.").arg(s.row->tableName));
    if (!s.sourceField)
        throw Exception(
            QStringLiteral("Field '%1' not found in \"%2\".").arg(s.row->sourceField, s.row->tableName));
    if (s.action == gaRandomDemo || s.action == gaRandomOwn)
        src->setRecNo(1 + int(QRandomGenerator::global()->bounded(src->RecordCount())));
    const bool stored = src->currentCell(s.sourceField, s.in);
    if (s.asString) {
        // The source's text cut to the field's size; a text that needs no cut goes over as stored.
        if (stored && !s.in.otherClass && StorageOf(s.sourceField->DataType) == StorageKind::Text &&
            StorageOf(f->DataType) == StorageKind::Text &&
            (f->Size <= 0 || s.in.bytes.size() <= size_t(f->Size))) {
            if (s.in.null) s.in.setBytes({}); // the text of NULL is empty
            target_.swapCurrentCell(f, s.in);
        } else {
            const QString text = s.sourceField->AsString();
            f->setAsString(f->Size > 0 ? text.left(f->Size) : text);
        }
    } else if (stored) {
        put(s, s.sourceField->DataType);
    } else {
        f->setAsVariant(s.sourceField->AsVariant());
    }
    if (s.action == gaNextDemo || s.action == gaNextOwn) {
        src->Next();
        if (src->Eof()) src->First();
    }
}

void TestDataGenerator::writeBackValues() {
    // The grid shows, and a later run continues from, the next value.
    for (Step& s : steps_) {
        if (s.action != gaIncrement || !s.parsed) continue;
        s.row->value = s.asDate ? QLocale::c().toString(dtconv::ToDateTime(s.nextDate), s.dateFormat)
                                : QString::number(s.next);
    }
}

GenResult TestDataGenerator::Run() {
    GenResult result;
    if (!target_.Active()) throw Exception(QStringLiteral("No data is loaded."));
    TADOConnection* con = target_.Connection;
    {
        ProgressScope opening;
        ProgressWindow(QStringLiteral("Opening data..."), -1, {}, progressOver);
        prepare();
    }
    const int targetCount = insert ? count : target_.RecordCount();
    ProgressScope progress;
    // Views of the target are told once at the end, not per record.
    target_.DisableControls();
    auto controlsOn = qScopeGuard([this] { target_.EnableControls(); });
    bool abort = false;
    try {
        RecordBatches batches(con, transactionRecords, transactionMinMs, QStringLiteral("gen_record"));
        target_.First();
        for (;;) {
            if (insert ? result.records + result.failed >= targetCount : target_.Eof()) break;
            batches.begin();
            try {
                insert ? target_.Append() : target_.Edit();
                for (Step& s : steps_)
                    applyStep(s);
                target_.Post();
                batches.succeeded();
            } catch (const EAbort&) {
                throw;
            } catch (const std::exception& e) {
                target_.Cancel();
                batches.failed();
                batches.done();
                const GenErrorAnswer answer =
                    OnRecordError ? OnRecordError(ExceptionMessage(e)) : GenErrorAnswer::Skip;
                if (answer == GenErrorAnswer::Stop) {
                    ++result.failed;
                    break;
                }
                if (answer == GenErrorAnswer::Skip) {
                    ++result.failed;
                    if (!insert) target_.Next();
                }
                continue;
            }
            ++result.records;
            if (!insert) target_.Next();
            batches.done();
            if (result.records % kProgressEvery == 0) {
                ProgressWindow(
                    QStringLiteral("Generating data..."), ProgressPercent(result.records, targetCount),
                    [&abort] { abort = true; }, progressOver);
                if (abort) {
                    result.aborted = true;
                    break;
                }
            }
        }
        batches.commit();
    } catch (...) {
        // What was posted stays (the batches' end): the records are in the query and counted.
        if (target_.State() == dsEdit || target_.State() == dsInsert) target_.Cancel();
        writeBackValues();
        throw;
    }
    writeBackValues();
    return result;
}

QString GenDemoDatabasePath() {
    return ProgramFolder() + QStringLiteral("/GenDemoData/DemoData.sqlite");
}

QString GenDemoConnectionString() {
    return QStringLiteral("Provider=SQLite;Data Source=") + GenDemoDatabasePath();
}
