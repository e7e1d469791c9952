#include "text_sort.h"

#include <QScopeGuard>
#include <QString>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unordered_map>

namespace {
constexpr std::array<uint8_t, 256> kLower = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[size_t(i)] = uint8_t(i >= 'A' && i <= 'Z' ? i + 32 : i);
    return t;
}();
constexpr std::array<uint8_t, 256> kSame = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[size_t(i)] = uint8_t(i);
    return t;
}();

bool IsAscii(std::string_view s) {
    uint64_t any = 0;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        any |= w;
    }
    for (; i < s.size(); ++i)
        any |= static_cast<unsigned char>(s[i]);
    return (any & 0x8080808080808080u) == 0;
}

// Whether s holds only printable ASCII characters (no control characters, which collations ignore).
bool IsPrintableAscii(std::string_view s) {
    constexpr uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
    uint64_t bad = 0;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        const uint64_t del = w ^ (0x7f * kOnes);
        // Bytes with the high bit, below 0x20 (for ASCII bytes) or equal to 0x7f mark the word.
        bad |= w | ((w - 0x20 * kOnes) & ~w) | ((del - kOnes) & ~del);
    }
    for (; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c >= 0x7f) return false;
    }
    return (bad & kHigh) == 0;
}

// The key bytes [depth, depth + 7) mapped by map (0 past the end) and then how many bytes are left at depth,
// at most 8. Two keys equal before depth compare by this word as their bytes compare from depth on;
// equal words tell the keys apart only when fewer than 8 bytes were left (then the keys are equal).
uint64_t PrefixAt(const uint8_t* map, const char* key, size_t size, size_t depth) {
    const size_t left = size > depth ? size - depth : 0;
    const size_t n = std::min<size_t>(left, 7);
    const auto* p = reinterpret_cast<const unsigned char*>(key);
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | map[p[depth + i]];
    v <<= 8 * (7 - n);
    return (v << 8) | std::min<size_t>(left, 8);
}

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}
// The case-folded UTF-8 text s in UTF-16, into buf: plain ASCII lowered here, the rest folded by Qt.
void FoldInto(std::u16string& buf, std::string_view s) {
    if (IsAscii(s)) {
        buf.resize(s.size());
        for (size_t i = 0; i < s.size(); ++i)
            buf[i] = char16_t(kLower[static_cast<unsigned char>(s[i])]);
        return;
    }
    const QString folded = QString::fromUtf8(s.data(), qsizetype(s.size())).toCaseFolded();
    buf.assign(reinterpret_cast<const char16_t*>(folded.utf16()), size_t(folded.size()));
}

// Appends the collation key of the case-folded s (without its closing 0 byte); buf holds the folded text.
void AppendCollationKey(const UCollator* coll, std::u16string& buf, std::string& out, std::string_view s) {
    FoldInto(buf, s);
    const char16_t* text = buf.data();
    const size_t len = buf.size();
    // Most keys fit the buffer on the stack; out grows by what the key needs, not by a guess at it.
    uint8_t key[512];
    int32_t n = ucol_getSortKey(coll, text, int32_t(len), key, int32_t(sizeof key));
    if (size_t(n) <= sizeof key) {
        // The key ends in its only 0 byte, which orders nothing the end of the key does not.
        if (n > 0) out.append(reinterpret_cast<const char*>(key), size_t(n) - 1);
        return;
    }
    const size_t start = out.size();
    out.resize(start + size_t(n));
    n = ucol_getSortKey(coll, text, int32_t(len), reinterpret_cast<uint8_t*>(out.data() + start), n);
    out.resize(start + (n > 0 ? size_t(n) - 1 : 0));
}

// The number of collation elements coll gives the text (-1 when it cannot tell).
int ElementCount(const UCollator* coll, const std::u16string& text) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* e = ucol_openElements(coll, text.data(), int32_t(text.size()), &status);
    int count = 0;
    for (int32_t ce; U_SUCCESS(status) && (ce = ucol_next(e, &status)) != UCOL_NULLORDER;)
        if (ce != 0 && (ce & 0xc0) != 0xc0) ++count; // continuations are part of the element before
    if (e) ucol_closeElements(e);
    return U_SUCCESS(status) ? count : -1;
}

