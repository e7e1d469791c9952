#include "copy_writer.h"

#include "dataset.h"
#include "float_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {
constexpr size_t kBuffer = size_t(1) << 20;
}

CopyWriter::CopyWriter(std::FILE* out) : out_(out), buf_(new char[kBuffer]), cap_(kBuffer) {}

void CopyWriter::flush() {
    if (len_) std::fwrite(buf_.get(), 1, len_, out_);
    len_ = 0;
}

char* CopyWriter::makeRoom(size_t n) {
    flush();
    if (n > cap_) {
        buf_.reset(new char[n]);
        cap_ = n;
    }
    return buf_.get();
}

void CopyWriter::put(const char* p, size_t n) {
    char* o = room(n);
    std::memcpy(o, p, n);
    done(o + n);
}

namespace {
// Whether any of the 8 bytes in w is a backslash, TAB, CR or LF (bytes equal to c leave a zero in
// w ^ c, which the classic zero-byte test finds).
inline bool anySpecial(uint64_t w) {
    constexpr uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    auto zeroIn = [](uint64_t x) { return (x - ones) & ~x & highs; };
    return zeroIn(w ^ (ones * '\\')) | zeroIn(w ^ (ones * '\t')) | zeroIn(w ^ (ones * '\r')) |
           zeroIn(w ^ (ones * '\n'));
}
} // namespace

void CopyWriter::putEscaped(const char* p, size_t n) {
    char* o = room(2 * n);
    const char* end = p + n;
    // Values rarely hold a character to escape: eight bytes at a time are checked and copied whole.
    while (p < end) {
        uint64_t w;
        if (end - p >= 8 && (std::memcpy(&w, p, 8), !anySpecial(w))) {
            std::memcpy(o, p, 8);
            o += 8;
            p += 8;
            continue;
        }
        for (const char* stop = std::min(p + 8, end); p < stop; ++p) {
            const char c = *p;
            if (c != '\\' && c != '\t' && c != '\r' && c != '\n') {
                *o++ = c;
                continue;
            }
            *o++ = '\\';
            *o++ = c == '\\' ? '\\' : c == '\t' ? 't' : c == '\r' ? 'r' : 'n';
        }
    }
    done(o);
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
    static const char hex[] = "0123456789abcdef";
    // Room for one value of any fixed-size kind and the separator after it.
    constexpr size_t kFixed = std::max<size_t>(kFloatGeneral15Max, dtconv::kIsoMax) + 2;
    // What each field needs, looked up once per block.
    struct Out {
        const TField* field;
        const Column* column; // null: a calculated or lookup field
        bool date, time;
        char sep;
        dtconv::IsoDay day;
    };
    std::vector<Out> outs;
    for (size_t i = 0; i < fields.size(); ++i) {
        const TField* f = fields[i];
        outs.push_back({f,
                        f->column() < 0 ? nullptr : &store.column(size_t(f->column())),
                        f->DataType != ftTime,
                        f->DataType != ftDate,
                        i + 1 < fields.size() ? '\t' : '\n',
                        {}});
    }
    for (uint32_t row : ds.view()) {
        for (Out& out : outs) {
            const char sep = out.sep;
            if (!out.column) {
                QVariant v = ds.valueOfRow(out.field, row);
                if (!v.isValid()) {
                    put("\\N", 2);
                } else {
                    QByteArray u = out.field->formatValue(v).toUtf8();
                    putEscaped(u.constData(), size_t(u.size()));
                }
                put(&sep, 1);
                continue;
            }
            const Column& c = *out.column;
            char* o = nullptr;
            if (c.isNull(row)) {
                o = room(3);
                *o++ = '\\';
                *o++ = 'N';
                *o++ = sep;
                done(o);
                continue;
            }
            switch (c.kind()) {
            case StorageKind::Int:
                o = room(kFixed);
                o = std::to_chars(o, o + 24, c.intAt(row)).ptr;
                break;
            case StorageKind::Float:
                o = FloatGeneral15To(room(kFixed), c.floatAt(row));
                break;
            case StorageKind::Bool:
                o = room(kFixed);
                *o++ = c.intAt(row) ? '1' : '0';
                break;
            case StorageKind::DateTime:
                // Milliseconds only when there are some: whole seconds keep the plain form.
                o = dtconv::IsoTo(room(kFixed), c.intAt(row), out.date, out.time, true, &out.day);
                break;
            case StorageKind::Text:
            case StorageKind::Bytes: {
                // Each value in the form of its own storage class (a blob among texts stays binary).
                std::string_view s = c.bytesAt(row, arena);
                if ((c.kind() == StorageKind::Text) == c.isOtherClass(row)) {
                    o = room(3 + 2 * s.size() + 1);
                    *o++ = '\\';
                    *o++ = '\\';
                    *o++ = 'x';
                    for (unsigned char b : s) {
                        *o++ = hex[b >> 4];
                        *o++ = hex[b & 15];
                    }
                } else {
                    putEscaped(s.data(), s.size());
                    o = room(1);
                }
                break;
            }
            }
            *o++ = sep;
            done(o);
        }
        if (fields.empty()) put("\n", 1);
    }
    flush();
}
