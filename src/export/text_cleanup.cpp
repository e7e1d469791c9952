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

void TrimControls(std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && uchar(s[b]) <= ' ')
        ++b;
    while (e > b && uchar(s[e - 1]) <= ' ')
        --e;
    if (b || e != s.size()) s = s.substr(b, e - b);
}

void ReplaceLineBreaks(std::string& s, std::string_view with, std::string& scratch) {
    if (s.find('\r') == std::string::npos) return;
    scratch.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\r') {
            scratch += s[i];
            continue;
        }
        scratch.append(with);
        if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    }
    s.swap(scratch);
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

bool NeedsQuotes(std::string_view s, std::string_view separator, std::string_view quote) {
    if (quote.empty()) return false; // nothing to quote with
    return (!separator.empty() && s.find(separator) != std::string_view::npos) ||
           s.find(quote) != std::string_view::npos || s.find_first_of("\r\n") != std::string_view::npos;
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
