#include "file_source.h"

#include "exceptions.h"

#include <QDir>
#include <QFileInfo>

namespace {
bool startsWithCI(const QString& s, const char* prefix) {
    return s.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

// Windows paths in stored strings ("C:\data\a.xls") are kept when they exist as written, otherwise
// read with "/" separators; relative paths are taken from the connection's folder.
QString localPath(QString p, const QString& baseDir) {
    p = p.trimmed();
    if (p.contains('\\') && !QFileInfo::exists(p)) p.replace('\\', '/');
    if (QFileInfo(p).isRelative() && !baseDir.isEmpty()) p = QDir(baseDir).filePath(p);
    return QDir::cleanPath(p);
}

// The entries of Extended Properties: "Text;HDR=Yes;FMT=Delimited(;)" (";" inside parentheses stays).
std::vector<std::pair<QString, QString>> extendedProperties(const QString& text) {
    std::vector<std::pair<QString, QString>> out;
    QString cur;
    int depth = 0;
    auto flush = [&] {
        QString t = cur.trimmed();
        cur.clear();
        if (t.isEmpty()) return;
        qsizetype eq = t.indexOf('=');
        if (eq < 0)
            out.emplace_back(t, QString());
        else
            out.emplace_back(t.left(eq).trimmed(), t.mid(eq + 1).trimmed());
    };
    for (QChar c : text) {
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (c == ';' && depth == 0)
            flush();
        else
            cur += c;
    }
    flush();
    return out;
}

bool yes(const QString& v) {
    return v.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0 ||
           v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1");
}

} // namespace

void ApplyTextFormat(const QString& fmt, TextOptions& t, const QString& where) {
    QString f = fmt.trimmed();
    if (f.compare(QLatin1String("TabDelimited"), Qt::CaseInsensitive) == 0) {
        t.format = TextOptions::Format::Delimited;
        t.separator = '\t';
    } else if (f.compare(QLatin1String("CSVDelimited"), Qt::CaseInsensitive) == 0) {
        t.format = TextOptions::Format::Delimited;
        t.separator = ',';
    } else if (f.compare(QLatin1String("FixedLength"), Qt::CaseInsensitive) == 0) {
        t.format = TextOptions::Format::Fixed;
    } else if (startsWithCI(f, "Delimited")) {
        t.format = TextOptions::Format::Delimited;
        QString rest = f.mid(9).trimmed();
        if (rest.startsWith('(') && rest.endsWith(')')) {
            QString sep = rest.mid(1, rest.size() - 2);
            if (sep.size() != 1 || sep[0].unicode() > 0x7f || sep[0] == '"')
                throw EDatabaseError(
                    QStringLiteral(
                        "%1: the separator \"%2\" is not supported (one ASCII character, not a quote)")
                        .arg(where, sep));
            t.separator = sep[0].toLatin1();
        } else if (!rest.isEmpty()) {
            throw EDatabaseError(
                QStringLiteral("%1: the text format \"%2\" is not supported").arg(where, fmt));
        }
    } else if (!f.isEmpty()) {
        throw EDatabaseError(QStringLiteral("%1: the text format \"%2\" is not supported").arg(where, fmt));
    }
}

namespace {
// The text options that Extended Properties or an ODBC text-driver string give.
void applyTextKey(const QString& key, const QString& value, FileSource& source, const QString& where) {
    if (key.compare(QLatin1String("HDR"), Qt::CaseInsensitive) == 0 ||
        key.compare(QLatin1String("ColNameHeader"), Qt::CaseInsensitive) == 0) {
        source.text.header = yes(value) ? 1 : 0;
        source.header = source.text.header;
    } else if (key.compare(QLatin1String("FMT"), Qt::CaseInsensitive) == 0 ||
               key.compare(QLatin1String("Format"), Qt::CaseInsensitive) == 0) {
        ApplyTextFormat(value, source.text, where);
    } else if (key.compare(QLatin1String("CharacterSet"), Qt::CaseInsensitive) == 0) {
        source.text.charset = value;
    }
}

// The kind that an Extended Properties entry without a value names ("Excel 8.0", "Text", "dBASE IV").
std::optional<FileKind> kindOfProperty(const QString& name, const QString& where) {
    QString n = name.trimmed().toLower();
    if (n.startsWith("excel 12.0") || n.startsWith("excel 14.0")) {
        if (n.contains("xml") || n.contains("macro") || n == "excel 12.0" || n == "excel 14.0")
            return FileKind::Xlsx;
    }
    if (n.startsWith("excel ")) return FileKind::Xls;
    if (n == "text") return FileKind::Text;
    if (n.startsWith("dbase")) return FileKind::DBase;
    if (n.startsWith("paradox") || n.startsWith("html") || n.startsWith("lotus") ||
        n.startsWith("exchange") || n.startsWith("outlook"))
        throw EDatabaseError(QStringLiteral("%1: the source kind \"%2\" is not supported").arg(where, name));
    return std::nullopt;
}

std::optional<FileKind> kindOfDriver(const QString& driver) {
    QString d = driver.toLower();
    if (d.contains("excel") || d.contains("*.xls")) return FileKind::Xls;
    if (d.contains("access") || d.contains("*.mdb")) return FileKind::Access;
    if (d.contains("dbase") || d.contains("*.dbf")) return FileKind::DBase;
    if (d.contains("text") || d.contains("*.csv") || d.contains("*.txt")) return FileKind::Text;
    return std::nullopt;
}

// The reader a file calls for: a spreadsheet named by its extension wins over the kind a string
// states (a template for "Excel 8.0" adapted to a .xlsx file still reads it).
FileKind settle(FileKind stated, const QString& path) {
    QFileInfo fi(path);
    if (fi.isDir()) return stated;
    std::optional<FileKind> byExt = FileKindOfExtension(fi.suffix());
    if (!byExt) return stated;
    bool sheetStated = stated == FileKind::Xls || stated == FileKind::Xlsx || stated == FileKind::Ods;
    bool sheetFile = *byExt == FileKind::Xls || *byExt == FileKind::Xlsx || *byExt == FileKind::Ods;
    if (sheetStated && sheetFile) return *byExt;
    if (stated == FileKind::Access || *byExt == FileKind::Access) return *byExt;
    return stated;
}
} // namespace

std::optional<FileKind> FileKindOfExtension(const QString& suffix) {
    QString s = suffix.toLower();
    if (s == "mdb" || s == "accdb") return FileKind::Access;
    if (s == "xls") return FileKind::Xls;
    if (s == "xlsx" || s == "xlsm") return FileKind::Xlsx;
    if (s == "ods") return FileKind::Ods;
    if (s == "csv" || s == "txt" || s == "tab" || s == "asc") return FileKind::Text;
    if (s == "dbf") return FileKind::DBase;
    return std::nullopt;
}

QString FileKindName(FileKind kind) {
    switch (kind) {
    case FileKind::Access:
        return QStringLiteral("Access");
    case FileKind::Xls:
        return QStringLiteral("xls");
    case FileKind::Xlsx:
        return QStringLiteral("xlsx");
    case FileKind::Ods:
        return QStringLiteral("ods");
    case FileKind::Text:
        return QStringLiteral("text");
    case FileKind::DBase:
        return QStringLiteral("dBase");
    }
    return QString();
}

std::optional<FileSource> FileSourceOfPath(const QString& path, const QString& baseDir) {
    if (path.contains('=') || path.trimmed().isEmpty()) return std::nullopt;
    QString p = localPath(path, baseDir);
    QFileInfo fi(p);
    FileSource source;
    if (fi.isDir()) {
        // A folder of text files, else of dBase tables.
        bool text = false, dbase = false;
        for (const QFileInfo& f : QDir(p).entryInfoList(QDir::Files)) {
            std::optional<FileKind> k = FileKindOfExtension(f.suffix());
            text |= k == FileKind::Text;
            dbase |= k == FileKind::DBase;
        }
        if (!text && !dbase) return std::nullopt;
        source.kind = text ? FileKind::Text : FileKind::DBase;
    } else {
        std::optional<FileKind> kind = FileKindOfExtension(fi.suffix());
        if (!kind) return std::nullopt;
        source.kind = *kind;
    }
    source.path = p;
    return source;
}

std::optional<FileSource> FileSourceOf(const InitString& s, const QString& baseDir) {
    const QString provider = s.value(QStringLiteral("Provider")).trimmed();
    const bool jet =
        startsWithCI(provider, "Microsoft.Jet.OLEDB") || startsWithCI(provider, "Microsoft.ACE.OLEDB");
    FileSource source;
    if (jet) {
        const QString where = QStringLiteral("Provider %1").arg(provider);
        QString dataSource = s.value(QStringLiteral("Data Source"));
        if (dataSource.trimmed().isEmpty())
            throw EDatabaseError(QStringLiteral("%1: the connection names no Data Source").arg(where));
        source.path = localPath(dataSource, baseDir);
        std::optional<FileKind> stated;
        for (const auto& [k, v] : extendedProperties(s.value(QStringLiteral("Extended Properties")))) {
            if (v.isEmpty() && !k.contains('=')) {
                if (std::optional<FileKind> kind = kindOfProperty(k, where)) stated = kind;
            } else {
                applyTextKey(k, v, source, where);
            }
        }
        if (!stated) stated = FileKindOfExtension(QFileInfo(source.path).suffix());
        if (!stated) stated = FileKind::Access; // the provider's own database format
        source.kind = settle(*stated, source.path);
        return source;
    }
    // ODBC file drivers, plain or through MSDASQL.
    if (!provider.isEmpty() && !startsWithCI(provider, "MSDASQL")) return std::nullopt;
    const QString driver = s.value(QStringLiteral("Driver"));
    std::optional<FileKind> kind = kindOfDriver(driver);
    if (!kind) return std::nullopt;
    const QString where = QStringLiteral("Driver %1").arg(driver);
    QString dbq = s.value(QStringLiteral("DBQ"));
    if (dbq.isEmpty()) dbq = s.value(QStringLiteral("SOURCEDB"));
    QString dir = s.value(QStringLiteral("DefaultDir"));
    QString dataSource = !dbq.trimmed().isEmpty() ? dbq : dir;
    if (dataSource.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("%1: the connection names no DBQ or DefaultDir").arg(where));
    source.path = localPath(dataSource, baseDir);
    if ((*kind == FileKind::Text || *kind == FileKind::DBase) && !dbq.isEmpty() && !dir.isEmpty() &&
        !QFileInfo(source.path).isDir() && QFileInfo(localPath(dir, baseDir)).isDir())
        source.path = localPath(dir, baseDir);
    for (const auto& [k, v] : s.items())
        applyTextKey(k, v, source, where);
    source.kind = settle(*kind, source.path);
    return source;
}
