#include "text_encoding.h"

#include "exceptions.h"

#include <QStringDecoder>

namespace {
// Valid UTF-8 (no overlong forms, surrogates or code points beyond U+10FFFF).
bool IsUtf8(std::string_view s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const int more = c >= 0xC2 && c <= 0xDF   ? 1
                         : c >= 0xE0 && c <= 0xEF ? 2
                         : c >= 0xF0 && c <= 0xF4 ? 3
                                                  : -1;
        if (more < 0 || n - i <= size_t(more)) return false;
        const unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
        // The second byte's range excludes overlong forms, surrogates and code points past U+10FFFF.
        const unsigned char lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        const unsigned char hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        if (c1 < lo || c1 > hi) return false;
        for (int k = 2; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + size_t(k)]) & 0xC0) != 0x80) return false;
        i += size_t(more) + 1;
    }
    return true;
}

// Control characters other than tab, CR and LF make a blob binary (text files never hold them).
bool HasControls(std::string_view s) {
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) return true;
    }
    return false;
}

void AppendHex(std::string_view bytes, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "0x";
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
}
} // namespace

ExportEncoding::ExportEncoding(Kind kind, const QString& name) : kind_(kind), name_(name) {}

ExportEncoding::ExportEncoding(const QString& name) {
    const QString given =
        name.trimmed().isEmpty() ? QString::fromLatin1(SystemCodePageName()) : name.trimmed();
    QString n = given.toUpper();
    if (n.isEmpty() || n == "UTF-8" || n == "UTF8") {
        kind_ = Kind::Utf8;
        name_ = QStringLiteral("UTF-8");
    } else if (n == "UTF-16" || n == "UTF-16LE" || n == "UNICODE") {
        kind_ = Kind::Utf16LE;
        name_ = QStringLiteral("UTF-16LE");
    } else if (n == "UTF-16BE") {
        kind_ = Kind::Utf16BE;
        name_ = n;
    } else {
        kind_ = Kind::Iconv;
        name_ = given;
        try {
            codec_ = std::make_unique<TextCodec>(name_.toLatin1(), TextCodec::Mode::Strict);
        } catch (const Exception&) {
            throw Exception(QStringLiteral("Unknown encoding \"%1\".").arg(name_));
        }
    }
}

ExportEncoding::~ExportEncoding() = default;
ExportEncoding::ExportEncoding(ExportEncoding&&) noexcept = default;
ExportEncoding& ExportEncoding::operator=(ExportEncoding&&) noexcept = default;

std::unique_ptr<ExportEncoding> ExportEncoding::FromBom(const QByteArray& data, int& bomSize) {
    const QByteArray name = BomEncoding(data, bomSize);
    if (name.isEmpty()) return nullptr;
    const Kind kind = name == "UTF-8" ? Kind::Utf8Bom : name == "UTF-16LE" ? Kind::Utf16LE : Kind::Utf16BE;
    return std::unique_ptr<ExportEncoding>(new ExportEncoding(kind, QString::fromLatin1(name)));
}

QByteArray ExportEncoding::bom() const {
    return kind_ == Kind::Utf8 || kind_ == Kind::Iconv ? QByteArray() : BomOf(name_.toLatin1());
}

void ExportEncoding::encode(std::string_view utf8, std::string& out) const {
    switch (kind_) {
    case Kind::Utf8:
    case Kind::Utf8Bom:
        out.append(utf8);
        return;
    case Kind::Utf16LE:
    case Kind::Utf16BE: {
        QString s = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        size_t at = out.size();
        out.resize(at + size_t(s.size()) * 2);
        char* p = out.data() + at;
        bool le = kind_ == Kind::Utf16LE;
        for (QChar c : s) {
            char16_t u = c.unicode();
            *p++ = char(le ? u & 0xff : u >> 8);
            *p++ = char(le ? u >> 8 : u & 0xff);
        }
        return;
    }
    case Kind::Iconv:
        break;
    }
    codec_->encode(utf8, out);
}

void ExportEncoding::validate(const QByteArray& data) const {
    auto bad = [&](qint64 offset) {
        return Exception(QStringLiteral("The text at byte %1 is not valid %2.").arg(offset).arg(name_));
    };
    switch (kind_) {
    case Kind::Utf8:
    case Kind::Utf8Bom: {
        QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString s = dec.decode(data);
        if (dec.hasError()) throw bad(s.left(s.indexOf(QChar::ReplacementCharacter)).toUtf8().size());
        return;
    }
    case Kind::Utf16LE:
    case Kind::Utf16BE:
        if (data.size() % 2) throw bad(data.size() - 1);
        return;
    case Kind::Iconv:
        break;
    }
    const size_t done = codec_->validLength(std::string_view(data.constData(), size_t(data.size())));
    if (done < size_t(data.size())) throw bad(qint64(done));
}

void ExportEncoding::appendBlob(std::string_view bytes, std::string& utf8) const {
    if (kind_ != Kind::Iconv) {
        if (IsUtf8(bytes) && !HasControls(bytes))
            utf8.append(bytes);
        else
            AppendHex(bytes, utf8);
        return;
    }
    // The code page's text, as UTF-8 for the line (written back as the same bytes).
    const size_t at = utf8.size();
    if (codec_->decode(bytes, utf8) < bytes.size() || HasControls(std::string_view(utf8).substr(at))) {
        utf8.resize(at);
        AppendHex(bytes, utf8);
    }
}
