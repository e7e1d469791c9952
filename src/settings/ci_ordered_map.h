#pragma once
// An insertion-ordered map keyed by text compared without regard to letter case, with hashed look-up.
// Removal leaves a hole that is compacted once holes outnumber live entries, so mass deletes stay linear.
#include <QString>
#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

// Hash and equality that agree with QString::compare(..., Qt::CaseInsensitive): both fold code points.
struct CiHash {
    size_t operator()(const QString& s) const noexcept;
};
struct CiEqual {
    bool operator()(const QString& a, const QString& b) const noexcept {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
};

template <class V> class CiOrderedMap {
public:
    struct Item {
        QString key; // as first written
        V value;
        bool alive = true;
    };

    V* find(const QString& key) {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &items_[it->second].value;
    }
    const V* find(const QString& key) const { return const_cast<CiOrderedMap*>(this)->find(key); }
    bool contains(const QString& key) const { return index_.count(key) != 0; }

    // The value under key; a missing key is appended with a default value.
    V& obtain(const QString& key) {
        auto [it, inserted] = index_.try_emplace(key, items_.size());
        if (inserted) items_.push_back(Item{key, V{}, true});
        return items_[it->second].value;
    }

    bool remove(const QString& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return false;
        Item& item = items_[it->second];
        item.alive = false;
        item.value = V{};
        index_.erase(it);
        if (++holes_ > 16 && holes_ > index_.size()) compact();
        return true;
    }

    void clear() {
        items_.clear();
        index_.clear();
        holes_ = 0;
    }
    size_t size() const { return index_.size(); }
    bool empty() const { return index_.empty(); }

    // Calls f(key, value) for every live entry in order.
    template <class F> void forEach(F&& f) const {
        for (const Item& item : items_)
            if (item.alive) f(item.key, item.value);
    }
    template <class F> void forEach(F&& f) {
        for (Item& item : items_)
            if (item.alive) f(item.key, item.value);
    }

private:
    void compact() {
        std::vector<Item> live;
        live.reserve(index_.size());
        for (Item& item : items_)
            if (item.alive) live.push_back(std::move(item));
        items_ = std::move(live);
        for (size_t i = 0; i < items_.size(); ++i)
            index_[items_[i].key] = i;
        holes_ = 0;
    }

    std::vector<Item> items_;
    std::unordered_map<QString, size_t, CiHash, CiEqual> index_;
    size_t holes_ = 0;
};
