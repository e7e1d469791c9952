#pragma once
// TADOConWizard: connects a connection to a source file by adapting a connection string to it,
// either the connection's own string or the template connection files of a folder (udl_import),
// and logs every step. Passwords never reach the log.
#include <QString>
#include <QStringList>
#include <functional>

class TADOConnection;

enum TProviderType { ptNone, ptMSDA, ptJET, ptACE, ptSQLOLEDB };

enum TErrDialogShow { AfterConnecting = 1, AfterLogin = 2, AfterOpening = 4 };

class TADOConWizard {
public:
    TADOConnection* ADOConnection = nullptr;
    QString UDLFilePath; // folder of the template files, with a trailing separator
    QString UDLFileMask = QStringLiteral("*.udl");
    QString DefaultDBFile;
    bool LogDetails = false;
    int ErrDialogShow = AfterConnecting | AfterLogin | AfterOpening;
    std::function<void(TADOConWizard* sender, const QString& text)> OnInfo;
    std::function<void(TADOConWizard* sender, QString& userId, QString& password)> OnGetDBFilePassword;
    std::function<void(TADOConWizard* sender)> OnLoginUser;
    std::function<void(TADOConWizard* sender)> OnOpenTables;

    TProviderType ProviderType = ptNone;
    QStringList LogText;

    // The kind of provider a connection string names (its leading "PROVIDER=" entry).
    static TProviderType ProviderTypeOf(const QString& conStr);
    // The string adapted to a database file: the kind's database key gets the file (or, when the
    // old value names a folder, the file's folder) and default-directory entries go. Empty when the
    // string has no database key of its kind.
    static QString AdaptConStr(const QString& conStr, const QString& dbFile);
    // The connection string of a template file: its last line that begins with "PROVIDER=".
    QString ReadUDLFile(const QString& path);

    // Tries the connection's own string, then (with useUDLFiles) each template matching the mask.
    bool ConnectToFile(const QString& dbFileName, bool useUDLFiles);
    bool ConnectToStr(const QString& conStr);
    void Disconnect();
    // The database value of the open connection's string (or its default database); empty when closed.
    QString ConnectedFile() const;

private:
    void log(const QString& line);
};