// Ranks of the printable ASCII characters under coll, and of the contractions among them ("ch" in
// Czech), when texts made only of those characters order as the strings of their units' ranks: each
// character or contraction is one collation element (no expansion, none ignorable) whose primary
// weight sets it apart from every unit with another key, digits are not read as numbers and
// punctuation counts. Such texts are then sorted without collation keys. False when the collation does
// not allow it.
bool RankAsciiCharacters(const UCollator* coll, AsciiRanks& out) {
    UErrorCode status = U_ZERO_ERROR;
    if (ucol_getAttribute(coll, UCOL_NUMERIC_COLLATION, &status) != UCOL_OFF ||
        ucol_getAttribute(coll, UCOL_ALTERNATE_HANDLING, &status) != UCOL_NON_IGNORABLE ||
        ucol_getAttribute(coll, UCOL_CASE_LEVEL, &status) != UCOL_OFF || U_FAILURE(status))
        return false;
    constexpr int kFirst = 0x20, kLast = 0x7e;
    // The units: every printable character, then the contractions made of them alone, lower-cased.
    std::vector<std::string> units;
    for (int c = kFirst; c <= kLast; ++c)
        units.emplace_back(1, char(c));
    const size_t characters = units.size();
    USet* contractions = uset_openEmpty();
    USet* expansions = uset_openEmpty();
    USet* ascii = uset_open(0, 0x7f);
    UCollator* primary = nullptr;
    const auto close = qScopeGuard([&] {
        uset_close(ascii);
        uset_close(contractions);
        uset_close(expansions);
        if (primary) ucol_close(primary);
    });
    ucol_getContractionsAndExpansions(coll, contractions, expansions, true, &status);
    if (U_FAILURE(status) || uset_containsSome(expansions, ascii)) return false;
    for (int32_t i = 0, n = uset_getItemCount(contractions); i < n; ++i) {
        UChar32 start = 0x110000, end = 0;
        UChar text[256];
        UErrorCode st = U_ZERO_ERROR;
        const int32_t len = uset_getItem(contractions, i, &start, &end, text, 256, &st);
        if (U_FAILURE(st) || (len == 0 && start < 0x80)) return false;
        // Contractions with other characters never meet such texts.
        if (len == 0 || !std::all_of(text, text + len, [](UChar u) { return u >= kFirst && u <= kLast; }))
            continue;
        std::string unit;
        for (int32_t k = 0; k < len; ++k)
            unit += char(kLower[uint8_t(text[k])]);
        if (std::find(units.begin(), units.end(), unit) == units.end()) units.push_back(unit);
    }
    if (units.size() > 200) return false;
    primary = ucol_clone(coll, &status);
    if (U_FAILURE(status)) return false;
    ucol_setAttribute(primary, UCOL_STRENGTH, UCOL_PRIMARY, &status);
    if (U_FAILURE(status)) return false;
    std::vector<std::string> keys(units.size()), primaries(units.size());
    std::u16string buf;
    for (size_t u = 0; u < units.size(); ++u) {
        AppendCollationKey(coll, buf, keys[u], units[u]);
        AppendCollationKey(primary, buf, primaries[u], units[u]);
        if (primaries[u].empty() || ElementCount(coll, std::u16string(units[u].begin(), units[u].end())) != 1)
            return false;
    }
    std::vector<size_t> order(units.size());
    for (size_t u = 0; u < order.size(); ++u)
        order[u] = u;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    // Units of equal primary weight sit together in this order: any two of them must be equal.
    std::vector<uint8_t> rankOf(units.size());
    int rank = 1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]] != keys[order[i - 1]]) {
            if (primaries[order[i]] == primaries[order[i - 1]]) return false;
            ++rank;
        }
        rankOf[order[i]] = uint8_t(rank);
    }
    out = AsciiRanks();
    for (size_t u = 0; u < characters; ++u)
        out.rank[uint8_t(units[u][0])] = rankOf[u];
    for (size_t u = characters; u < units.size(); ++u) {
        out.contractions.emplace_back(units[u], rankOf[u]);
        const auto first = uint8_t(units[u][0]);
        out.starts[first] = true;
        if (first >= 'a' && first <= 'z') out.starts[first - 32] = true;
    }
    std::sort(out.contractions.begin(), out.contractions.end(),
              [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    // A last check on texts of several units, against the collation's own keys: in the order of those
    // keys, the strings of ranks must rise alike.
    uint32_t seed = 12345;
    auto next = [&](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    std::vector<std::pair<std::string, std::string>> samples; // key, ranks
    for (int i = 0; i < 128; ++i) {
        std::string text;
        for (uint32_t len = 1 + next(8); len > 0; --len) {
            const bool contraction = units.size() > characters && next(3) == 0;
            const size_t u = contraction ? characters + next(uint32_t(units.size() - characters))
                                         : next(uint32_t(characters));
            text += units[u];
            if (next(4) == 0) text[text.size() - 1] = char(std::toupper(uint8_t(text.back())));
        }
        std::string key, ranks;
        AppendCollationKey(coll, buf, key, text);
        out.append(ranks, text);
        samples.emplace_back(std::move(key), std::move(ranks));
    }
    std::sort(samples.begin(), samples.end());
    for (size_t i = 1; i < samples.size(); ++i)
        if (Sign(samples[i - 1].first.compare(samples[i].first)) !=
            Sign(samples[i - 1].second.compare(samples[i].second)))
            return false;
    return true;
}

// Whether keys made here of the case-folded texts order pairs as coll's own keys do.
bool KeysAgree(const QCollator& coll, const UCollator* c) {
    static const char* const probes[][2] = {
        {"a", "B"},
        {"ab", "a"},
        {"a b", "a-b"},
        {"\xc3\xa9", "f"},
        {"a1", "a10"},
        {"\xc3\xa9", "e"},
        {"ch", "h"},
        {"e\xcc\x81", "\xc3\xa9"},
        {"\xc3\x9f", "ss"},
        {"x\xc2\xad", "x"},
        {"\xef\xbf\xbd", "\xf0\x9f\x98\x80"},
        {"-", " "},
    };
    std::string ka, kb;
    std::u16string buf;
    for (const auto& p : probes) {
        const QString a = QString::fromUtf8(p[0]), b = QString::fromUtf8(p[1]);
        ka.clear();
        kb.clear();
        AppendCollationKey(c, buf, ka, std::string_view(p[0]));
        AppendCollationKey(c, buf, kb, std::string_view(p[1]));
        if (Sign(coll.sortKey(a.toCaseFolded()).compare(coll.sortKey(b.toCaseFolded()))) !=
            Sign(ka.compare(kb)))
            return false;
    }
    return true;
}

// What the checks of a collation found.
struct CollationChecks {
    bool keysAgree = false;  // keys made here order as the QCollator's
    bool ranksAscii = false; // texts of printable ASCII order by the ranks in ascii
    AsciiRanks ascii;
};

// The checks take milliseconds and a view is sorted often (again after each edit with a sort on):
// each collation (locale and settings) is checked once.
CollationChecks ChecksOf(const QCollator& coll, const UCollator* c, const QByteArray& settings) {
    static std::mutex m;
    static std::map<QByteArray, CollationChecks> done;
    std::lock_guard lock(m);
    auto it = done.find(settings);
    if (it == done.end()) {
        CollationChecks checks;
        checks.keysAgree = KeysAgree(coll, c);
        if (checks.keysAgree) checks.ranksAscii = RankAsciiCharacters(c, checks.ascii);
        it = done.emplace(settings, std::move(checks)).first;
    }
    return it->second;
}

} // namespace

char* AsciiRanks::write(char* out, std::string_view s) const {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (starts[c]) {
            // The longest contraction here, as the collation takes it.
            const auto at = std::find_if(contractions.begin(), contractions.end(), [&](const auto& t) {
                if (t.first.size() > s.size() - i) return false;
                for (size_t k = 0; k < t.first.size(); ++k)
                    if (kLower[static_cast<unsigned char>(s[i + k])] != uint8_t(t.first[k])) return false;
                return true;
            });
            if (at != contractions.end()) {
                *out++ = char(at->second);
                i += at->first.size();
                continue;
            }
        }
        *out++ = char(rank[c]);
        ++i;
    }
    return out;
}

