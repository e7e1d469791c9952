#include "csv_reader.h"

#include "exceptions.h"
#include "file_folder.h"
#include "text_decode.h"
#include "value_text.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <algorithm>
#include <string>
#ifdef Q_OS_UNIX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {
constexpr qint64 kSampleRows = 10000;
constexpr size_t kSampleBytes = size_t(4) << 20;

struct Field {
    const char* p;
    uint32_t len;
    int64_t scratchOff; // >= 0: the value was unescaped into the row's scratch buffer
    bool quoted;
    std::string_view view() const { return {p, len}; }
};

// Bytes per UTF-8 character that starts with c.
inline int utf8Len(unsigned char c) {
    return c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}
} // namespace

struct CsvReader::Scanner {
    const char* p;
    const char* end;
    char sep, quote;
    bool fixed;
    const std::vector<int>* widths;
    const CsvReader* owner;
    qint64 line = 1;    // physical line of the scan position
    qint64 rowLine = 1; // physical line where the last row began
    std::string scratch;
    std::vector<Field> fields;
    bool ends[256] = {}; // the bytes that end an unquoted value: the separator and line breaks

    Scanner(const CsvReader& r)
        : p(r.data_), end(r.data_ + r.size_), sep(r.opt_.separator), quote(r.opt_.quote),
          fixed(r.opt_.format == TextOptions::Format::Fixed), widths(&r.opt_.widths), owner(&r) {
        ends[uint8_t(sep)] = ends[uint8_t('\n')] = ends[uint8_t('\r')] = true;
    }

    // Moves p to the end of an unquoted value (or of the data).
    void skipValue() {
        while (p < end && !ends[uint8_t(*p)])
            ++p;
    }

    void endOfLine() {
        if (p < end && *p == '\r') ++p;
        if (p < end && *p == '\n') ++p;
        ++line;
    }

    // Reads the next row; false at the end of the data.
    bool next() {
        if (p >= end) return false;
        fields.clear();
        scratch.clear();
        rowLine = line;
        if (fixed)
            fixedRow();
        else
            delimitedRow();
        for (Field& f : fields)
            if (f.scratchOff >= 0) f.p = scratch.data() + f.scratchOff;
        return true;
    }

    // A row made of one empty unquoted value: a blank line, skipped.
    bool blank() const { return fields.size() == 1 && fields[0].len == 0 && !fields[0].quoted; }

