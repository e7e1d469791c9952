#pragma once
// The SQL script generator without its window: INSERT or UPDATE statements for every record of a
// dataset, with the optional DELETE ALL and IDENTITY_INSERT lines.
#include "exceptions.h"
#include "record_statements.h"

#include <QString>
#include <QStringList>
#include <optional>

// A selection the script cannot be built from; the window shows the text as a warning.
class EScriptWarning : public Exception {
public:
    using Exception::Exception;
};

enum class ScriptType { Insert, Update };

struct ScriptSettings {
    ScriptType type = ScriptType::Insert;
    QStringList keyFields;   // checked key fields, in list order
    QStringList valueFields; // checked value fields
    QString addAfterEach;    // as typed, with #13, #10 and #9 codes
    bool generateDeleteAll = false;
    bool generateIdentityInsert = false;
};

// "#13" becomes CR, then "#10" LF, then "#9" TAB.
QString ExpandControlCodes(const QString& text);

// Checks the selection (raising EScriptWarning before anything is written), then hands the script's
// entries to the sink: all records of the dataset in view order, the current record afterwards the
// last. A failure while reading a value stops the script; what was written stays written.
void GenerateSqlScript(TDataSet& ds, const QString& tableName, const ScriptSettings& settings,
                       const Dialect& dialect, SqlTextSink& sink);
QStringList GenerateSqlScript(TDataSet& ds, const QString& tableName, const ScriptSettings& settings,
                              const Dialect& dialect = Dialect(DialectKind::MSSQL));

// The same script in parts, for rows read block by block: the lines before the records, the records
// the dataset holds (called once per block), the lines after them. The constructor checks the
// selection as GenerateSqlScript does.
class SqlScriptWriter {
public:
    SqlScriptWriter(TDataSet& ds, const QString& tableName, const ScriptSettings& settings,
                    const Dialect& dialect, SqlTextSink& sink);
    void begin();
    void records();
    void end();

private:
    bool insert() const { return settings_.type == ScriptType::Insert; }
    TDataSet& ds_;
    ScriptSettings settings_;
    Dialect dialect_;
    SqlTextSink& sink_;
    std::optional<StatementBuilder> builderStore_;
    const StatementBuilder& builder_;
    QString table_;
};