void AsciiRanks::append(std::string& out, std::string_view s) const {
    const size_t start = out.size();
    out.resize(start + s.size());
    out.resize(size_t(write(out.data() + start, s) - out.data()));
}

bool CollatesByBytes(const QCollator& coll) {
    if (coll.locale().language() != QLocale::C) return false;
    // Pairs whose byte order differs from any other plausible order: case, length, UTF-8 against
    // UTF-16 order, accented against plain letters.
    static const char* const probes[][2] = {
        {"a", "b"},     {"B", "a"},        {"ab", "a"},
        {"a b", "a-b"}, {"\xc3\xa9", "z"}, {"\xf0\x9f\x98\x80", "\xef\xbf\xbd"},
    };
    for (const auto& p : probes) {
        const QString a = QString::fromUtf8(p[0]), b = QString::fromUtf8(p[1]);
        if (Sign(coll.sortKey(a).compare(coll.sortKey(b))) != Sign(std::strcmp(p[0], p[1]))) return false;
    }
    return true;
}

FoldedTextSort::~FoldedTextSort() {
    if (collator_) ucol_close(collator_);
}

bool FoldedTextSort::useCollator(const QCollator& coll) {
    if (collator_) ucol_close(collator_);
    collator_ = nullptr;
    if (coll.locale().language() == QLocale::C) return false;
    // The locale name and attributes as QCollator opens its own collator for these settings.
    const QByteArray name = coll.locale().bcp47Name().replace(u'-', u'_').toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open(name.constData(), &status);
    if (U_FAILURE(status)) return false;
    auto set = [c](UColAttribute attr, UColAttributeValue value) {
        UErrorCode st = U_ZERO_ERROR;
        ucol_setAttribute(c, attr, value, &st);
    };
    set(UCOL_NORMALIZATION_MODE, UCOL_ON);
    set(UCOL_STRENGTH, coll.caseSensitivity() == Qt::CaseSensitive ? UCOL_DEFAULT_STRENGTH : UCOL_SECONDARY);
    set(UCOL_NUMERIC_COLLATION, coll.numericMode() ? UCOL_ON : UCOL_OFF);
    set(UCOL_ALTERNATE_HANDLING, coll.ignorePunctuation() ? UCOL_SHIFTED : UCOL_NON_IGNORABLE);
    collator_ = c;
    const QByteArray settings = name + '/' + QByteArray::number(int(coll.caseSensitivity())) + '/' +
                                QByteArray::number(int(coll.numericMode())) + '/' +
                                QByteArray::number(int(coll.ignorePunctuation()));
    const CollationChecks checks = ChecksOf(coll, collator_, settings);
    if (!checks.keysAgree) {
        // The collations differ: keep byte order and let the caller rank by coll.
        ucol_close(collator_);
        collator_ = nullptr;
        return false;
    }
    ranksAscii_ = checks.ranksAscii;
    ascii_ = checks.ascii;
    return true;
}

