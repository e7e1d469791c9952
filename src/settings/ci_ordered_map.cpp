#include "ci_ordered_map.h"

#include <QChar>

size_t CiHash::operator()(const QString& s) const noexcept {
    // FNV-1a over case-folded code points.
    size_t h = 1469598103934665603ull;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && s[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), s[++i].unicode());
        h = (h ^ QChar::toCaseFolded(c)) * 1099511628211ull;
    }
    return h;
}
