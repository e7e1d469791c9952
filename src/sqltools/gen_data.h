#pragma once
// The test data generator: fills the rows of a query with generated values, field by field, by the
// action chosen for each field (a constant, an increment, a random number or date, a value taken from
// a table of the sample-data database or of the own database). Records are written through the query
// itself (Append or Edit, then Post), in transactions of a few thousand records.
#include "field_types.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QObject;
class TADOConnection;
class TADOQuery;
class TDataSet;

enum GenAction {
    gaNone,
    gaConstant,
    gaIncrement,
    gaRandom,
    gaRandomDemo,
    gaNextDemo,
    gaRandomOwn,
    gaNextOwn,
};

// The action texts in list order ("- none -", "constant value", ...).
const QStringList& GenActionNames();
// The action of a cell's text; an empty or unknown text is gaNone.
GenAction GenActionOf(const QString& text);
// Which cells an action uses: the value cell (actions 1-3) or the source table and field (4-7).
inline bool GenUsesValue(GenAction a) {
    return a >= gaConstant && a <= gaRandom;
}
inline bool GenUsesSource(GenAction a) {
    return a >= gaRandomDemo;
}
inline bool GenFromDemo(GenAction a) {
    return a == gaRandomDemo || a == gaNextDemo;
}

// "Int", "Num", "Date", "Bool", "String", "Blob" or "?".
QString GenTypeLabel(TFieldType type);

// One row of the generator grid: the target field, the action and its cells.
struct GenRow {
    QString fieldName;
    QString fieldType;
    QString action;
    QString value;       // constant, start value or "min..max"
    QString tableName;   // source table
    QString sourceField; // field of the source table
};

// One row per field of the dataset, in field order, with empty action cells.
std::vector<GenRow> GenRowsOf(const TDataSet& ds);

// What to do after a record failed.
enum class GenErrorAnswer { Stop, Retry, Skip };

struct GenResult {
    int records = 0; // records written
    int failed = 0;  // records that failed and were given up
    bool aborted = false;
};

class TestDataGenerator {
public:
    // demo may be null (no sample database): the demo actions then fail while preparing.
    TestDataGenerator(TADOQuery& target, TADOConnection& own, TADOConnection* demo);
    TestDataGenerator(TestDataGenerator&&) noexcept;
    ~TestDataGenerator();

    std::vector<GenRow> rows; // the grid; "increment from" values advance as the run uses them
    bool insert = false;      // append `count` records; otherwise rewrite every record of the target
    int count = 100;
    // A batch commits after this many records once it has run transactionMinMs milliseconds.
    int transactionRecords = 5000;
    int transactionMinMs = 1000;
    // Asked after a record failed (the record was cancelled); without a handler the record is skipped.
    std::function<GenErrorAnswer(const QString& message)> OnRecordError;
    QObject* progressOver = nullptr; // the window the progress window is placed over

    // Prepares the sources (errors raise before anything is written), then writes the records.
    GenResult Run();

    // "%d records updated." or "%d records added."
    static QString ResultText(bool insert, int records);

    // Records between two progress updates.
    static constexpr int kProgressEvery = 10;

private:
    struct Step;
    void prepare();
    void applyStep(Step& s);
    void put(Step& s, TFieldType from);
    void writeBackValues();

    TADOQuery& target_;
    TADOConnection& own_;
    TADOConnection* demo_;
    std::vector<Step> steps_;
};

// The source table's fields (names), read with an empty result: "SELECT * FROM t WHERE 1=0".
QStringList GenSourceFields(TADOConnection& con, const QString& table);

// The sample-data database in the program folder, and the connection string that opens it.
QString GenDemoDatabasePath();
QString GenDemoConnectionString();