void FoldedTextSort::keyByCollator(const Column& col, const TextArena& arena, size_t from) {
    const size_t n = items_.size();
    std::vector<size_t> startOf(n);
    // Keys of items [lo, hi) into out, which may move while it grows: offsets first, pointers after.
    auto keyItems = [&](const UCollator* coll, std::string& out, size_t lo, size_t hi) {
        std::u16string buf;
        out.clear();
        // Keys are about as long as their texts: room for that spares most copies of a growing block.
        size_t bytes = 0;
        for (size_t i = lo; i < hi; ++i)
            bytes += col.bytesAt(rows_[items_[i].pos], arena).size();
        out.reserve(bytes + bytes / 4 + 8 * (hi - lo));
        for (size_t i = lo; i < hi; ++i) {
            startOf[i] = out.size();
            AppendCollationKey(coll, buf, out, col.bytesAt(rows_[items_[i].pos], arena));
            items_[i].size = uint32_t(out.size() - startOf[i]);
        }
    };
    // Making the keys is most of the work of a sort: in a large one a helper thread makes those of the
    // second half, with its own copy of the collator.
    size_t mid = n;
    UCollator* copy = nullptr;
    if (n - from >= 4096) {
        UErrorCode status = U_ZERO_ERROR;
        copy = ucol_clone(collator_, &status);
        if (U_FAILURE(status) && copy) {
            ucol_close(copy);
            copy = nullptr;
        }
    }
    if (copy) {
        mid = from + (n - from) / 2;
        try {
            std::jthread helper([&] { keyItems(copy, folded2_, mid, n); });
            keyItems(collator_, folded_, from, mid);
        } catch (const std::system_error&) { // no thread to be had
            keyItems(collator_, folded_, from, mid);
            keyItems(collator_, folded2_, mid, n);
        }
        ucol_close(copy);
    } else {
        keyItems(collator_, folded_, from, n);
    }
    for (size_t i = from; i < n; ++i)
        items_[i].key = (i < mid ? folded_ : folded2_).data() + startOf[i];
}

