#include "copy_writer.h"

#include "dataset.h"
#include "float_text.h"

#include <charconv>

void CopyWriter::flush() {
    if (!buf_.empty()) std::fwrite(buf_.data(), 1, buf_.size(), out_);
    buf_.clear();
}

void CopyWriter::put(const char* p, size_t n) {
    buf_.append(p, n);
    if (buf_.size() > (1 << 20)) flush();
}

void CopyWriter::putEscaped(const char* p, size_t n) {
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        char c = p[i];
        const char* esc = c == '\\'   ? "\\\\"
                          : c == '\t' ? "\\t"
                          : c == '\r' ? "\\r"
                          : c == '\n' ? "\\n"
                                      : nullptr;
        if (!esc) continue;
        buf_.append(p + start, i - start);
        buf_.append(esc, 2);
        start = i + 1;
    }
    buf_.append(p + start, n - start);
    if (buf_.size() > (1 << 20)) flush();
}

void CopyWriter::write(const TDataSet& ds) {
    writeTitles(ds);
    writeRows(ds);
}

namespace {
std::vector<const TField*> visibleFields(const TDataSet& ds) {
    std::vector<const TField*> fields;
    for (int i = 0; i < ds.FieldCount(); ++i)
        if (ds.Fields(i)->Visible) fields.push_back(ds.Fields(i));
    return fields;
}
} // namespace

void CopyWriter::writeTitles(const TDataSet& ds) {
    const std::vector<const TField*> fields = visibleFields(ds);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) put("\t", 1);
        QByteArray n = fields[i]->FieldName.toUtf8();
        putEscaped(n.constData(), size_t(n.size()));
    }
    put("\n", 1);
}

void CopyWriter::writeRows(const TDataSet& ds) {
    const std::vector<const TField*> fields = visibleFields(ds);
    const ColumnStore& store = ds.store();
    const TextArena& arena = store.arena();
    char num[64];
    static const char hex[] = "0123456789abcdef";
    for (uint32_t row : ds.view()) {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i) buf_ += '\t';
            const TField* f = fields[i];
            if (f->column() < 0) {
                QVariant v = ds.valueOfRow(f, row);
                if (!v.isValid())
                    buf_.append("\\N");
                else {
                    QByteArray u = f->formatValue(v).toUtf8();
                    putEscaped(u.constData(), size_t(u.size()));
                }
                continue;
            }
            const Column& c = store.column(size_t(f->column()));
            if (c.isNull(row)) {
                buf_.append("\\N");
                continue;
            }
            switch (c.kind()) {
            case StorageKind::Int: {
                auto r = std::to_chars(num, num + sizeof num, c.intAt(row));
                buf_.append(num, size_t(r.ptr - num));
                break;
            }
            case StorageKind::Float:
                buf_ += FloatGeneral15(c.floatAt(row));
                break;
            case StorageKind::Bool:
                buf_ += c.intAt(row) ? '1' : '0';
                break;
            case StorageKind::DateTime:
                // Milliseconds only when there are some: whole seconds keep the plain form.
                dtconv::AppendIso(buf_, c.intAt(row), f->DataType != ftTime, f->DataType != ftDate, true);
                break;
            case StorageKind::Text:
            case StorageKind::Bytes: {
                // Each value in the form of its own storage class (a blob among texts stays binary).
                std::string_view s = c.bytesAt(row, arena);
                if ((c.kind() == StorageKind::Text) == c.isOtherClass(row)) {
                    buf_.append("\\\\x");
                    for (unsigned char b : s) {
                        buf_ += hex[b >> 4];
                        buf_ += hex[b & 15];
                    }
                } else {
                    putEscaped(s.data(), s.size());
                }
                break;
            }
            }
        }
        buf_ += '\n';
        if (buf_.size() > (1 << 20)) flush();
    }
    flush();
}
