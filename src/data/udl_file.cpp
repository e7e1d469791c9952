#include "udl_file.h"

#include "exceptions.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

QString ReadUdlFile(const QString& path) {
    QFile f(path);
    if (!f.exists()) throw EDatabaseError(QStringLiteral("Connection file \"%1\" does not exist").arg(path));
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Cannot open file \"%1\".").arg(path));
    QByteArray raw = f.readAll();
    QString text;
    if (raw.startsWith("\xFF\xFE")) {
        text = QStringDecoder(QStringDecoder::Utf16LE).decode(raw.mid(2));
    } else if (raw.startsWith("\xFE\xFF")) {
        text = QStringDecoder(QStringDecoder::Utf16BE).decode(raw.mid(2));
    } else {
        if (raw.startsWith("\xEF\xBB\xBF")) raw = raw.mid(3);
        // A UTF-16LE file without its BOM shows as ASCII with zero bytes between.
        if (raw.size() > 1 && raw[1] == '\0')
            text = QStringDecoder(QStringDecoder::Utf16LE).decode(raw);
        else
            text = QString::fromUtf8(raw);
    }
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString& line : lines) {
        QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(';') || t.compare(QLatin1String("[oledb]"), Qt::CaseInsensitive) == 0)
            continue;
        if (!t.contains('='))
            throw EDatabaseError(
                QStringLiteral("Connection file \"%1\" is not valid: \"%2\" is not an initialisation string")
                    .arg(path, t.left(60)));
        return t;
    }
    throw EDatabaseError(QStringLiteral("Connection file \"%1\" holds no connection").arg(path));
}

void WriteUdlFile(const QString& path, const QString& initString) {
    QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n") +
                   initString + "\r\n";
    QByteArray out("\xFF\xFE", 2);
    const char16_t* u = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out.append(char(u[i] & 0xff));
        out.append(char(u[i] >> 8));
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit())
        throw EDatabaseError(QStringLiteral("Cannot write file \"%1\": %2").arg(path, f.errorString()));
}