void FoldedTextSort::sortItems(Item* items, size_t n, const uint8_t* map, bool desc,
                               std::vector<TieRun>* ties, size_t base) {
    // Descending: the complement reverses the order of the words and keeps which of them are equal.
    const uint64_t flip = desc ? ~uint64_t(0) : 0;
    for (size_t i = 0; i < n; ++i)
        items[i].prefix = PrefixAt(map, items[i].key, items[i].size, 0) ^ flip;
    auto byPrefix = [](const Item& a, const Item& b) { return a.prefix < b.prefix; };
    auto byPos = [](const Item& a, const Item& b) { return a.pos < b.pos; };
    struct Span {
        size_t from, to, depth;
    };
    std::vector<Span> pending{{0, n, 0}};
    while (!pending.empty()) {
        const Span s = pending.back();
        pending.pop_back();
        std::sort(items + s.from, items + s.to, byPrefix);
        for (size_t i = s.from; i < s.to;) {
            size_t j = i + 1;
            while (j < s.to && items[j].prefix == items[i].prefix)
                ++j;
            if (j - i > 1) {
                if (((items[i].prefix ^ flip) & 0xff) < 8) {
                    // Equal keys: in their given order.
                    std::sort(items + i, items + j, byPos);
                    if (ties) ties->push_back({base + i, base + j});
                } else {
                    const size_t depth = s.depth + 7;
                    for (size_t k = i; k < j; ++k) {
                        // The keys are read in no particular order: ask for them ahead.
                        if (k + 16 < j) __builtin_prefetch(items[k + 16].key + depth);
                        items[k].prefix = PrefixAt(map, items[k].key, items[k].size, depth) ^ flip;
                    }
                    pending.push_back({i, j, depth});
                }
            }
            i = j;
        }
    }
}

