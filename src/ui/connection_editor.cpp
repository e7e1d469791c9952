#include "connection_editor.h"

#include "conn_string.h"
#include "connection.h"
#include "cursor_guard.h"
#include "exceptions.h"
#include "messages.h"
#include "udl_file.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const struct {
    ConnProvider kind;
    const char* caption;
    const char* provider; // the Provider= value ("" for a plain ODBC string)
} kProviders[] = {
    {ConnProvider::SQLiteFile, "SQLite database file", "SQLite"},
    {ConnProvider::PostgreSQL, "PostgreSQL server", "PostgreSQL"},
    {ConnProvider::SQLServer, "SQL Server", "SQLOLEDB"},
    {ConnProvider::OdbcDataSource, "ODBC data source (DSN)", "MSDASQL"},
    {ConnProvider::OdbcDriver, "ODBC driver", ""},
    {ConnProvider::SourceFile, "Data file (CSV, text, xlsx, ods, xls, dBase, Access)",
     "Microsoft.ACE.OLEDB.12.0"},
};

bool isFileKind(ConnProvider p) {
    return p == ConnProvider::SQLiteFile || p == ConnProvider::SourceFile;
}

bool isKey(const QString& k, const char* name) {
    return k.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}
} // namespace

QString InitStringOf(const ConnectionFields& f) {
    InitString s;
    auto put = [&s](const char* key, const QString& v) {
        if (!v.isEmpty()) s.set(QString::fromLatin1(key), v);
    };
    switch (f.provider) {
    case ConnProvider::SQLiteFile:
        s.set(QStringLiteral("Provider"), QStringLiteral("SQLite"));
        put("Data Source", f.dataSource);
        break;
    case ConnProvider::PostgreSQL:
        s.set(QStringLiteral("Provider"), QStringLiteral("PostgreSQL"));
        put("Data Source", f.server);
        if (f.port > 0) s.set(QStringLiteral("Port"), QString::number(f.port));
        put("Initial Catalog", f.database);
        break;
    case ConnProvider::SQLServer:
        s.set(QStringLiteral("Provider"), QStringLiteral("SQLOLEDB"));
        put("Data Source", f.port > 0 ? f.server + ',' + QString::number(f.port) : f.server);
        put("Initial Catalog", f.database);
        break;
    case ConnProvider::OdbcDataSource:
        s.set(QStringLiteral("Provider"), QStringLiteral("MSDASQL"));
        put("Data Source", f.dataSource);
        put("Initial Catalog", f.database);
        break;
    case ConnProvider::SourceFile:
        s.set(QStringLiteral("Provider"), QStringLiteral("Microsoft.ACE.OLEDB.12.0"));
        put("Data Source", f.dataSource);
        break;
    case ConnProvider::OdbcDriver:
        put("Driver", f.dataSource);
        put("Server", f.server);
        if (f.port > 0) s.set(QStringLiteral("Port"), QString::number(f.port));
        put("Database", f.database);
        break;
    }
    if (!isFileKind(f.provider)) {
        put(f.provider == ConnProvider::OdbcDriver ? "UID" : "User ID", f.user);
        put(f.provider == ConnProvider::OdbcDriver ? "PWD" : "Password", f.password);
    }
    const InitString extra = InitString::parse(f.extra);
    for (const auto& [k, v] : extra.items())
        if (!s.has(k)) s.set(k, v);
    return s.text();
}

