#pragma once
// Groups byte strings by their exact bytes: an open-addressing table over a compact copy of each
// distinct string. Grouping a column of a million texts then costs one probe per value and a few
// allocations in all, instead of a heap node per distinct value.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class ByteGroups {
public:
    explicit ByteGroups(size_t expected = 0);
    // The group of the bytes (numbered from 0 in order of first appearance); fresh tells whether the
    // call made it.
    uint32_t add(std::string_view s, bool& fresh) { return add(s, hash(s), fresh); }
    // Up to kBatch strings at once, the same as add for each in turn: the table's memory for all of
    // them is fetched ahead, so a table larger than the cache does not stall on every probe.
    static constexpr size_t kBatch = 32;
    void addBatch(const std::string_view* s, size_t n, uint32_t* groups, bool* fresh);
    size_t size() const { return records_.size(); }
    // The bytes of a group (valid until the next add).
    std::string_view bytes(uint32_t group) const { return bytesAt(records_[group]); }

private:
    // A copy is stored as its size (4 bytes) and its group (4 bytes) before its bytes; a slot holds
    // the hash's upper 24 bits and the copy's offset + 1 (0: empty).
    static constexpr int kOffsetBits = 40;
    static uint64_t hash(std::string_view s);
    uint32_t add(std::string_view s, uint64_t h, bool& fresh);
    std::string_view bytesAt(uint64_t offset) const {
        uint32_t n;
        std::memcpy(&n, bytes_.data() + offset, 4);
        return {bytes_.data() + offset + 8, n};
    }
    void grow();

    std::vector<uint64_t> slots_;
    std::vector<uint64_t> records_; // offset of each group's copy
    std::string bytes_;
    uint64_t mask_ = 0;
};
