#include "sheet_xml_scanner.h"

#include <cstring>

namespace {
void appendUtf8(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

const char* find(const char* p, const char* end, const char* what) {
    size_t n = std::strlen(what);
    for (; p + n <= end; ++p)
        if (std::memcmp(p, what, n) == 0) return p;
    return nullptr;
}
} // namespace

void AppendXmlText(std::string_view raw, std::string& out) {
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c != '&') {
            out += c;
            continue;
        }
        size_t semi = raw.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += c;
            continue;
        }
        std::string_view e = raw.substr(i + 1, semi - i - 1);
        if (e == "lt")
            out += '<';
        else if (e == "gt")
            out += '>';
        else if (e == "amp")
            out += '&';
        else if (e == "quot")
            out += '"';
        else if (e == "apos")
            out += '\'';
        else if (e.size() > 1 && e[0] == '#') {
            bool hex = e[1] == 'x' || e[1] == 'X';
            uint32_t cp = 0;
            for (size_t k = hex ? 2 : 1; k < e.size(); ++k) {
                char d = e[k];
                int v = d >= '0' && d <= '9'                            ? d - '0'
                        : hex && (d | 0x20) >= 'a' && (d | 0x20) <= 'f' ? (d | 0x20) - 'a' + 10
                                                                        : -1;
                if (v < 0 || cp > 0x10FFFF) {
                    cp = 0xFFFD;
                    break;
                }
                cp = cp * (hex ? 16 : 10) + uint32_t(v);
            }
            appendUtf8(cp > 0x10FFFF ? 0xFFFD : cp, out);
        } else {
            out.append(raw.substr(i, semi - i + 1)); // an entity XML does not define stays as written
        }
        i = semi;
    }
}

bool SheetXmlScanner::nextTag(Tag& t) {
    for (;;) {
        const char* lt = static_cast<const char*>(std::memchr(p_, '<', size_t(end_ - p_)));
        if (!lt) {
            p_ = end_;
            return false;
        }
        p_ = lt + 1;
        if (p_ < end_ && (*p_ == '!' || *p_ == '?')) {
            const char* close = *p_ == '?'                                                ? "?>"
                                : (end_ - p_ >= 3 && std::memcmp(p_, "!--", 3) == 0)      ? "-->"
                                : (end_ - p_ >= 8 && std::memcmp(p_, "![CDATA[", 8) == 0) ? "]]>"
                                                                                          : ">";
            const char* e = find(p_, end_, close);
            if (!e) {
                damaged_ = true;
                p_ = end_;
                return false;
            }
            p_ = e + std::strlen(close);
            continue;
        }
        t.close = p_ < end_ && *p_ == '/';
        if (t.close) ++p_;
        const char* name = p_;
        while (p_ < end_ && *p_ != '>' && *p_ != '/' && *p_ != ' ' && *p_ != '\t' && *p_ != '\n' &&
               *p_ != '\r')
            ++p_;
        std::string_view full(name, size_t(p_ - name));
        size_t colon = full.find(':');
        t.local = colon == std::string_view::npos ? full : full.substr(colon + 1);
        const char* attrs = p_;
        char quote = 0;
        while (p_ < end_ && (quote || *p_ != '>')) {
            if (quote) {
                if (*p_ == quote) quote = 0;
            } else if (*p_ == '"' || *p_ == '\'') {
                quote = *p_;
            }
            ++p_;
        }
        if (p_ >= end_) {
            damaged_ = true;
            return false;
        }
        t.selfClose = p_ > attrs && p_[-1] == '/';
        t.attrs = std::string_view(attrs, size_t(p_ - attrs - (t.selfClose ? 1 : 0)));
        ++p_; // '>'
        return true;
    }
}

void SheetXmlScanner::text(std::string& out) {
    for (;;) {
        const char* lt = static_cast<const char*>(std::memchr(p_, '<', size_t(end_ - p_)));
        const char* stop = lt ? lt : end_;
        AppendXmlText(std::string_view(p_, size_t(stop - p_)), out);
        p_ = stop;
        if (lt && end_ - lt >= 9 && std::memcmp(lt, "<![CDATA[", 9) == 0) {
            const char* e = find(lt + 9, end_, "]]>");
            if (!e) {
                damaged_ = true;
                p_ = end_;
                return;
            }
            out.append(lt + 9, size_t(e - lt - 9));
            p_ = e + 3;
            continue;
        }
        return;
    }
}

std::string_view SheetXmlScanner::attr(std::string_view a, std::string_view name) {
    size_t i = 0;
    while (i < a.size()) {
        while (i < a.size() && (a[i] == ' ' || a[i] == '\t' || a[i] == '\n' || a[i] == '\r'))
            ++i;
        size_t n = i;
        while (i < a.size() && a[i] != '=' && a[i] != ' ')
            ++i;
        std::string_view key = a.substr(n, i - n);
        while (i < a.size() && (a[i] == ' ' || a[i] == '='))
            ++i;
        if (i >= a.size() || (a[i] != '"' && a[i] != '\'')) return {};
        char q = a[i++];
        size_t v = i;
        while (i < a.size() && a[i] != q)
            ++i;
        if (key == name) return a.substr(v, i - v);
        ++i;
    }
    return {};
}