ConnectionFields FieldsOfInitString(const QString& text) {
    ConnectionFields f;
    const InitString s = InitString::parse(text);
    const QString p = s.value(QStringLiteral("Provider")).trimmed().toLower();
    if (p.isEmpty() && (s.has(QStringLiteral("Driver")) || s.has(QStringLiteral("DSN"))))
        f.provider =
            s.has(QStringLiteral("Driver")) ? ConnProvider::OdbcDriver : ConnProvider::OdbcDataSource;
    else if (p.startsWith(QLatin1String("postgres")) || p.startsWith(QLatin1String("pgnp")))
        f.provider = ConnProvider::PostgreSQL;
    else if (p.startsWith(QLatin1String("sqloledb")) || p.startsWith(QLatin1String("sqlncli")) ||
             p.startsWith(QLatin1String("msoledbsql")) || p == QLatin1String("sqlserver"))
        f.provider = ConnProvider::SQLServer;
    else if (p.startsWith(QLatin1String("msdasql")))
        f.provider = ConnProvider::OdbcDataSource;
    else if (p.startsWith(QLatin1String("microsoft.jet.oledb")) ||
             p.startsWith(QLatin1String("microsoft.ace.oledb")))
        f.provider = ConnProvider::SourceFile;
    QStringList used{QStringLiteral("Provider")};
    auto take = [&](std::initializer_list<const char*> keys) {
        for (const char* k : keys)
            if (s.has(QString::fromLatin1(k))) {
                used << QString::fromLatin1(k);
                return s.value(QString::fromLatin1(k));
            }
        return QString();
    };
    switch (f.provider) {
    case ConnProvider::SourceFile:
        f.dataSource = take({"Data Source"});
        break;
    case ConnProvider::SQLiteFile:
    case ConnProvider::OdbcDataSource:
        f.dataSource = take({"Data Source", "DSN"});
        f.database = take({"Initial Catalog", "Database"});
        break;
    case ConnProvider::OdbcDriver:
        f.dataSource = take({"Driver"});
        f.server = take({"Server"});
        f.database = take({"Database", "Initial Catalog"});
        f.port = take({"Port"}).toInt();
        break;
    case ConnProvider::PostgreSQL:
    case ConnProvider::SQLServer: {
        QString server = take({"Data Source", "Server"});
        f.port = take({"Port"}).toInt();
        if (qsizetype comma = server.lastIndexOf(','); comma > 0 && server.mid(comma + 1).toInt() > 0) {
            f.port = server.mid(comma + 1).toInt();
            server = server.left(comma);
        }
        f.server = server;
        f.database = take({"Initial Catalog", "Database"});
        break;
    }
    }
    f.user = take({"User ID", "UID"});
    f.password = take({"Password", "PWD"});
    InitString rest;
    for (const auto& [k, v] : s.items()) {
        bool known = false;
        for (const QString& u : used)
            known |= isKey(k, u.toLatin1().constData());
        if (!known) rest.set(k, v);
    }
    f.extra = rest.text();
    return f;
}

QString MissingField(const ConnectionFields& f) {
    switch (f.provider) {
    case ConnProvider::SQLiteFile:
        return f.dataSource.trimmed().isEmpty() ? QStringLiteral("Enter the database file.") : QString();
    case ConnProvider::SourceFile:
        return f.dataSource.trimmed().isEmpty() ? QStringLiteral("Enter the data file.") : QString();
    case ConnProvider::OdbcDataSource:
        return f.dataSource.trimmed().isEmpty() ? QStringLiteral("Enter the ODBC data source name.")
                                                : QString();
    case ConnProvider::OdbcDriver:
        return f.dataSource.trimmed().isEmpty() ? QStringLiteral("Enter the ODBC driver.") : QString();
    case ConnProvider::PostgreSQL:
    case ConnProvider::SQLServer:
        return f.server.trimmed().isEmpty() ? QStringLiteral("Enter the server.") : QString();
    }
    return {};
}

