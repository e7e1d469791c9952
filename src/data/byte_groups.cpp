#include "byte_groups.h"

namespace {
inline uint64_t load(const char* p, size_t n) {
    uint64_t v = 0;
    std::memcpy(&v, p, n);
    return v;
}

inline uint64_t mix(uint64_t h) {
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    h ^= h >> 32;
    return h;
}

constexpr uint64_t kOffsetMask = (uint64_t(1) << 40) - 1;
} // namespace

// Eight bytes at a time; short texts (the usual case) take one or two multiplications.
uint64_t ByteGroups::hash(std::string_view s) {
    const char* p = s.data();
    size_t n = s.size();
    uint64_t h = 0x9e3779b97f4a7c15ull ^ (uint64_t(n) * 0xbf58476d1ce4e5b9ull);
    for (; n >= 8; p += 8, n -= 8)
        h = mix(h ^ load(p, 8)) * 0x94d049bb133111ebull;
    if (n) h = mix(h ^ load(p, n)) * 0x94d049bb133111ebull;
    return mix(h);
}

ByteGroups::ByteGroups(size_t expected) {
    size_t cap = 64;
    while (cap < expected * 2)
        cap *= 2;
    slots_.assign(cap, 0);
    mask_ = cap - 1;
    records_.reserve(expected);
}

uint32_t ByteGroups::add(std::string_view s, uint64_t h, bool& fresh) {
    const uint64_t tag = h >> kOffsetBits;
    for (uint64_t i = h & mask_;; i = (i + 1) & mask_) {
        const uint64_t slot = slots_[i];
        if (slot == 0) {
            const uint32_t g = uint32_t(records_.size());
            const uint64_t at = bytes_.size();
            const uint32_t n = uint32_t(s.size());
            bytes_.append(reinterpret_cast<const char*>(&n), 4);
            bytes_.append(reinterpret_cast<const char*>(&g), 4);
            bytes_.append(s.data(), s.size());
            records_.push_back(at);
            slots_[i] = (tag << kOffsetBits) | (at + 1);
            fresh = true;
            // At most half full: probes stay short.
            if (records_.size() * 2 > slots_.size()) grow();
            return g;
        }
        if ((slot >> kOffsetBits) == tag) {
            const uint64_t at = (slot & kOffsetMask) - 1;
            if (bytesAt(at) == s) {
                uint32_t g;
                std::memcpy(&g, bytes_.data() + at + 4, 4);
                fresh = false;
                return g;
            }
        }
    }
}

void ByteGroups::addBatch(const std::string_view* s, size_t n, uint32_t* groups, bool* fresh) {
    uint64_t h[kBatch];
    n = std::min(n, kBatch);
    for (size_t i = 0; i < n; ++i) {
        h[i] = hash(s[i]);
        __builtin_prefetch(&slots_[h[i] & mask_]);
    }
    // The copy a matching slot points to, while the other slots arrive.
    for (size_t i = 0; i < n; ++i) {
        const uint64_t slot = slots_[h[i] & mask_];
        if (slot && (slot >> kOffsetBits) == (h[i] >> kOffsetBits))
            __builtin_prefetch(bytes_.data() + (slot & kOffsetMask) - 1);
    }
    for (size_t i = 0; i < n; ++i)
        groups[i] = add(s[i], h[i], fresh[i]);
}

void ByteGroups::grow() {
    slots_.assign(slots_.size() * 2, 0);
    mask_ = slots_.size() - 1;
    for (const uint64_t at : records_) {
        const uint64_t h = hash(bytesAt(at));
        uint64_t i = h & mask_;
        while (slots_[i])
            i = (i + 1) & mask_;
        slots_[i] = ((h >> kOffsetBits) << kOffsetBits) | (at + 1);
    }
}
