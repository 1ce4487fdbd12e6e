#pragma once
// A hash map and a hash set kept in one array (open addressing, linear probing): no allocation per
// entry, so that maps of a hundred thousand formula cells fill and free quickly. Entries move when
// the map grows or loses an entry: pointers to values are good until the next change.
//
// Place(key, shift, seed) gives a key's home slot in a table of 2^(64 - shift) slots (at least 16), as
// cellKeySlot does: keys of neighbouring cells get neighbouring slots. Each map has its own seed:
// filled in another map's order (its slot order), a map with the same homes would meet its keys
// sorted by home and, while small, pile them into one run of slots.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace host::sheet {

template <class Key, class Value, class Place>
class FlatMap {
    using Slot = std::optional<std::pair<Key, Value>>;  // empty: a free slot

public:
    Value* find(const Key& key) {
        const std::size_t i = position(key);
        return i == kNone ? nullptr : &slots_[i]->second;
    }
    const Value* find(const Key& key) const { return const_cast<FlatMap*>(this)->find(key); }
    bool contains(const Key& key) const { return position(key) != kNone; }

    // The value of the key, a new default one when the key is not in the map.
    Value& operator[](const Key& key) {
        if (!slots_.empty())
            for (std::size_t i = home(key); slots_[i]; i = next(i))
                if (slots_[i]->first == key) return slots_[i]->second;
        if ((size_ + 1) * 4 > slots_.size() * 3) grow(slots_.empty() ? 16 : slots_.size() * 2);
        std::size_t i = home(key);
        while (slots_[i]) i = next(i);
        slots_[i].emplace(key, Value());
        ++size_;
        return slots_[i]->second;
    }

    void erase(const Key& key) {
        std::size_t i = position(key);
        if (i == kNone) return;
        // Moves back the entries after the hole that would no longer be found past it.
        for (std::size_t j = next(i); slots_[j]; j = next(j)) {
            const std::size_t h = home(slots_[j]->first);
            const bool reachable = i <= j ? (h > i && h <= j) : (h > i || h <= j);
            if (reachable) continue;
            slots_[i] = std::move(slots_[j]);
            i = j;
        }
        slots_[i].reset();
        --size_;
    }

    // Room for the given number of entries without growing.
    void reserve(std::size_t entries) {
        std::size_t size = 16;
        while (size * 3 < entries * 4) size *= 2;
        if (size > slots_.size()) grow(size);
    }
    void clear() {
        slots_.clear();
        size_ = 0;
    }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The slots an iteration walks, free ones included.
    std::size_t slotCount() const { return slots_.size(); }

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::pair<Key, Value>;
        using difference_type = std::ptrdiff_t;
        using reference = const value_type&;
        using pointer = const value_type*;

        const_iterator() = default;
        reference operator*() const { return **slot_; }
        pointer operator->() const { return &**slot_; }
        const_iterator& operator++() {
            ++slot_;
            skipFree();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.slot_ == b.slot_; }

    private:
        friend class FlatMap;
        const_iterator(const Slot* slot, const Slot* end) : slot_(slot), end_(end) { skipFree(); }
        void skipFree() {
            while (slot_ != end_ && !*slot_) ++slot_;
        }
        const Slot* slot_ = nullptr;
        const Slot* end_ = nullptr;
    };
    const_iterator begin() const { return {slots_.data(), slots_.data() + slots_.size()}; }
    const_iterator end() const { return {slots_.data() + slots_.size(), slots_.data() + slots_.size()}; }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::size_t home(const Key& key) const { return Place()(key, shift_, seed_); }
    static std::uint64_t nextSeed() {
        static std::atomic<std::uint64_t> maps{0};
        return (maps.fetch_add(1, std::memory_order_relaxed) + 1) * 0xD6E8FEB86659FD93ULL;
    }
    std::size_t next(std::size_t i) const { return (i + 1) & (slots_.size() - 1); }
    std::size_t position(const Key& key) const {
        if (slots_.empty()) return kNone;
        for (std::size_t i = home(key); slots_[i]; i = next(i))
            if (slots_[i]->first == key) return i;
        return kNone;
    }
    void grow(std::size_t size) {
        std::vector<Slot> old = std::move(slots_);
        slots_ = std::vector<Slot>(size);
        shift_ = 64;
        for (std::size_t n = size; n > 1; n >>= 1) --shift_;
        for (Slot& s : old) {
            if (!s) continue;
            std::size_t i = home(s->first);
            while (slots_[i]) i = next(i);
            slots_[i] = std::move(s);
        }
    }

    std::vector<Slot> slots_;  // a power of two long, at most three quarters full
    std::size_t size_ = 0;
    int shift_ = 64;
    std::uint64_t seed_ = nextSeed();
};

template <class Key, class Place>
class FlatSet {
    using Map = FlatMap<Key, bool, Place>;

public:
    // True when the key was not in the set yet.
    bool insert(const Key& key) {
        const std::size_t before = map_.size();
        map_[key] = true;
        return map_.size() != before;
    }
    void erase(const Key& key) { map_.erase(key); }
    bool contains(const Key& key) const { return map_.contains(key); }
    std::size_t size() const { return map_.size(); }
    bool empty() const { return map_.empty(); }
    void clear() { map_.clear(); }

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Key;
        using difference_type = std::ptrdiff_t;
        using reference = const Key&;
        using pointer = const Key*;

        const_iterator() = default;
        explicit const_iterator(typename Map::const_iterator at) : at_(at) {}
        reference operator*() const { return at_->first; }
        pointer operator->() const { return &at_->first; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++at_;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.at_ == b.at_; }

    private:
        typename Map::const_iterator at_;
    };
    const_iterator begin() const { return const_iterator(map_.begin()); }
    const_iterator end() const { return const_iterator(map_.end()); }

private:
    Map map_;
};

}  // namespace host::sheet
