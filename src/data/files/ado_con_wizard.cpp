#include "ado_con_wizard.h"

#include "conn_string.h"
#include "connection.h"
#include "cursor_guard.h"
#include "exceptions.h"
#include "text_decode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
struct Keys {
    const char* prefix;
    QStringList dbKeys;
    const char* defaultDir;
    const char* password;
};

const Keys& keysOf(TProviderType t) {
    static const Keys none{"", {}, "", ""};
    static const Keys msda{"PROVIDER=MSDASQL", {"DBQ=", "SOURCEDB="}, "DEFAULTDIR=", "PASSWORD="};
    static const Keys jet{
        "PROVIDER=MICROSOFT.JET.OLEDB", {"DATA SOURCE="}, "", "JET OLEDB:DATABASE PASSWORD="};
    static const Keys ace{
        "PROVIDER=MICROSOFT.ACE.OLEDB", {"DATA SOURCE="}, "", "JET OLEDB:DATABASE PASSWORD="};
    static const Keys sql{"PROVIDER=SQLOLEDB", {"INITIAL CATALOG="}, "", "PASSWORD="};
    switch (t) {
    case ptMSDA:
        return msda;
    case ptJET:
        return jet;
    case ptACE:
        return ace;
    case ptSQLOLEDB:
        return sql;
    default:
        return none;
    }
}

// An entry of a connection string: where its key starts, where its value starts and ends (the ";"
// or the end), found only at the start of an entry so that "PASSWORD=" is not taken from inside
// "JET OLEDB:DATABASE PASSWORD=".
struct Entry {
    qsizetype key = -1, value = -1, end = -1;
};

Entry findEntry(const QString& s, const QString& key) {
    qsizetype from = 0;
    while (true) {
        qsizetype at = s.indexOf(key, from, Qt::CaseInsensitive);
        if (at < 0) return {};
        qsizetype before = at - 1;
        while (before >= 0 && s[before] == ' ')
            --before;
        if (before < 0 || s[before] == ';') {
            Entry e{at, at + key.size(), -1};
            qsizetype i = e.value;
            while (i < s.size() && s[i] == ' ')
                ++i;
            if (i < s.size() && (s[i] == '"' || s[i] == '\'')) { // a quoted value may hold ";"
                qsizetype close = s.indexOf(s[i], i + 1);
                i = close < 0 ? s.size() : close + 1;
            }
            qsizetype semi = s.indexOf(';', i);
            e.end = semi < 0 ? s.size() : semi;
            return e;
        }
        from = at + 1;
    }
}

QString unquoted(QString v) {
    v = v.trimmed();
    if (v.size() >= 2 && (v.startsWith('"') || v.startsWith('\'')) && v.endsWith(v[0]))
        v = v.mid(1, v.size() - 2);
    return v;
}

QString quotedIfNeeded(const QString& v) {
    return v.contains(';') || v.startsWith(' ') || v.endsWith(' ') ? '"' + v + '"' : v;
}

// Whether a value names a file: its last path part has an extension.
bool hasExtension(const QString& value) {
    QString last = unquoted(value).section(QRegularExpression(QStringLiteral("[/\\\\]")), -1);
    qsizetype dot = last.lastIndexOf('.');
    return dot > 0 && dot < last.size() - 1;
}

// Removes an entry with its ";" (every occurrence).
QString withoutEntries(QString s, const QString& key) {
    if (key.isEmpty()) return s;
    for (Entry e = findEntry(s, key); e.key >= 0; e = findEntry(s, key))
        s.remove(e.key, (e.end < s.size() ? e.end + 1 : e.end) - e.key);
    return s;
}

QString dbValue(const QString& s, TProviderType t) {
    for (const QString& k : keysOf(t).dbKeys) {
        Entry e = findEntry(s, k);
        if (e.key >= 0) return unquoted(s.mid(e.value, e.end - e.value));
    }
    return QString();
}

// The string for the log: the kind's password entry and every password value masked.
QString forLog(const QString& s, TProviderType t) {
    QString out = s;
    QString pk = QLatin1String(keysOf(t).password);
    for (const QString& key : {pk, QStringLiteral("PASSWORD="), QStringLiteral("PWD="),
                               QStringLiteral("JET OLEDB:DATABASE PASSWORD=")}) {
        if (key.isEmpty()) continue;
        qsizetype from = 0;
        for (Entry e = findEntry(out.mid(from), key); e.key >= 0; e = findEntry(out.mid(from), key)) {
            qsizetype v = from + e.value, end = from + e.end;
            out.replace(v, end - v, QStringLiteral("***"));
            from = v + 3;
        }
    }
    return out;
}
} // namespace

TProviderType TADOConWizard::ProviderTypeOf(const QString& conStr) {
    TProviderType found = ptNone;
    for (TProviderType t : {ptMSDA, ptJET, ptACE, ptSQLOLEDB})
        if (conStr.startsWith(QLatin1String(keysOf(t).prefix), Qt::CaseInsensitive)) found = t;
    return found;
}

