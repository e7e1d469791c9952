#pragma once
// The checking pass and the import run: find the target record of each source record by the compare
// rows (a hash index over the key fields: of the loaded target, built once per pass, or of the target
// rows read for each batch of source records by their keys), then add, edit with change detection,
// or skip it by the import type. Writes go through the target's write-back in transactions of
// `transactionRecords` records; a failed record is undone alone and reported.
#include "import_calc.h"
#include "import_settings.h"

#include "column_store.h"

#include <QStringList>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>

class TADOConnection;
class TDataSet;
class TField;

// Result-list levels (also given to the log callback).
enum ImportLogLevel {
    llPlain = 0,
    llPassStart = 1,
    llProgress = 2,
    llResult = 5,
    llTotals = 6,
    llUpdateLog = 7,
    llCheckDetail = 9,
    llError = 10,
};

struct ImportCheckCounts {
    int sum = 0, add = 0, edit = 0, skip = 0;
};
struct ImportRunCounts {
    int sum = 0, add = 0, edit = 0, same = 0, skip = 0, err = 0, war = 0;
};

class ImportEngine {
public:
    // target: the loaded table (its write-back stores the records); connection: for the transactions
    // (may be null: one implicit transaction per record).
    ImportEngine(TDataSet& target, TDataSet& source, TADOConnection* connection);

    ImportSettings settings;
    ImportCharSets charSets;
    bool copyNumericFieldAsFloat = true;
    bool resultInTableForm = false;
    QString resultValueSeparator = QStringLiteral("; ");
    // A batch commits after this many records once it has run transactionMinMs milliseconds.
    int transactionRecords = 2000;
    int transactionMinMs = 1000;
    // Whether an add keeps the records it wrote in the target dataset (the window shows them); a
    // caller that needs none of them afterwards turns it off so a big add runs in flat memory.
    bool keepAddedRows = true;
    // Set by a caller that opened the target (a query over one table) without rows: the SELECT of all
    // its rows, without a WHERE. The passes then read only the target rows the source records look
    // for, a batch of keyBatchRecords source records at a time, into the target dataset; when the keys
    // cannot be looked up that way (not plain columns of the table, not whole numbers or texts, a
    // database that cannot fold letter case as the match does), they read all rows once.
    QString targetSelect;
    int keyBatchRecords = 20000;
    // Auxiliary lookup tables (open, read-only): rows with lookup = k match a source value in table
    // k's column and write its first field into the target field of that name.
    std::vector<TDataSet*> lookups;
    // Every result line with its level; setting aborted stops the running pass after this record.
    std::function<void(const QString& line, int level, bool& aborted)> LogCallBack;
    // Progress every 10th record (text, percent); the window's Abort calls abort().
    std::function<void(const QString& text, int percent)> OnProgress;
    void abort() { aborted_ = true; }
    bool wasAborted() const { return aborted_; }

    // Reads the source forward-only when its records can be counted without loading them (a text
    // file read whole, without filter or sort): every pass then opens it and takes its records block
    // by block, so memory stays flat whatever the file's size. The source must not be open; returns
    // false (the caller opens it) when it cannot be streamed. Raises the errors reading it would.
    bool streamSource();
    // Parses the value commands; errors (when given) receives the invalid rows' messages.
    void parseCalcs(QStringList* errors = nullptr);
    // The checking pass; raises "Select fields to compare for update records." for an update type
    // without compare rows.
    ImportCheckCounts check();
    // The import run. Returns the counters; the lists below hold its result lines.
    ImportRunCounts run();
    bool imported() const { return imported_; }

    // The result list (check or run), the warnings and the update log of the last pass.
    QStringList resultLines;
    QStringList warnings;
    QStringList updateLog;
    ImportCheckCounts checkCounts;
    ImportRunCounts runCounts;
    // The lines the passes end with.
    static QString CheckTotalsLine(const ImportCheckCounts& c);
    static QString RunTotalsLine(const ImportRunCounts& c);
    static QString CallbackTotalsLine(const ImportRunCounts& c);
    // Adds a result line that starts with the date and time (also to the log callback).
    void logStamped(const QString& line, int level);

private:
    struct Mapped {
        TField* target;
        TField* source; // null: a fixed value
        QString fixed;  // fixed value text (source == null)
        bool hasFixed = false;
        TDataSet* lookup = nullptr; // an auxiliary lookup row: the table and its matched column
        TField* lookupColumn = nullptr;
        bool hasCalcs = false;   // value commands exist for the target field
        bool textSource = false; // only a text source can be empty without being NULL
    };
    struct KeyField {
        TField* target;
        TField* source;
        TDataSet* lookup = nullptr;
        TField* lookupColumn = nullptr;
    };
    void warnNotFound(const TField* source);
    void prepare(bool forRun);
    void noteSourceKinds(); // after a source column changed its type
    int sourceCount() const;
    // Calls ready once the source's fields exist, then body on each source record with recNo_ set,
    // until it returns false.
    void eachSourceRecord(const std::function<void()>& ready, const std::function<bool()>& body);
    void buildIndex();
    // Whether this pass reads the target by keys (keyed_); otherwise loads all of targetSelect once.
    void chooseTargetRows(bool forRun);
    bool keyedLookupPossible();
    bool serverFoldsTexts();
    // Reads the target rows of the keys of the next batch of source records (from the current one).
    void fetchTargetRows();
    // At the start of a pass's records, and at each record (reads the next batch's rows when due).
    void startIndex();
    void nextRecord() {
        if (keyed_ && batchLeft_-- == 0) {
            fetchTargetRows();
            --batchLeft_;
        }
    }
    bool keyOfSource(std::string& key);
    bool keyOfTargetRow(uint32_t row, std::string& key);
    bool locate(bool& found);      // returns false when the key holds a NULL (never found)
    bool importRecord(bool isNew); // true: posted (changed)
    // sourceRead: cellIn_ already holds the source's value.
    bool assignFieldValue(TField* t, TField* s, bool sourceRead = false);
    bool setFieldNull(TField* t);
    bool setFieldText(TField* t, const QString& text);
    void logChange(TField* t, const QString& newText);
    QVariant fitValue(TField* t, const QVariant& v) const;
    void log(const QString& line, int level);
    void setHeading(const QString& text, int level);
    void dropHeading();
    void errorReport(const QString& message);
    void progress(const std::function<QString()>& text, int done, int total); // text made when shown
    QString sourceFieldsLine() const;

    TDataSet& target_;
    TDataSet& source_;
    TADOConnection* con_;
    std::vector<TCalc> calcs_;
    std::vector<Mapped> mapped_;
    std::vector<KeyField> keys_;
    // Key bytes -> target row id (first in view order; -1: added by the checking pass).
    std::unordered_map<std::string, qint64> index_;
    std::string key_;
    bool keyed_ = false;
    bool wholeTarget_ = false; // targetSelect was loaded whole
    int foldProbe_ = -1;       // whether the target's server folds texts as keys are matched (-1: unasked)
    int batchLeft_ = 0;        // source records the rows read last still serve
    QStringList keyExprs_;     // the key columns as the lookup compares them
    std::unordered_set<std::string> added_; // keys the checking pass counted as added (keyed_)
    std::vector<std::string> batchKeys_;
    CellValue cellIn_, cellOut_, keyCell_;
    QString changeText_;
    QString heading_;
    int headingLevel_ = 0;
    bool tableHeaderDone_ = false;
    bool aborted_ = false;
    bool imported_ = false;
    bool streamed_ = false;
    int streamCount_ = 0;
    int recNo_ = 0; // 1-based number of the current source record in its pass
};
