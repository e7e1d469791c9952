#include "dbf_reader.h"

#include "column_store.h"
#include "exceptions.h"
#include "file_folder.h"
#include "text_decode.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>

namespace {
struct DbfField {
    QString name;
    char type;
    int length, decimals, offset;
};

uint32_t le32(const uchar* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t be32(const uchar* p) {
    return uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
}

std::string_view trimmed(const char* p, int n, bool left = true) {
    std::string_view s(p, size_t(n));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    while (left && !s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

// The code page a language driver byte names (the common ones); empty when it names none.
QString codePageOf(uchar id) {
    switch (id) {
    case 0x01:
        return "CP437";
    case 0x02:
        return "CP850";
    case 0x03:
    case 0x57:
    case 0x58:
    case 0x59:
        return "WINDOWS-1252";
    case 0x64:
        return "CP852";
    case 0x65:
        return "CP866";
    case 0x66:
        return "CP865";
    case 0x67:
        return "CP861";
    case 0x6A:
        return "CP737";
    case 0x6B:
        return "CP857";
    case 0xC8:
        return "WINDOWS-1250";
    case 0xC9:
        return "WINDOWS-1251";
    case 0xCA:
        return "WINDOWS-1254";
    case 0xCB:
        return "WINDOWS-1253";
    default:
        return QString();
    }
}

class DbfFile {
public:
    explicit DbfFile(const QString& path) : path_(path), file_(path) {
        if (!file_.open(QIODevice::ReadOnly))
            throw EDatabaseError(
                QStringLiteral("Cannot open file \"%1\": %2").arg(path, file_.errorString()));
        size_ = file_.size();
        if (size_ < 33) fail(QStringLiteral("the file is too short for a dBase table"));
        data_ = size_ ? file_.map(0, size_) : nullptr;
        if (!data_) {
            whole_ = file_.readAll();
            data_ = reinterpret_cast<uchar*>(whole_.data());
        }
        version_ = data_[0];
        records_ = le32(data_ + 4);
        headerSize_ = data_[8] | data_[9] << 8;
        recordSize_ = data_[10] | data_[11] << 8;
        if (headerSize_ < 33 || headerSize_ > size_ || recordSize_ < 1)
            fail(QStringLiteral("the header is damaged (header size %1, record size %2)")
                     .arg(headerSize_)
                     .arg(recordSize_));
        int offset = 1;
        for (qint64 at = 32; at + 32 <= headerSize_ && data_[at] != 0x0D; at += 32) {
            const uchar* d = data_ + at;
            DbfField f;
            f.name = QString::fromLatin1(reinterpret_cast<const char*>(d),
                                         int(strnlen(reinterpret_cast<const char*>(d), 11)))
                         .trimmed();
            f.type = char(d[11]);
            f.length = d[16];
            f.decimals = d[17];
            if (f.type == 'C' && version_ != 0x30 && version_ != 0x31)
                f.length |= d[17] << 8; // long character fields
            f.offset = offset;
            offset += f.length;
            fields_.push_back(f);
        }
        if (offset > recordSize_)
            fail(QStringLiteral("the fields take %1 bytes, more than the record's %2")
                     .arg(offset)
                     .arg(recordSize_));
        // The language driver, or a .cpg file beside the table, names the code page.
        QFileInfo fi(path);
        QFile cpg(fi.dir().filePath(fi.completeBaseName() + ".cpg"));
        if (cpg.open(QIODevice::ReadOnly)) charset_ = QString::fromLatin1(cpg.readAll()).trimmed();
        if (charset_.isEmpty()) charset_ = codePageOf(data_[29]);
        openMemo();
    }

    std::vector<ColumnDesc> columns() const {
        std::vector<ColumnDesc> cols;
        for (const DbfField& f : fields_) {
            ColumnDesc c;
            c.name = f.name;
            c.type = typeOf(f);
            c.size = c.type == ftWideString ? f.length : 0;
            c.readOnly = true;
            cols.push_back(c);
        }
        return cols;
    }

    void read(ResultSink& sink, qint64 maxRows) {
        std::vector<ColumnDesc> cols = columns();
        ColumnStore& store = sink.begin(cols);
        qint64 rows = 0;
        for (uint32_t r = 0; r < records_ && (maxRows < 0 || rows < maxRows); ++r) {
            qint64 at = headerSize_ + qint64(r) * recordSize_;
            if (at + recordSize_ > size_)
                fail(QStringLiteral("record %1 of %2 is missing: the file is truncated")
                         .arg(r + 1)
                         .arg(records_));
            const char* rec = reinterpret_cast<const char*>(data_ + at);
            if (rec[0] == '*') continue; // deleted
            for (size_t c = 0; c < fields_.size(); ++c)
                put(store, c, cols[c].type, fields_[c], rec + fields_[c].offset, r);
            store.commitRow();
            ++rows;
            if (rows % sink.progressRows() == 0 && !sink.fetchProgress(rows)) return;
        }
    }

private:
    [[noreturn]] void fail(const QString& what) const { throw EDatabaseError(FileError(path_, what)); }

    bool fox() const { return version_ == 0x30 || version_ == 0x31 || version_ == 0xF5 || version_ == 0xFB; }

    TFieldType typeOf(const DbfField& f) const {
        switch (f.type) {
        case 'C':
            return ftWideString;
        case 'N':
            return f.decimals > 0 || f.length > 18 ? ftFloat : f.length > 9 ? ftLargeint : ftInteger;
        case 'F':
        case 'O':
            return ftFloat;
        case 'D':
            return ftDate;
        case 'L':
            return ftBoolean;
        case 'M':
            return ftWideMemo;
        case 'I':
            return ftInteger;
        case 'Y':
            return ftCurrency;
        case 'T':
            return ftDateTime;
        case 'B':
            return fox() ? ftFloat : ftBlob;
        case 'G':
            return ftBlob;
        default:
            return ftBytes;
        }
    }

    void openMemo() {
        bool hasMemo = false;
        for (const DbfField& f : fields_)
            hasMemo |= f.type == 'M' || f.type == 'G' || (f.type == 'B' && !fox());
        if (!hasMemo) return;
        QFileInfo fi(path_);
        for (const char* ext : {".fpt", ".FPT", ".dbt", ".DBT"}) {
            QString p = fi.dir().filePath(fi.completeBaseName() + ext);
            if (QFileInfo::exists(p)) {
                memoPath_ = p;
                break;
            }
        }
        if (memoPath_.isEmpty()) fail(QStringLiteral("its memo file (.dbt or .fpt) is missing"));
        QFile m(memoPath_);
        if (!m.open(QIODevice::ReadOnly))
            throw EDatabaseError(
                QStringLiteral("Cannot open file \"%1\": %2").arg(memoPath_, m.errorString()));
        memo_ = m.readAll();
        memoFox_ = memoPath_.endsWith(".fpt", Qt::CaseInsensitive);
        const uchar* h = reinterpret_cast<const uchar*>(memo_.constData());
        if (memo_.size() < 512)
            throw EDatabaseError(FileError(memoPath_, QStringLiteral("the memo file is too short")));
        if (memoFox_)
            blockSize_ = h[6] << 8 | h[7];
        else if (version_ != 0x83)
            blockSize_ = h[20] | h[21] << 8; // dBase IV states its block size
        if (blockSize_ <= 0) blockSize_ = 512;
    }

    // The memo stored at a block; raises naming the memo file when it points outside it.
    std::string_view memoAt(uint32_t block, uint32_t row) const {
        qint64 at = qint64(block) * blockSize_;
        const char* base = memo_.constData();
        auto outside = [&] {
            throw EDatabaseError(
                FileError(memoPath_, QStringLiteral("the memo of record %1 lies outside the file (block %2)")
                                         .arg(row + 1)
                                         .arg(block)));
        };
        if (at >= memo_.size()) outside();
        const uchar* p = reinterpret_cast<const uchar*>(base + at);
        if (memoFox_) {
            if (at + 8 > memo_.size()) outside();
            uint32_t len = be32(p + 4);
            if (at + 8 + len > memo_.size()) outside();
            return {base + at + 8, len};
        }
        if (p[0] == 0xFF && p[1] == 0xFF && p[2] == 0x08 && p[3] == 0x00) { // dBase IV block header
            if (at + 8 > memo_.size()) outside();
            uint32_t len = le32(p + 4);
            if (len < 8 || at + len > memo_.size()) outside();
            return {base + at + 8, len - 8};
        }
        // dBase III: text up to the end-of-memo marker.
        const char* s = base + at;
        const char* end = base + memo_.size();
        const char* e = s;
        while (e < end && *e != 0x1A)
            ++e;
        return {s, size_t(e - s)};
    }

    void putText(Column& col, std::string_view s, TextArena& arena) {
        bool ascii = true;
        for (char ch : s)
            ascii &= static_cast<unsigned char>(ch) < 0x80;
        if (ascii) return col.appendBytes(s, arena);
        try {
            DecodedText t =
                DecodeText(s.data(), s.size(), charset_.isEmpty() ? QStringLiteral("ANSI") : charset_);
            col.appendBytes(std::string_view(t.data, t.size), arena);
        } catch (const EDatabaseError& e) {
            fail(e.Message);
        }
    }

    void put(ColumnStore& store, size_t c, TFieldType type, const DbfField& f, const char* v, uint32_t row) {
        Column& col = store.column(c);
        const uchar* u = reinterpret_cast<const uchar*>(v);
        switch (f.type) {
        case 'C': {
            std::string_view s = trimmed(v, f.length, false);
            putText(col, s, store.arena());
            return;
        }
        case 'N':
        case 'F': {
            std::string_view s = trimmed(v, f.length);
            if (s.empty()) return col.appendNull();
            std::string z(s);
            char* end = nullptr;
            if (type == ftFloat) {
                double d = std::strtod(z.c_str(), &end);
                if (*end) return col.appendNull(); // "*****": a value that did not fit its field
                return col.appendFloat(d);
            }
            long long i = std::strtoll(z.c_str(), &end, 10);
            if (*end) return col.appendNull();
            return col.appendInt(i);
        }
        case 'D': {
            std::string_view s = trimmed(v, f.length);
            QDate d = s.size() == 8
                          ? QDate::fromString(QString::fromLatin1(s.data(), 8), QStringLiteral("yyyyMMdd"))
                          : QDate();
            return d.isValid() ? col.appendInt(dtconv::FromDate(d)) : col.appendNull();
        }
        case 'L': {
            char ch = char(v[0] | 0x20);
            if (ch == 't' || ch == 'y') return col.appendInt(1);
            if (ch == 'f' || ch == 'n') return col.appendInt(0);
            return col.appendNull();
        }
        case 'I':
            return col.appendInt(int32_t(le32(u)));
        case 'Y': {
            int64_t raw;
            std::memcpy(&raw, v, 8);
            return col.appendFloat(double(raw) / 10000.0);
        }
        case 'T': {
            uint32_t julian = le32(u), ms = le32(u + 4);
            if (julian == 0 && ms == 0) return col.appendNull();
            // Julian day 2415019 is 1899-12-30.
            return col.appendInt((int64_t(julian) - 2415019) * dtconv::kMsPerDay + ms);
        }
        case 'O': {
            double d;
            std::memcpy(&d, v, 8);
            return col.appendFloat(d);
        }
        case 'B':
            if (fox()) {
                double d;
                std::memcpy(&d, v, 8);
                return col.appendFloat(d);
            }
            [[fallthrough]];
        case 'M':
        case 'G': {
            uint32_t block = 0;
            if (f.length == 4) {
                block = le32(u);
            } else {
                std::string_view s = trimmed(v, f.length);
                if (s.empty()) return col.appendNull();
                block = uint32_t(std::strtoul(std::string(s).c_str(), nullptr, 10));
            }
            if (block == 0) return col.appendNull();
            std::string_view m = memoAt(block, row);
            if (type == ftWideMemo) return putText(col, m, store.arena());
            return col.appendBytes(m, store.arena());
        }
        default:
            return col.appendBytes(std::string_view(v, size_t(f.length)), store.arena());
        }
    }

    QString path_;
    QFile file_;
    QByteArray whole_;
    uchar* data_ = nullptr;
    qint64 size_ = 0;
    uchar version_ = 0;
    uint32_t records_ = 0;
    int headerSize_ = 0, recordSize_ = 0;
    std::vector<DbfField> fields_;
    QString charset_;
    QString memoPath_;
    QByteArray memo_;
    bool memoFox_ = false;
    int blockSize_ = 512;
};
} // namespace

void ReadDbfFile(const QString& path, ResultSink& sink, qint64 maxRows) {
    DbfFile(path).read(sink, maxRows);
}

DbfFolderReader::DbfFolderReader(const FileSource& source) : source_(source) {
    FileFolder folder(source.path, {"dbf"});
    dir_ = folder.dir();
    files_ = folder.files();
}

QStringList DbfFolderReader::tables() {
    return files_;
}

void DbfFolderReader::read(const QString& table, ResultSink& sink, qint64 maxRows) {
    ReadDbfFile(FileFolder(dir_, {"dbf"}).resolve(table), sink, maxRows);
}

std::vector<ColumnDesc> DbfFolderReader::columns(const QString& table) {
    return DbfFile(FileFolder(dir_, {"dbf"}).resolve(table)).columns();
}