void FoldedTextSort::mergeOthers(const Column& col, const TextArena& arena, size_t plain, bool desc,
                                 std::vector<TieRun>* ties, size_t base) {
    const size_t n = items_.size();
    // The case-folded UTF-16 text of an item, as its collation key is made.
    std::u16string bufA, bufB;
    auto foldedOf = [&](const Item& it, std::u16string& buf) {
        FoldInto(buf, col.bytesAt(rows_[it.pos], arena));
    };
    // Compares the text folded into bufB with an item's.
    auto compareWith = [&](const Item& a) {
        foldedOf(a, bufA);
        const int c =
            ucol_strcoll(collator_, bufB.data(), int32_t(bufB.size()), bufA.data(), int32_t(bufA.size()));
        return desc ? -c : c;
    };
    // Each other text goes before the first plain one it sorts before (among equal texts, the one given
    // first goes first); the others are in order, so each search starts where the last one ended.
    std::vector<Item> merged;
    merged.reserve(n);
    size_t lo = 0;
    for (size_t k = plain; k < n; ++k) {
        const Item& b = items_[k];
        foldedOf(b, bufB);
        auto goesAfter = [&](const Item& a) {
            const int c = compareWith(a);
            return c > 0 || (c == 0 && a.pos < b.pos);
        };
        // Steps of growing length from where the last search ended, then halving within the last step.
        size_t step = 1, from = lo;
        while (from + step <= plain && goesAfter(items_[from + step - 1])) {
            from += step;
            step *= 2;
        }
        const Item* at = std::partition_point(items_.data() + from,
                                              items_.data() + std::min(plain, from + step - 1), goesAfter);
        const size_t to = size_t(at - items_.data());
        merged.insert(merged.end(), items_.begin() + qsizetype(lo), items_.begin() + qsizetype(to));
        merged.push_back(b);
        lo = to;
    }
    merged.insert(merged.end(), items_.begin() + qsizetype(lo), items_.begin() + qsizetype(plain));
    items_.swap(merged);
    if (!ties) return;
    // Runs of equal texts, also across the two kinds (an ASCII text can equal a non-ASCII one).
    auto equal = [&](const Item& a, const Item& b) {
        const bool pa = a.pos < plainPos_.size() && plainPos_[a.pos],
                   pb = b.pos < plainPos_.size() && plainPos_[b.pos];
        if (pa && pb) {
            if (a.size != b.size) return false;
            for (uint32_t i = 0; i < a.size; ++i)
                if (plainMap_[uint8_t(a.key[i])] != plainMap_[uint8_t(b.key[i])]) return false;
            return true;
        }
        if (!pa && !pb) return a.size == b.size && std::memcmp(a.key, b.key, a.size) == 0;
        foldedOf(a, bufB);
        return compareWith(b) == 0;
    };
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        while (j < n && equal(items_[j - 1], items_[j]))
            ++j;
        if (j - i > 1) ties->push_back({base + i, base + j});
        i = j;
    }
}

void FoldedTextSort::sort(const Column& col, const TextArena& arena, bool desc, uint32_t* first,
                          uint32_t* last, std::vector<TieRun>* ties, size_t base) {
    const size_t n = size_t(last - first);
    if (n < 2) return;
    rows_.assign(first, last);
    items_.resize(n);
    folded_.clear();
    order(col, arena, desc, ties, base);
    for (size_t i = 0; i < n; ++i)
        first[i] = rows_[items_[i].pos];
}