    void delimitedRow() {
        for (;;) {
            if (p < end && *p == quote && quote) {
                ++p;
                const char* s = p;
                int64_t off = -1;
                for (;;) {
                    if (p >= end)
                        throw EDatabaseError(
                            owner->where(rowLine) +
                            QStringLiteral(": a quoted value is not closed (the file may be truncated)"));
                    char c = *p;
                    if (c == quote) {
                        if (p + 1 < end && p[1] == quote) {
                            if (off < 0) off = int64_t(scratch.size());
                            scratch.append(s, size_t(p - s));
                            scratch += quote;
                            p += 2;
                            s = p;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n') ++line;
                    ++p;
                }
                const char* segEnd = p;
                ++p; // the closing quote
                const char* t = p;
                skipValue();
                if (off >= 0 || t != p) {
                    if (off < 0) off = int64_t(scratch.size());
                    scratch.append(s, size_t(segEnd - s));
                    scratch.append(t, size_t(p - t)); // text after the closing quote is kept
                    fields.push_back({nullptr, uint32_t(scratch.size() - size_t(off)), off, true});
                } else {
                    fields.push_back({s, uint32_t(segEnd - s), -1, true});
                }
            } else {
                const char* s = p;
                skipValue();
                fields.push_back({s, uint32_t(p - s), -1, false});
            }
            if (p < end && *p == sep) {
                ++p;
                continue;
            }
            endOfLine();
            return;
        }
    }

    void fixedRow() {
        const char* s = p;
        while (p < end && *p != '\n' && *p != '\r')
            ++p;
        std::string_view lineText(s, size_t(p - s));
        endOfLine();
        if (lineText.empty()) {
            fields.push_back({s, 0, -1, false});
            return;
        }
        size_t at = 0;
        for (size_t c = 0; c < widths->size(); ++c) {
            size_t from = at;
            if (c + 1 == widths->size()) {
                at = lineText.size(); // the last column takes the rest of the line
            } else {
                for (int n = 0; n < (*widths)[c] && at < lineText.size(); ++n)
                    at += size_t(utf8Len(static_cast<unsigned char>(lineText[at])));
                at = std::min(at, lineText.size());
            }
            std::string_view v = trimBlanks(lineText.substr(from, at - from));
            fields.push_back({v.data(), uint32_t(v.size()), -1, false});
        }
    }
};

CsvReader::CsvReader(const QString& path, const TextOptions& options)
    : path_(path), opt_(options), file_(path) {
    if (!file_.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Cannot open file \"%1\": %2").arg(path, file_.errorString()));
    const char* bytes = nullptr;
    size_t size = size_t(file_.size());
    if (size > 0) {
        if (uchar* m = file_.map(0, file_.size())) {
            bytes = reinterpret_cast<const char*>(m);
            map_ = bytes;
            mapSize_ = size;
        } else {
            whole_ = file_.readAll();
            if (whole_.size() != file_.size())
                throw EDatabaseError(
                    QStringLiteral("Cannot read file \"%1\": %2").arg(path, file_.errorString()));
            bytes = whole_.constData();
        }
    }
    try {
        DecodedText t =
            DecodeText(bytes ? bytes : "", size, opt_.charset, [this](const char* upTo) { release(upTo); });
        decodedOwned_ = std::move(t.owned);
        data_ = decodedOwned_.isEmpty() ? t.data : decodedOwned_.constData();
        size_ = t.size;
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(FileError(path, e.Message));
    }
    detect();
    release(data_ + size_); // the decoding touched every page: the scans read them again in turn
}

CsvReader::~CsvReader() = default;

QString CsvReader::where(qint64 line) const {
    return FileError(path_, QStringLiteral("line %1").arg(line));
}

void CsvReader::detect() {
    // The first lines, for the separator and quote votes.
    std::vector<std::string_view> lines;
    {
        const char* p = data_;
        const char* end = data_ + std::min(size_, size_t(1) << 20);
        while (p < end && lines.size() < 50) {
            const char* s = p;
            while (p < end && *p != '\n' && *p != '\r')
                ++p;
            if (p > s) lines.emplace_back(s, size_t(p - s));
            while (p < end && (*p == '\n' || *p == '\r'))
                ++p;
        }
    }
    if (opt_.quote == 0) {
        // A quote opens a value: right after a separator-like character or at the start of a line.
        auto votes = [&](char q) {
            int n = 0;
            for (std::string_view l : lines)
                for (size_t i = 0; i < l.size(); ++i)
                    if (l[i] == q &&
                        (i == 0 || l[i - 1] == ',' || l[i - 1] == ';' || l[i - 1] == '\t' || l[i - 1] == '|'))
                        ++n;
            return n;
        };
        opt_.quote = votes('\'') > 0 && votes('"') == 0 ? '\'' : '"';
    }
    if (opt_.format == TextOptions::Format::Detect) opt_.format = TextOptions::Format::Delimited;
    if (opt_.format == TextOptions::Format::Delimited && opt_.separator == 0) {
        // The candidate found the same number of times on most lines (outside quotes) wins.
        const char candidates[] = {',', ';', '\t', '|'};
        char best = ',';
        int bestScore = 0, bestCount = 0;
        for (char c : candidates) {
            std::vector<int> counts;
            for (std::string_view l : lines) {
                int n = 0;
                bool inQuote = false;
                for (char ch : l) {
                    if (ch == opt_.quote)
                        inQuote = !inQuote;
                    else if (ch == c && !inQuote)
                        ++n;
                }
                counts.push_back(n);
            }
            if (counts.empty()) continue;
            std::vector<int> sorted = counts;
            std::sort(sorted.begin(), sorted.end());
            int mode = sorted[sorted.size() / 2];
            if (mode == 0) continue;
            int score = int(std::count(counts.begin(), counts.end(), mode));
            if (score > bestScore || (score == bestScore && mode > bestCount)) {
                best = c;
                bestScore = score;
                bestCount = mode;
            }
        }
        opt_.separator = best;
    }
    if (opt_.format == TextOptions::Format::Fixed && opt_.widths.empty()) opt_.widths = findFixedWidths();
}

// Column starts where a run of characters that are blank on every sampled line ends.
std::vector<int> CsvReader::findFixedWidths() const {
    std::vector<bool> used;
    const char* p = data_;
    const char* end = data_ + std::min(size_, kSampleBytes);
    for (int n = 0; p < end && n < 1000; ++n) {
        size_t col = 0;
        while (p < end && *p != '\n' && *p != '\r') {
            if (col >= used.size()) used.resize(col + 1, false);
            if (*p != ' ' && *p != '\t') used[col] = true;
            p += utf8Len(static_cast<unsigned char>(*p));
            ++col;
        }
        while (p < end && (*p == '\n' || *p == '\r'))
            ++p;
    }
    std::vector<int> widths;
    int start = 0;
    for (size_t i = 1; i < used.size(); ++i)
        if (used[i] && !used[i - 1]) {
            widths.push_back(int(i) - start);
            start = int(i);
        }
    widths.push_back(std::max(1, int(used.size()) - start));
    return widths;
}

// The sample: column count, title row and (when classify) value classes.
CsvReader::Layout CsvReader::layout(bool classify) const {
    Scanner s(*this);
    std::vector<ValueClass> classes;
    std::vector<QString> titles;
    bool haveFirst = false, header = false;
    std::vector<bool> wide; // ints beyond 32 bits seen
    size_t ncols = opt_.format == TextOptions::Format::Fixed ? opt_.widths.size() : 0;
    qint64 sampled = 0;
    size_t firstCount = 0, dataCount = 0;
    std::vector<std::vector<ValueClass>> firstRow;
    std::vector<std::string> firstTexts;
    auto note = [&](size_t c, std::string_view v) {
        if (c >= classes.size()) {
            classes.resize(c + 1, ValueClass::Null);
            wide.resize(c + 1, false);
        }
        ValueClass k = ClassifyValue(v);
        if (k == ValueClass::Int) {
            int64_t i;
            ParseIntValue(v, i);
            if (i > INT32_MAX || i < INT32_MIN) wide[c] = true;
        }
        classes[c] = CombineClasses(classes[c], k);
    };
    while (sampled < kSampleRows && size_t(s.p - data_) < kSampleBytes && s.next()) {
        if (s.blank()) continue;
        // Empty values after the last filled one make no columns ("a,b,c,,").
        size_t filled = s.fields.size();
        while (filled > 0 && s.fields[filled - 1].len == 0 && !s.fields[filled - 1].quoted)
            --filled;
        if (!haveFirst) {
            firstCount = filled;
            haveFirst = true;
            for (const Field& f : s.fields)
                firstTexts.emplace_back(f.view());
            continue;
        }
        ++sampled;
        dataCount = std::max(dataCount, filled);
        for (size_t c = 0; c < s.fields.size() && classify; ++c)
            note(c, s.fields[c].view());
    }
    if (opt_.header >= 0) {
        header = opt_.header == 1;
    } else {
        // Titles are distinct, non-empty texts that do not read as numbers, dates or booleans.
        header = haveFirst;
        QStringList seen;
        for (const std::string& t : firstTexts) {
            QString q = QString::fromUtf8(t.data(), qsizetype(t.size())).trimmed();
            if (q.isEmpty() || ClassifyValue(t) != ValueClass::Text || seen.contains(q, Qt::CaseInsensitive))
                header = false;
            seen << q;
        }
    }
    if (!header && haveFirst)
        for (size_t c = 0; c < firstTexts.size(); ++c)
            note(c, firstTexts[c]);
    // With titles the title row sets the columns: a row with more values is an error, not a new column.
    if (opt_.format != TextOptions::Format::Fixed)
        ncols = header ? firstCount : std::max(firstCount, dataCount);
    classes.resize(ncols, ValueClass::Null);
    wide.resize(ncols, false);

    Layout l;
    l.header = header;
    std::vector<ColumnDesc>& cols = l.cols;
    std::vector<ValueClass>& colClass = l.classes;
    cols.resize(ncols);
    colClass.resize(ncols);
    for (size_t c = 0; c < ncols; ++c) {
        QString name;
        if (c < opt_.names.size()) name = opt_.names[c];
        if (name.isEmpty() && header && c < firstTexts.size())
            name = QString::fromUtf8(firstTexts[c].data(), qsizetype(firstTexts[c].size())).trimmed();
        if (name.isEmpty()) name = QStringLiteral("F%1").arg(c + 1);
        cols[c].name = name;
        colClass[c] = classes[c] == ValueClass::Null ? ValueClass::Text : classes[c];
        cols[c].type = FieldTypeOfClass(colClass[c], wide[c]);
        cols[c].readOnly = true;
    }
    return l;
}

void CsvReader::checkWidth(const Scanner& r, size_t ncols) const {
    for (size_t c = ncols; c < r.fields.size(); ++c)
        if (r.fields[c].len > 0)
            throw EDatabaseError(where(r.rowLine) +
                                 QStringLiteral(": the row has %1 values, the table has %2 columns")
                                     .arg(r.fields.size())
                                     .arg(ncols));
}

void CsvReader::release(const char* upTo) const {
#ifdef Q_OS_UNIX
    // Only pages of the mapped file: they are read again from the file when touched.
    if (!map_ || upTo <= map_ || upTo > map_ + mapSize_) return;
    static const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t bytes = size_t(upTo - map_) / page * page;
    if (bytes > 0) madvise(const_cast<char*>(map_), bytes, MADV_DONTNEED);
#else
    (void)upTo;
#endif
}

qint64 CsvReader::count() const {
    const Layout l = layout(false);
    if (l.cols.empty()) return 0;
    Scanner r(*this);
    bool skipTitle = l.header;
    qint64 rows = 0;
    while (r.next()) {
        if (r.blank()) continue;
        if (skipTitle) {
            skipTitle = false;
            continue;
        }
        checkWidth(r, l.cols.size());
        if (++rows % kFetchProgressRows == 0) release(r.p);
    }
    release(r.p);
    return rows;
}

void CsvReader::read(ResultSink& sink, qint64 maxRows) {
    Layout l = layout(true);
    std::vector<ColumnDesc>& cols = l.cols;
    std::vector<ValueClass>& colClass = l.classes;
    const size_t ncols = cols.size();
    const bool header = l.header;
    ColumnStore& store = sink.begin(cols);
    TextArena& arena = store.arena();
    if (ncols == 0) return;

    // --- the rows, straight into the store
    // Rewrites column c as text from the file's own characters for the rows the store holds: a
    // forward-only read keeps only the last rowsDone - held rows of the block not yet handed on.
    auto toText = [&](size_t c, qint64 rowsDone) {
        const qint64 held = qint64(store.rowCount());
        Column text(StorageKind::Text);
        text.reserve(size_t(held));
        Scanner r(*this);
        bool skipTitle = header;
        for (qint64 row = 0; row < rowsDone && r.next();) {
            if (r.blank()) continue;
            if (skipTitle) {
                skipTitle = false;
                continue;
            }
            if (row++ < rowsDone - held) continue;
            if (c < r.fields.size() && (r.fields[c].len > 0 || r.fields[c].quoted))
                text.appendBytes(r.fields[c].view(), arena);
            else
                text.appendNull();
        }
        store.column(c) = std::move(text);
        colClass[c] = ValueClass::Text;
        cols[c].type = ftWideString;
        sink.columnRetyped(c, ftWideString);
    };
    auto intsFitDouble = [&](size_t c) {
        const Column& col = store.column(c);
        for (uint32_t r = 0; r < store.rowCount(); ++r)
            if (!col.isNull(size_t(r)) &&
                (col.intAt(size_t(r)) > (int64_t(1) << 53) || col.intAt(size_t(r)) < -(int64_t(1) << 53)))
                return false;
        return true;
    };
    auto toFloat = [&](size_t c) {
        const Column& old = store.column(c);
        Column f(StorageKind::Float);
        f.reserve(store.rowCount());
        for (uint32_t r = 0; r < store.rowCount(); ++r)
            old.isNull(size_t(r)) ? f.appendNull() : f.appendFloat(double(old.intAt(size_t(r))));
        store.column(c) = std::move(f);
        colClass[c] = ValueClass::Float;
        cols[c].type = ftFloat;
        sink.columnRetyped(c, ftFloat);
    };

    Scanner r(*this);
    bool skipTitle = header;
    qint64 rows = 0;
    while ((maxRows < 0 || rows < maxRows) && r.next()) {
        if (r.blank()) continue;
        if (skipTitle) {
            skipTitle = false;
            continue;
        }
        checkWidth(r, ncols);
        for (size_t c = 0; c < ncols; ++c) {
            Column& col = store.column(c);
            if (c >= r.fields.size()) {
                col.appendNull();
                continue;
            }
            const Field& f = r.fields[c];
            std::string_view v = f.view();
            if (v.empty()) {
                if (f.quoted && colClass[c] == ValueClass::Text)
                    col.appendBytes(v, arena);
                else
                    col.appendNull();
                continue;
            }
            bool ok = true;
            switch (colClass[c]) {
            case ValueClass::Text:
                col.appendBytes(v, arena);
                break;
            case ValueClass::Int: {
                int64_t i;
                if ((ok = ParseIntValue(v, i))) {
                    if (cols[c].type == ftInteger && (i > INT32_MAX || i < INT32_MIN)) {
                        cols[c].type = ftLargeint;
                        sink.columnRetyped(c, ftLargeint);
                    }
                    col.appendInt(i);
                }
                break;
            }
            case ValueClass::Float: {
                double d;
                if ((ok = ParseFloatValue(v, d))) col.appendFloat(d);
                break;
            }
            case ValueClass::Bool: {
                bool b;
                if ((ok = ParseBoolValue(v, b))) col.appendInt(b ? 1 : 0);
                break;
            }
            case ValueClass::Date:
            case ValueClass::DateTime:
            case ValueClass::Time: {
                int64_t ms;
                if ((ok = ParseDateValue(v, colClass[c], ms))) {
                    col.appendInt(ms);
                } else if (colClass[c] == ValueClass::Date && ParseDateValue(v, ValueClass::DateTime, ms)) {
                    // A moment in a column of dates: the column holds date-times from here on.
                    colClass[c] = ValueClass::DateTime;
                    cols[c].type = ftDateTime;
                    sink.columnRetyped(c, ftDateTime);
                    col.appendInt(ms);
                    ok = true;
                }
                break;
            }
            case ValueClass::Null:
                break;
            }
            if (ok) continue;
            double d;
            if (colClass[c] == ValueClass::Int && ParseFloatValue(v, d) && intsFitDouble(c)) {
                toFloat(c);
                store.column(c).appendFloat(d);
            } else {
                toText(c, rows);
                store.column(c).appendBytes(v, arena);
            }
        }
        store.commitRow();
        ++rows;
        if (rows % sink.progressRows() == 0) {
            release(r.p);
            if (!sink.fetchProgress(rows)) return;
        }
    }
}

// --- folders of text files

TextFolderReader::TextFolderReader(const FileSource& source) : source_(source) {
    FileFolder folder(source.path, {"csv", "txt", "tab", "asc"});
    dir_ = folder.dir();
    files_ = folder.files();
}

QStringList TextFolderReader::tables() {
    return files_;
}

// schema.ini beside the files: a section per file with Format, ColNameHeader, CharacterSet and
// Col1=Name Type Width n entries.
TextOptions TextFolderReader::optionsFor(const QString& file) const {
    TextOptions o = source_.text;
    QFile ini(QDir(dir_).filePath(QStringLiteral("schema.ini")));
    if (!ini.open(QIODevice::ReadOnly)) return o;
    const QStringList lines = QString::fromUtf8(ini.readAll()).split(QRegularExpression("\r\n|\n|\r"));
    bool inSection = false;
    std::vector<std::pair<int, std::pair<QString, int>>> cols;
    static const QRegularExpression colRe(QStringLiteral("^Col(\\d+)$"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression widthRe(QStringLiteral("\\bWidth\\s+(\\d+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (const QString& raw : lines) {
        QString l = raw.trimmed();
        if (l.startsWith('[')) {
            inSection = l.mid(1, l.size() - 2).trimmed().compare(file, Qt::CaseInsensitive) == 0;
            continue;
        }
        qsizetype eq = l.indexOf('=');
        if (!inSection || eq < 0) continue;
        QString key = l.left(eq).trimmed(), value = l.mid(eq + 1).trimmed();
        QRegularExpressionMatch m = colRe.match(key);
        if (m.hasMatch()) {
            QString name;
            if (value.startsWith('"')) {
                qsizetype close = value.indexOf('"', 1);
                name = value.mid(1, close - 1);
            } else {
                name = value.section(' ', 0, 0);
            }
            QRegularExpressionMatch w = widthRe.match(value);
            cols.push_back({m.captured(1).toInt(), {name, w.hasMatch() ? w.captured(1).toInt() : 0}});
            continue;
        }
        if (key.compare(QLatin1String("Format"), Qt::CaseInsensitive) == 0) {
            // schema.ini writes a plain "Delimited" for commas.
            ApplyTextFormat(value.compare(QLatin1String("Delimited"), Qt::CaseInsensitive) == 0
                                ? QStringLiteral("CSVDelimited")
                                : value,
                            o, FileError(QDir(dir_).filePath(QStringLiteral("schema.ini")), file));
        } else if (key.compare(QLatin1String("ColNameHeader"), Qt::CaseInsensitive) == 0) {
            o.header = value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ? 1 : 0;
        } else if (key.compare(QLatin1String("CharacterSet"), Qt::CaseInsensitive) == 0) {
            o.charset = value;
        }
    }
    std::sort(cols.begin(), cols.end());
    if (!cols.empty()) {
        o.names.clear();
        o.widths.clear();
        bool allWidths = true;
        for (const auto& c : cols) {
            o.names.push_back(c.second.first);
            o.widths.push_back(c.second.second);
            allWidths &= c.second.second > 0;
        }
        if (!allWidths) o.widths.clear();
    }
    return o;
}

std::unique_ptr<CsvReader> TextFolderReader::readerOf(const QString& table) const {
    FileFolder folder(dir_, {"csv", "txt", "tab", "asc"});
    const QString path = folder.resolve(table);
    return std::make_unique<CsvReader>(path, optionsFor(QFileInfo(path).fileName()));
}

void TextFolderReader::read(const QString& table, ResultSink& sink, qint64 maxRows) {
    readerOf(table)->read(sink, maxRows);
}

qint64 TextFolderReader::count(const QString& table) {
    return readerOf(table)->count();
}
