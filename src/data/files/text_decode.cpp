#include "text_decode.h"

#include "exceptions.h"

#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {
DecodedText fromUtf16(const char* bytes, size_t size, QStringDecoder::Encoding enc, const QString& name) {
    QStringDecoder dec(enc, QStringDecoder::Flag::Stateless);
    QString text = dec.decode(QByteArrayView(bytes, qsizetype(size)));
    DecodedText out;
    out.owned = text.toUtf8();
    out.data = out.owned.constData();
    out.size = size_t(out.owned.size());
    out.encoding = name;
    return out;
}

DecodedText fromIconv(const char* bytes, size_t size, const QString& charset) {
    iconv_t cd = iconv_open("UTF-8", charset.toLatin1().constData());
    if (cd == iconv_t(-1)) throw EDatabaseError(QStringLiteral("Unknown character set \"%1\"").arg(charset));
    DecodedText out;
    out.owned.resize(qsizetype(size * 2 + 16));
    char* in = const_cast<char*>(bytes);
    size_t inLeft = size, done = 0;
    while (inLeft > 0) {
        char* dst = out.owned.data() + done;
        size_t outLeft = size_t(out.owned.size()) - done;
        size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
        done = size_t(dst - out.owned.data());
        if (r != size_t(-1)) break;
        if (errno == E2BIG) {
            out.owned.resize(out.owned.size() * 2);
            continue;
        }
        size_t at = size_t(in - bytes);
        iconv_close(cd);
        throw EDatabaseError(QStringLiteral("the bytes at offset %1 are not text in the character set %2")
                                 .arg(at)
                                 .arg(charset));
    }
    iconv_close(cd);
    out.owned.resize(qsizetype(done));
    out.data = out.owned.constData();
    out.size = done;
    out.encoding = charset;
    return out;
}
} // namespace

bool IsValidUtf8(const char* bytes, size_t size, const std::function<void(const char*)>& passed) {
    constexpr size_t kPiece = size_t(4) << 20;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const auto* end = p + size;
    while (p < end) {
        const auto* stop = passed ? p + std::min(size_t(end - p), kPiece) : end;
        while (p < stop) {
            // Skip ASCII eight bytes at a time.
            while (stop - p >= 8) {
                uint64_t w;
                std::memcpy(&w, p, 8);
                if (w & 0x8080808080808080ull) break;
                p += 8;
            }
            if (p >= stop) break;
            unsigned char c = *p;
            if (c < 0x80) {
                ++p;
                continue;
            }
            int n;
            uint32_t cp;
            if (c >= 0xC2 && c <= 0xDF) {
                n = 1;
                cp = c & 0x1F;
            } else if (c >= 0xE0 && c <= 0xEF) {
                n = 2;
                cp = c & 0x0F;
            } else if (c >= 0xF0 && c <= 0xF4) {
                n = 3;
                cp = c & 0x07;
            } else {
                return false;
            }
            if (end - p <= n) return false;
            for (int i = 1; i <= n; ++i) {
                if ((p[i] & 0xC0) != 0x80) return false;
                cp = (cp << 6) | (p[i] & 0x3F);
            }
            if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
                return false;
            p += n + 1;
        }
        if (passed) passed(reinterpret_cast<const char*>(p));
    }
    return true;
}

DecodedText DecodeText(const char* bytes, size_t size, const QString& charset,
                       const std::function<void(const char*)>& passed) {
    auto starts = [&](const char* mark, size_t n) { return size >= n && std::memcmp(bytes, mark, n) == 0; };
    if (starts("\xEF\xBB\xBF", 3)) return {QByteArray(), bytes + 3, size - 3, QStringLiteral("UTF-8")};
    if (starts("\xFF\xFE", 2)) return fromUtf16(bytes + 2, size - 2, QStringDecoder::Utf16LE, "UTF-16LE");
    if (starts("\xFE\xFF", 2)) return fromUtf16(bytes + 2, size - 2, QStringDecoder::Utf16BE, "UTF-16BE");
    QString cs = charset.trimmed();
    if (cs == "65001" || cs.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0 ||
        cs.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0) {
        if (!IsValidUtf8(bytes, size, passed))
            throw EDatabaseError(QStringLiteral("the text is not valid UTF-8"));
        return {QByteArray(), bytes, size, QStringLiteral("UTF-8")};
    }
    if (cs.compare(QLatin1String("Unicode"), Qt::CaseInsensitive) == 0 || cs == "1200" ||
        cs.compare(QLatin1String("UTF-16"), Qt::CaseInsensitive) == 0 ||
        cs.compare(QLatin1String("UTF-16LE"), Qt::CaseInsensitive) == 0)
        return fromUtf16(bytes, size, QStringDecoder::Utf16LE, "UTF-16LE");
    if (cs.isEmpty() || cs.compare(QLatin1String("ANSI"), Qt::CaseInsensitive) == 0) {
        if (IsValidUtf8(bytes, size, passed)) return {QByteArray(), bytes, size, QStringLiteral("UTF-8")};
        try {
            return fromIconv(bytes, size, QStringLiteral("WINDOWS-1252"));
        } catch (const EDatabaseError&) {
            // The five bytes windows-1252 leaves undefined: every byte is a character in Latin-1.
            return fromIconv(bytes, size, QStringLiteral("ISO-8859-1"));
        }
    }
    if (cs.compare(QLatin1String("OEM"), Qt::CaseInsensitive) == 0) return fromIconv(bytes, size, "CP437");
    bool numeric = false;
    int page = cs.toInt(&numeric);
    return fromIconv(bytes, size, numeric ? QStringLiteral("CP%1").arg(page) : cs);
}
