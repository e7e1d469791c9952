#include "sheet_rows.h"

#include "sheet_writer.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace {
constexpr size_t kFlushBytes = 1 << 20;

bool Hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether s[i] starts an escape (_xHHHH_) that a reader would decode.
bool EscapeAt(std::string_view s, size_t i) {
    return i + 6 < s.size() && s[i] == '_' && s[i + 1] == 'x' && Hex(s[i + 2]) && Hex(s[i + 3]) &&
           Hex(s[i + 4]) && Hex(s[i + 5]) && s[i + 6] == '_';
}

void AppendNumber(std::string& out, double v) {
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void AppendInt(std::string& out, long long v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}
} // namespace

void AppendXmlText(std::string& out, std::string_view s) {
    static const char kHex[] = "0123456789ABCDEF";
    size_t plain = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const char* rep = nullptr;
        char code[8];
        switch (c) {
        case '&':
            rep = "&amp;";
            break;
        case '<':
            rep = "&lt;";
            break;
        case '>':
            rep = "&gt;";
            break;
        case '\r':
            rep = "&#13;";
            break;
        case '_':
            if (EscapeAt(s, i)) rep = "_x005F_";
            break;
        default:
            if (c < 0x20 && c != '\t' && c != '\n') {
                std::memcpy(code, "_x00", 4);
                code[4] = kHex[c >> 4];
                code[5] = kHex[c & 15];
                code[6] = '_';
                code[7] = 0;
                rep = code;
            }
        }
        if (!rep) continue;
        out.append(s.data() + plain, i - plain);
        out += rep;
        plain = i + 1;
    }
    out.append(s.data() + plain, s.size() - plain);
}

void EscapeLiteralEscapes(std::string& text) {
    if (text.find("_x") == std::string::npos) return;
    std::string out;
    out.reserve(text.size() + 14);
    for (size_t i = 0; i < text.size(); ++i) {
        if (EscapeAt(text, i)) out += "_x005F";
        out += text[i];
    }
    text.swap(out);
}

SheetRows::SheetRows() {
    file_ = std::tmpfile();
    if (!file_)
        throw WorkbookError(QStringLiteral("Cannot create a temporary file: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
    buf_.reserve(kFlushBytes + 4096);
}

SheetRows::~SheetRows() {
    if (file_) std::fclose(file_);
}

void SheetRows::flush() {
    if (buf_.empty()) return;
    if (std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size())
        throw WorkbookError(QStringLiteral("Cannot write a temporary file: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
    size_ += qint64(buf_.size());
    buf_.clear();
}

void SheetRows::height(int row, double points) {
    heightRow_ = row;
    height_ = points;
}

void SheetRows::openRow(int row) {
    if (row_ >= 0) buf_ += "</row>";
    row_ = row;
    col_ = -1;
    rowText_.clear();
    AppendInt(rowText_, row + 1LL);
    buf_ += "<row r=\"";
    buf_ += rowText_;
    if (row == heightRow_) {
        buf_ += "\" ht=\"";
        AppendNumber(buf_, height_);
        buf_ += "\" customHeight=\"1";
    }
    buf_ += "\">";
    if (firstRow < 0) firstRow = row;
    lastRow = row;
}

void SheetRows::start(int row, int col, int xf, const char* type) {
    if (row < row_ || (row == row_ && col <= col_) || row >= SheetWriter::kMaxRows || col < 0 ||
        col >= SheetWriter::kMaxCols)
        throw WorkbookError(QStringLiteral("Cell %1%2 is outside the sheet or before a cell already written.")
                                .arg(QString::fromStdString(SheetWriter::ColumnName(std::max(col, 0))))
                                .arg(row + 1));
    if (row != row_) {
        if (buf_.size() >= kFlushBytes) flush();
        openRow(row);
    }
    col_ = col;
    if (firstCol < 0 || col < firstCol) firstCol = col;
    if (col > lastCol) lastCol = col;
    while (int(colNames_.size()) <= col)
        colNames_.push_back(SheetWriter::ColumnName(int(colNames_.size())));
    buf_ += "<c r=\"";
    buf_ += colNames_[size_t(col)];
    buf_ += rowText_;
    buf_ += '"';
    if (xf > 0) {
        buf_ += " s=\"";
        AppendInt(buf_, xf);
        buf_ += '"';
    }
    if (type) {
        buf_ += " t=\"";
        buf_ += type;
        buf_ += '"';
    }
}

void SheetRows::number(int row, int col, double value, int xf) {
    start(row, col, xf, nullptr);
    buf_ += "><v>";
    AppendNumber(buf_, value);
    buf_ += "</v></c>";
}

void SheetRows::text(int row, int col, std::string_view utf8, int xf) {
    start(row, col, xf, "inlineStr");
    const bool keepSpace =
        !utf8.empty() && (std::strchr(" \t\n\r", utf8.front()) || std::strchr(" \t\n\r", utf8.back()));
    buf_ += keepSpace ? "><is><t xml:space=\"preserve\">" : "><is><t>";
    AppendXmlText(buf_, utf8);
    buf_ += "</t></is></c>";
}

void SheetRows::boolean(int row, int col, bool value, int xf) {
    start(row, col, xf, "b");
    buf_ += value ? "><v>1</v></c>" : "><v>0</v></c>";
}

void SheetRows::formula(int row, int col, std::string_view formula, double value, int xf) {
    start(row, col, xf, nullptr);
    buf_ += "><f>";
    AppendXmlText(buf_, formula);
    buf_ += "</f><v>";
    AppendNumber(buf_, value);
    buf_ += "</v></c>";
}

void SheetRows::blank(int row, int col, int xf) {
    start(row, col, xf, nullptr);
    buf_ += "/>";
}

void SheetRows::finish() {
    if (row_ >= 0) buf_ += "</row>";
    row_ = SheetWriter::kMaxRows; // nothing more after the end
    flush();
    std::fflush(file_);
}

bool SheetRows::rewind() {
    return std::fseek(file_, 0, SEEK_SET) == 0;
}

qint64 SheetRows::read(char* data, qint64 n) {
    const size_t got = std::fread(data, 1, size_t(n), file_);
    return got == 0 && std::ferror(file_) ? -1 : qint64(got);
}