void FoldedTextSort::order(const Column& col, const TextArena& arena, bool desc, std::vector<TieRun>* ties,
                           size_t base) {
    const size_t n = items_.size();
    if (collator_) {
        // Texts of printable ASCII alone are their own keys through the characters' ranks: they come
        // first, the others after, each in their given order.
        size_t plain = 0;
        if (ranksAscii_) {
            plainPos_.assign(n, false);
            for (size_t i = 0; i < n; ++i) {
                const std::string_view s = col.bytesAt(rows_[i], arena);
                if (IsPrintableAscii(s)) {
                    items_[plain++] = {0, s.data(), uint32_t(s.size()), uint32_t(i)};
                    plainPos_[i] = true;
                }
            }
            for (size_t i = 0, k = plain; i < n; ++i)
                if (!plainPos_[i]) items_[k++] = {0, nullptr, 0, uint32_t(i)};
        } else {
            for (size_t i = 0; i < n; ++i)
                items_[i] = {0, nullptr, 0, uint32_t(i)};
        }
        const size_t others = n - plain;
        // Few other texts are placed among the sorted plain ones by comparing texts, about log2(n)
        // comparisons each; many are cheaper to give collation keys like the others.
        const bool merge = plain > 0 && others > 0 && others * (std::bit_width(n) / 2 + 1) < n / 2;
        if (others == 0 || merge) {
            // The texts read through the character ranks, or (with contractions) the ranks written out.
            plainMap_ = ascii_.rank.data();
            if (!ascii_.contractions.empty()) {
                plainMap_ = kSame.data();
                size_t bytes = 0;
                for (size_t k = 0; k < plain; ++k)
                    bytes += items_[k].size;
                ranked_.resize(bytes); // ranks are no more than the characters
                char* out = ranked_.data();
                for (size_t k = 0; k < plain; ++k) {
                    char* end = ascii_.write(out, std::string_view(items_[k].key, items_[k].size));
                    items_[k] = {0, out, uint32_t(end - out), items_[k].pos};
                    out = end;
                }
            }
        }
        if (others == 0) {
            sortItems(items_.data(), n, plainMap_, desc, ties, base);
            return;
        }
        if (!merge) {
            for (size_t i = 0; i < n; ++i)
                items_[i] = {0, nullptr, 0, uint32_t(i)};
            keyByCollator(col, arena, 0);
            sortItems(items_.data(), n, kSame.data(), desc, ties, base);
            return;
        }
        keyByCollator(col, arena, plain);
        sortItems(items_.data(), plain, plainMap_, desc, nullptr, 0);
        sortItems(items_.data() + plain, others, kSame.data(), desc, nullptr, 0);
        mergeOthers(col, arena, plain, desc, ties, base);
        return;
    }
    // Keys of non-ASCII texts go to folded_, which may move while it grows: offsets first, pointers after.
    std::vector<std::pair<uint32_t, size_t>> foldedAt;
    for (size_t i = 0; i < n; ++i) {
        const std::string_view s = col.bytesAt(rows_[i], arena);
        if (IsAscii(s)) {
            items_[i] = {0, s.data(), uint32_t(s.size()), uint32_t(i)};
            continue;
        }
        const size_t start = folded_.size();
        AppendUtf8(folded_, QString::fromUtf8(s.data(), qsizetype(s.size())).toCaseFolded());
        foldedAt.emplace_back(uint32_t(i), start);
        items_[i] = {0, nullptr, uint32_t(folded_.size() - start), uint32_t(i)};
    }
    for (const auto& [i, start] : foldedAt)
        items_[i].key = folded_.data() + start;
    sortItems(items_.data(), n, kLower.data(), desc, ties, base);
}

void CollatorRanks::build(const Column& col, const TextArena& arena, const QCollator& coll,
                          const uint32_t* first, const uint32_t* last, uint32_t rowCount) {
    rank_.assign(rowCount, 0);
    // Distinct texts by exact bytes: each gets one collation key, however often it occurs.
    std::unordered_map<std::string_view, uint32_t> index;
    index.reserve(size_t(last - first) / 4 + 16);
    std::vector<std::string_view> distinct;
    std::vector<uint32_t> distinctOf(rowCount, 0);
    for (const uint32_t* r = first; r != last; ++r) {
        if (col.isNull(*r)) continue;
        auto [it, added] = index.try_emplace(col.bytesAt(*r, arena), uint32_t(distinct.size()));
        if (added) distinct.push_back(it->first);
        distinctOf[*r] = it->second;
    }
    std::vector<QCollatorSortKey> keys;
    keys.reserve(distinct.size());
    // Folding first keeps the order case-insensitive also where the collator ignores the setting.
    for (std::string_view s : distinct)
        keys.push_back(coll.sortKey(QString::fromUtf8(s.data(), qsizetype(s.size())).toCaseFolded()));
    std::vector<uint32_t> order(distinct.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    // Equal collation keys (e.g. "abc" and "ABC") share a rank.
    std::vector<int32_t> rankOf(distinct.size());
    int32_t next = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]].compare(keys[order[i - 1]]) != 0) ++next;
        rankOf[order[i]] = next;
    }
    for (const uint32_t* r = first; r != last; ++r)
        if (!col.isNull(*r)) rank_[*r] = rankOf[distinctOf[*r]];
    count_ = distinct.empty() ? 0 : next + 1;
}