TConnectionEditor::TConnectionEditor(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TConnectionEditor"));
    setWindowTitle(QStringLiteral("Connection properties"));
    auto* form = new QFormLayout;
    cbProvider_ = new QComboBox;
    cbProvider_->setObjectName(QStringLiteral("cbProvider"));
    for (const auto& p : kProviders)
        cbProvider_->addItem(QString::fromLatin1(p.caption), int(p.kind));
    form->addRow(QStringLiteral("Provider:"), cbProvider_);
    eDataSource_ = new QLineEdit;
    eDataSource_->setObjectName(QStringLiteral("eDataSource"));
    auto* browse = new QPushButton(QStringLiteral("..."));
    browse->setObjectName(QStringLiteral("btBrowse"));
    btBrowse_ = browse;
    auto* dsRow = new QHBoxLayout;
    dsRow->addWidget(eDataSource_, 1);
    dsRow->addWidget(browse);
    lDataSource_ = new QLabel(QStringLiteral("Data source:"));
    form->addRow(lDataSource_, dsRow);
    eServer_ = new QLineEdit;
    eServer_->setObjectName(QStringLiteral("eServer"));
    form->addRow(QStringLiteral("Server:"), eServer_);
    ePort_ = new QSpinBox;
    ePort_->setObjectName(QStringLiteral("ePort"));
    ePort_->setRange(0, 65535);
    ePort_->setSpecialValueText(QStringLiteral("default"));
    form->addRow(QStringLiteral("Port:"), ePort_);
    eDatabase_ = new QLineEdit;
    eDatabase_->setObjectName(QStringLiteral("eDatabase"));
    form->addRow(QStringLiteral("Database:"), eDatabase_);
    eUser_ = new QLineEdit;
    eUser_->setObjectName(QStringLiteral("eUser"));
    form->addRow(QStringLiteral("User name:"), eUser_);
    ePassword_ = new QLineEdit;
    ePassword_->setObjectName(QStringLiteral("ePassword"));
    ePassword_->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), ePassword_);
    eExtra_ = new QLineEdit;
    eExtra_->setObjectName(QStringLiteral("eExtra"));
    eExtra_->setPlaceholderText(QStringLiteral("Key=Value;..."));
    form->addRow(QStringLiteral("Extra properties:"), eExtra_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* test = buttons->addButton(QStringLiteral("Test connection"), QDialogButtonBox::ActionRole);
    test->setObjectName(QStringLiteral("btTest"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TConnectionEditor::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(test, &QPushButton::clicked, this, [this] { testConnection(); });
    connect(browse, &QPushButton::clicked, this, &TConnectionEditor::browse);
    connect(cbProvider_, &QComboBox::currentIndexChanged, this, &TConnectionEditor::providerChanged);
    providerChanged();
    resize(480, sizeHint().height());
}

void TConnectionEditor::providerChanged() {
    const auto kind = ConnProvider(cbProvider_->currentData().toInt());
    const bool file = isFileKind(kind);
    const bool server = kind == ConnProvider::PostgreSQL || kind == ConnProvider::SQLServer ||
                        kind == ConnProvider::OdbcDriver;
    lDataSource_->setText(kind == ConnProvider::SourceFile   ? QStringLiteral("Data file:")
                          : file                             ? QStringLiteral("Database file:")
                          : kind == ConnProvider::OdbcDriver ? QStringLiteral("ODBC driver:")
                                                             : QStringLiteral("Data source:"));
    eDataSource_->setEnabled(!server || kind == ConnProvider::OdbcDriver);
    btBrowse_->setEnabled(file);
    eServer_->setEnabled(server);
    ePort_->setEnabled(server);
    eDatabase_->setEnabled(!file);
    eUser_->setEnabled(!file);
    ePassword_->setEnabled(!file);
}

void TConnectionEditor::browse() {
    const QString dir = path_.isEmpty() ? QString() : QFileInfo(path_).absolutePath();
    const bool source = ConnProvider(cbProvider_->currentData().toInt()) == ConnProvider::SourceFile;
    QString file = QFileDialog::getOpenFileName(
        this, source ? QStringLiteral("Data file") : QStringLiteral("Database file"), dir,
        source ? QStringLiteral(
                     "Data files (*.csv *.txt *.xlsx *.xlsm *.ods *.xls *.dbf *.mdb *.accdb);;All files (*)")
               : QStringLiteral("SQLite databases (*.sqlite *.db *.sqlite3);;All files (*)"));
    if (file.isEmpty()) return;
    // Files beside the connection folder stay relative, so the folder can move as a whole.
    if (!dir.isEmpty()) {
        QString rel = QDir(dir).relativeFilePath(file);
        if (!rel.startsWith(QLatin1String("../../"))) file = rel;
    }
    eDataSource_->setText(file);
}

ConnectionFields TConnectionEditor::fields() const {
    ConnectionFields f;
    f.provider = ConnProvider(cbProvider_->currentData().toInt());
    f.dataSource = eDataSource_->text().trimmed();
    f.server = eServer_->text().trimmed();
    f.port = ePort_->value();
    f.database = eDatabase_->text().trimmed();
    f.user = eUser_->text();
    f.password = ePassword_->text();
    f.extra = eExtra_->text().trimmed();
    return f;
}

void TConnectionEditor::setFields(const ConnectionFields& f) {
    cbProvider_->setCurrentIndex(cbProvider_->findData(int(f.provider)));
    eDataSource_->setText(f.dataSource);
    eServer_->setText(f.server);
    ePort_->setValue(f.port);
    eDatabase_->setText(f.database);
    eUser_->setText(f.user);
    ePassword_->setText(f.password);
    eExtra_->setText(f.extra);
    providerChanged();
}

bool TConnectionEditor::load(const QString& path) {
    path_ = path;
    QFileInfo info(path);
    if (!info.isFile()) return false;
    if (info.size() == 0) {
        setFields(ConnectionFields());
        return true;
    }
    try {
        setFields(FieldsOfInitString(ReadUdlFile(path)));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TConnectionEditor::save() {
    try {
        WriteUdlFile(path_, InitStringOf(fields()));
        return true;
    } catch (const std::exception& e) {
        ShowException(QStringLiteral("Error: Cannot save connection."), e);
        return false;
    }
}

bool TConnectionEditor::testConnection() {
    const ConnectionFields f = fields();
    if (QString missing = MissingField(f); !missing.isEmpty()) {
        Messages().warning(missing);
        return false;
    }
    HourglassCursor wait;
    try {
        TADOConnection con;
        QString text = InitStringOf(f);
        if (isFileKind(f.provider) && !path_.isEmpty()) {
            // Relative files are relative to the connection folder, as when the file is used.
            InitString s = InitString::parse(text);
            QString source = s.value(QStringLiteral("Data Source"));
            if (QFileInfo(source).isRelative())
                s.set(QStringLiteral("Data Source"), QFileInfo(path_).absoluteDir().filePath(source));
            // A test must not create an empty database where none was.
            if (!QFileInfo::exists(s.value(QStringLiteral("Data Source"))))
                throw EDatabaseError(QStringLiteral("Database file \"%1\" does not exist").arg(source));
            text = s.text();
        }
        con.ConnectionString = text;
        con.ConnectionTimeout = 5;
        con.Open();
        con.Close();
    } catch (const std::exception& e) {
        ShowException(QStringLiteral("Error: Test connection failed."), e);
        return false;
    }
    Messages().information(QStringLiteral("Test connection succeeded."));
    return true;
}

void TConnectionEditor::accept() {
    if (QString missing = MissingField(fields()); !missing.isEmpty()) {
        Messages().warning(missing);
        return;
    }
    if (path_.isEmpty() || save()) QDialog::accept();
}

bool TConnectionEditor::Edit(const QString& path, QWidget* parent) {
    TConnectionEditor editor(parent);
    if (!editor.load(path)) return false;
    editor.exec();
    return true;
}

bool TConnectionEditor::EditString(QString& text, const QString& caption, QWidget* parent) {
    TConnectionEditor editor(parent);
    editor.setWindowTitle(caption);
    if (!text.trimmed().isEmpty()) editor.setFields(FieldsOfInitString(text));
    if (editor.exec() != QDialog::Accepted) return false;
    text = InitStringOf(editor.fields());
    return true;
}
