#pragma once
// The connection editor: fills in a connection file (provider, data source, server, database, user,
// password, extra properties), tests it and writes the .udl file; or edits a connection string alone.
#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QSpinBox;
class QLabel;

// SourceFile: a CSV/text, spreadsheet, dBase or Access file, read-only (the Jet/ACE provider strings).
enum class ConnProvider { SQLiteFile, PostgreSQL, SQLServer, OdbcDataSource, OdbcDriver, SourceFile };

struct ConnectionFields {
    ConnProvider provider = ConnProvider::SQLiteFile;
    QString dataSource; // database file, source file, DSN or ODBC driver name
    QString server;
    int port = 0; // 0: the default
    QString database;
    QString user;
    QString password;
    QString extra; // further "Key=Value;..." properties
};

// The initialisation string of the fields, and back. Unknown keys go to extra.
QString InitStringOf(const ConnectionFields& f);
ConnectionFields FieldsOfInitString(const QString& text);
// The first thing missing for the provider ("Enter the server." ...), empty when the fields suffice.
QString MissingField(const ConnectionFields& f);

class TConnectionEditor : public QDialog {
    Q_OBJECT
public:
    explicit TConnectionEditor(QWidget* parent = nullptr);

    // Reads the file (an empty file gives a blank form); false when it cannot be read.
    bool load(const QString& path);
    // Writes the file; shows the error and returns false when it cannot.
    bool save();
    ConnectionFields fields() const;
    void setFields(const ConnectionFields& f);
    // Opens a connection with the fields and reports the result.
    bool testConnection();

    QString path() const { return path_; } // empty: a connection string is edited
    // Opens the editor on a file and waits; true when the file could be opened.
    static bool Edit(const QString& path, QWidget* parent = nullptr);
    // Opens the editor on a connection string (no file is written) and waits; true when the user
    // confirmed with Ok, text then holds the edited string.
    static bool EditString(QString& text, const QString& caption, QWidget* parent = nullptr);

    void accept() override;

private:
    void providerChanged();
    void browse();

    QString path_;
    QComboBox* cbProvider_;
    QLineEdit* eDataSource_;
    QLabel* lDataSource_;
    QWidget* btBrowse_;
    QLineEdit* eServer_;
    QSpinBox* ePort_;
    QLineEdit* eDatabase_;
    QLineEdit* eUser_;
    QLineEdit* ePassword_;
    QLineEdit* eExtra_;
};
