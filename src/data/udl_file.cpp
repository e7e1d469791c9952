#include "udl_file.h"

#include "conn_string.h"
#include "exceptions.h"
#include "text_file.h"

#include <QFile>
#include <QSaveFile>

namespace {
// No connection file comes near this; a larger one is not read into memory.
constexpr qint64 kMaxUdlBytes = 1 << 20;
} // namespace

QString ReadUdlFile(const QString& path) {
    QFile f(path);
    if (!f.exists()) throw EDatabaseError(QStringLiteral("Connection file \"%1\" does not exist").arg(path));
    if (!f.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Cannot open file \"%1\".").arg(path));
    const QByteArray raw = f.read(kMaxUdlBytes + 1);
    if (raw.size() > kMaxUdlBytes)
        throw EDatabaseError(
            QStringLiteral("Connection file \"%1\" is larger than 1 MB, which no connection file is")
                .arg(path));
    QString text;
    try {
        text = DecodeTextFile(raw, path, QStringLiteral("Connection file"));
    } catch (const Exception& e) {
        throw EDatabaseError(e.Message);
    }
    for (qsizetype pos = 0; pos < text.size();) {
        qsizetype eol = pos;
        while (eol < text.size() && text[eol] != '\n' && text[eol] != '\r')
            ++eol;
        const QString t = text.mid(pos, eol - pos).trimmed();
        if (t.isEmpty() || t.startsWith(';') ||
            t.compare(QLatin1String("[oledb]"), Qt::CaseInsensitive) == 0) {
            pos = eol + 1;
            continue;
        }
        if (!t.contains('='))
            throw EDatabaseError(
                QStringLiteral("Connection file \"%1\" is not valid: \"%2\" is not an initialisation string")
                    .arg(path, t.left(60)));
        // A quoted value may go on over line breaks.
        return text.mid(pos, ScanInitString(text, pos, true, nullptr) - pos).trimmed();
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
