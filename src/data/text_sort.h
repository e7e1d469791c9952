#pragma once
// Case-insensitive text order by the default locale's collation, for sorting a view.
#include "column_store.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;

// A run [from, to) of view positions whose values tie on the keys sorted so far.
struct TieRun {
    size_t from, to;
};

// True when the collator orders texts by their UTF-8 bytes (the C locale's collation): its sort keys
// can then be built by the sorter itself and compared a machine word at a time.
bool CollatesByBytes(const QCollator& coll);

// How texts of printable ASCII characters order under a collation that allows it: as the strings of the
// ranks of their characters, each contraction among them ("ch" in Czech) taken as one.
struct AsciiRanks {
    std::array<uint8_t, 256> rank{}; // of each character, upper-case letters as lower-case ones
    std::array<bool, 256> starts{};  // characters that begin a contraction
    std::vector<std::pair<std::string, uint8_t>> contractions; // lower-case, longest first
    // Writes the ranks of the units of s (no more bytes than s has); returns the end.
    char* write(char* out, std::string_view s) const;
    void append(std::string& out, std::string_view s) const;
};

// Stable sort of rows by a byte key of their case-folded texts: the folded UTF-8 itself (the order of
// a byte-order collator's keys), or after useCollator() the collation key the collator makes of the
// folded text. One key per row is made once per sort (in byte order, plain ASCII texts are keys as
// stored, their letters lowered on the fly; under a collation that ranks printable ASCII characters,
// texts of only such characters are keys as stored read through the ranks, or their ranks written out
// where the collation has contractions, and the few other texts are placed among them by comparing
// texts); the keys are sorted seven bytes at a time, each group that ties on them going on with the next
// seven.
class FoldedTextSort {
public:
    FoldedTextSort() = default;
    FoldedTextSort(const FoldedTextSort&) = delete;
    FoldedTextSort& operator=(const FoldedTextSort&) = delete;
    ~FoldedTextSort();

    // Keys by the collation of coll (a locale's, not byte order), built the way coll builds its own
    // sort keys so that they order alike. False (and byte order kept) when that collation cannot be opened.
    bool useCollator(const QCollator& coll);

    // Sorts rows [first, last) (no NULLs among them), equal keys in their given order; appends the runs
    // of two or more equal keys to ties (positions counted from base) when ties is not null.
    void sort(const Column& col, const TextArena& arena, bool desc, uint32_t* first, uint32_t* last,
              std::vector<TieRun>* ties, size_t base);

private:
    struct Item;
    // Orders items_ (one per row of rows_).
    void order(const Column& col, const TextArena& arena, bool desc, std::vector<TieRun>* ties, size_t base);
    // Sets the keys of items_[from, end) to the collation keys of their rows' texts.
    void keyByCollator(const Column& col, const TextArena& arena, size_t from);
    // Stable sort of items by their keys read through map (NULL-free, no rows of other kinds).
    void sortItems(Item* items, size_t n, const uint8_t* map, bool desc, std::vector<TieRun>* ties,
                   size_t base);
    // Puts the sorted items_[plain, end) (collation keys) among the sorted items_[0, plain) (printable
    // ASCII by their ranks) by comparing their texts with the collator.
    void mergeOthers(const Column& col, const TextArena& arena, size_t plain, bool desc,
                     std::vector<TieRun>* ties, size_t base);

    struct Item {
        uint64_t prefix; // seven key bytes from the group's depth and how many bytes are left (max 8)
        const char* key;
        uint32_t size;
        uint32_t pos; // index into the rows as given
    };
    std::string folded_;  // keys made for the rows (in byte order only those of non-ASCII texts)
    std::string folded2_; // collation keys a helper thread made
    UCollator* collator_ = nullptr;
    // Ranks of the printable ASCII characters under collator_, when texts of them order by their ranks.
    bool ranksAscii_ = false;
    AsciiRanks ascii_;
    const uint8_t* plainMap_ = nullptr; // how the keys of such texts are read in this sort
    std::string ranked_;                // their ranks written out (with contractions)
    std::vector<bool> plainPos_;        // by item position: whether the row's text is printable ASCII
    std::vector<Item> items_;
    std::vector<uint32_t> rows_;
};

// Ranks of the texts of a column under any collator: each distinct text gets its position among the
// distinct collation keys (texts with equal keys share one), so a sort compares integers.
class CollatorRanks {
public:
    // Ranks the texts of the given rows (NULLs are skipped); rank() is then valid for them.
    void build(const Column& col, const TextArena& arena, const QCollator& coll, const uint32_t* first,
               const uint32_t* last, uint32_t rowCount);
    int32_t rank(uint32_t row) const { return rank_[row]; }
    int32_t count() const { return count_; }

private:
    std::vector<int32_t> rank_; // by row id
    int32_t count_ = 0;
};