QString TADOConWizard::AdaptConStr(const QString& conStr, const QString& dbFile) {
    TProviderType t = ProviderTypeOf(conStr);
    const Keys& k = keysOf(t);
    QString s = conStr;
    bool found = false;
    // Every database key of the kind is set (a string with both DBQ= and SOURCEDB= gets both).
    for (const QString& key : k.dbKeys) {
        Entry e = findEntry(s, key);
        if (e.key < 0) continue;
        found = true;
        QString old = s.mid(e.value, e.end - e.value);
        QString value =
            t == ptSQLOLEDB || hasExtension(old) ? dbFile : QFileInfo(dbFile).absolutePath() + '/';
        s.replace(e.value, e.end - e.value, quotedIfNeeded(value));
    }
    if (!found) return QString();
    return withoutEntries(s, QLatin1String(k.defaultDir));
}

QString TADOConWizard::ReadUDLFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        log(QStringLiteral("UDL READ ERROR: ") + f.errorString());
        return QString();
    }
    QByteArray raw = f.readAll();
    QString text;
    try {
        DecodedText d = DecodeText(raw.constData(), size_t(raw.size()), QString());
        text = QString::fromUtf8(d.data, qsizetype(d.size));
    } catch (const EDatabaseError& e) {
        log(QStringLiteral("UDL READ ERROR: ") + e.Message);
        return QString();
    }
    QString conStr;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r"))))
        if (line.startsWith(QLatin1String("PROVIDER="), Qt::CaseInsensitive)) conStr = line;
    return conStr;
}

void TADOConWizard::log(const QString& line) {
    LogText << line;
    if (OnInfo) OnInfo(this, line);
}

bool TADOConWizard::ConnectToStr(const QString& conStr) {
    ProviderType = ProviderTypeOf(conStr);
    if (LogDetails) log(QStringLiteral("Try connection string: ") + forLog(conStr, ProviderType));
    log(QStringLiteral("DB FILE: ") + dbValue(conStr, ProviderType));
    if (!ADOConnection) {
        log(QStringLiteral("ADO ERROR: ") + QStringLiteral("Missing Connection"));
        log(QStringLiteral("***"));
        return false;
    }
    ADOConnection->Close();
    QString userId, password;
    if (OnGetDBFilePassword) OnGetDBFilePassword(this, userId, password);
    QString s = conStr;
    QString pk = QLatin1String(keysOf(ProviderType).password);
    if (!pk.isEmpty()) {
        s = withoutEntries(s, pk);
        while (s.endsWith(';'))
            s.chop(1);
        s += ';' + pk + quotedIfNeeded(password) + ';';
    }
    bool ok = false;
    try {
        HourglassCursor busy;
        ADOConnection->ConnectionString = s;
        ADOConnection->Open();
        ok = ADOConnection->Connected();
        log(ok ? QStringLiteral("CONNECTED. ")
               : QStringLiteral("ADO ERROR: ") + QStringLiteral("Connection is not open"));
    } catch (const std::exception& e) {
        QString msg = ExceptionMessage(e);
        if (!password.isEmpty()) msg.replace(password, QStringLiteral("***"));
        log(QStringLiteral("ADO ERROR: ") + msg);
    }
    log(QStringLiteral("***"));
    return ok;
}

bool TADOConWizard::ConnectToFile(const QString& dbFileName, bool useUDLFiles) {
    bool connected = false;
    if (ADOConnection && !ADOConnection->ConnectionString.trimmed().isEmpty()) {
        QString adapted = AdaptConStr(ADOConnection->ConnectionString, dbFileName);
        connected = !adapted.isEmpty() && ConnectToStr(adapted);
    }
    if (!connected && useUDLFiles) {
        QDir dir(UDLFilePath);
        QStringList files = dir.entryList({UDLFileMask}, QDir::Files, QDir::Name);
        if (files.isEmpty()) log(QStringLiteral("No UDL File in directory ") + UDLFilePath);
        for (const QString& name : files) {
            QString path = dir.filePath(name);
            if (LogDetails) log(QStringLiteral("Open UDL File: ") + path);
            QString adapted = AdaptConStr(ReadUDLFile(path), dbFileName);
            if (!adapted.isEmpty() && ConnectToStr(adapted)) {
                connected = true;
                break;
            }
        }
    }
    return connected;
}

void TADOConWizard::Disconnect() {
    if (ADOConnection) ADOConnection->Close();
    if (LogDetails) log(QStringLiteral("DISCONNECTED. "));
}

QString TADOConWizard::ConnectedFile() const {
    if (!ADOConnection || !ADOConnection->Connected()) return QString();
    QString s = ADOConnection->ConnectionString;
    QString v = dbValue(s, ProviderTypeOf(s));
    return v.isEmpty() ? ADOConnection->DefaultDatabase() : v;
}
