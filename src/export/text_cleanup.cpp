#include "text_cleanup.h"
#include <algorithm>

size_t Utf8Length(std::string_view s) {
    size_t n = 0;
    for (char c : s)
        n += (uchar(c) & 0xC0) != 0x80;
    return n;
}

size_t Utf8Prefix(std::string_view s, size_t n) {
    size_t i = 0;
    for (; i < s.size(); ++i)
        if ((uchar(s[i]) & 0xC0) != 0x80 && n-- == 0) break;
    return i;
}

void TrimControls(std::string& s, size_t from) {
    size_t b = from, e = s.size();
    while (b < e && uchar(s[b]) <= ' ')
        ++b;
    while (e > b && uchar(s[e - 1]) <= ' ')
        --e;
    s.resize(e);
    s.erase(from, b - from);
}

void ReplaceLineBreaks(std::string& s, std::string_view with, std::string& scratch, size_t from) {
    if (s.find('\r', from) == std::string::npos) return;
    scratch.clear();
    for (size_t i = from; i < s.size(); ++i) {
        if (s[i] != '\r') {
            scratch += s[i];
            continue;
        }
        scratch.append(with);
        if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    }
    s.resize(from);
    s.append(scratch);
}

void AppendDoubling(std::string& out, std::string_view s, std::string_view quote) {
    if (quote.empty()) {
        out.append(s);
        return;
    }
    size_t from = 0;
    for (size_t at; (at = s.find(quote, from)) != std::string_view::npos; from = at + quote.size()) {
        out.append(s.substr(from, at + quote.size() - from));
        out.append(quote);
    }
    out.append(s.substr(from));
}

void DoubleInPlace(std::string& s, size_t from, std::string_view quote, std::string& scratch) {
    if (quote.empty()) return;
    const size_t first = s.find(quote, from);
    if (first == std::string::npos) return;
    scratch.assign(s, first, std::string::npos);
    s.resize(first);
    AppendDoubling(s, scratch, quote);
}

QuoteTest::QuoteTest(std::string_view separator, std::string_view quote)
    : separator_(separator), quote_(quote) {
    if (quote.empty()) return; // nothing to quote with
    starts_[uchar('\r')] = starts_[uchar('\n')] = true;
    if (!separator.empty()) starts_[uchar(separator[0])] = true;
    starts_[uchar(quote[0])] = true;
}

bool QuoteTest::operator()(std::string_view s) const {
    if (quote_.empty()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const uchar c = uchar(s[i]);
        if (!starts_[c]) continue;
        if (c == '\r' || c == '\n') return true;
        const std::string_view rest = s.substr(i);
        if ((!separator_.empty() && rest.starts_with(separator_)) || rest.starts_with(quote_)) return true;
    }
    return false;
}

namespace {
void Pad(std::string& out, std::string_view fill, size_t count) {
    for (size_t i = 0; i < count; ++i)
        out.append(fill);
}
} // namespace

void AppendFixedWidth(std::string& out, std::string_view s, int width, Qt::Alignment alignment,
                      std::string_view fill) {
    size_t w = size_t(std::max(width, 0));
    size_t len = Utf8Length(s);
    if (len > w) {
        out.append(s.substr(0, Utf8Prefix(s, w >= 2 ? w - 2 : 0)));
        out.append("..");
        return;
    }
    if (alignment & Qt::AlignRight) {
        Pad(out, fill, w - len);
        out.append(s);
    } else if (alignment & Qt::AlignHCenter) {
        size_t left = (w - len) / 2;
        Pad(out, fill, left);
        out.append(s);
        Pad(out, fill, w - len - left);
    } else {
        out.append(s);
        Pad(out, fill, w - len);
    }
}
