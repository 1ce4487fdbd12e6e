#pragma once
// An index from cell keys to what a sheet stores for them elsewhere: open addressing in one array, so
// that finding a cell is usually one probe (a calculation finds cells millions of times). It is kept
// apart from FlatMap for speed: a slot is a key and a pointer (a null pointer marks a free slot), and
// the placement has no seed, as a store is filled in the order its cells are entered, never in a
// table's slot order. Measured as a FlatMap, recalculation was about 10% slower.

#include <cstdint>
#include <vector>

#include "host/sheet/Cell.h"

namespace host::sheet {

template <class T>
class CellIndex {
public:
    CellIndex() = default;
    CellIndex(const CellIndex&) = delete;
    CellIndex& operator=(const CellIndex&) = delete;
    CellIndex(CellIndex&&) noexcept = default;
    CellIndex& operator=(CellIndex&&) noexcept = default;

    T* find(CellKey key) const {
        if (slots_.empty()) return nullptr;
        for (std::size_t i = home(key);; i = (i + 1) & mask()) {
            const Slot& s = slots_[i];
            if (!s.cell) return nullptr;
            if (s.key == key) return s.cell;
        }
    }

    // The key must not be in the index yet.
    void insert(CellKey key, T* cell) {
        if ((size_ + 1) * 4 > slots_.size() * 3) grow();
        place(key, cell);
        ++size_;
    }

    void erase(CellKey key) {
        if (slots_.empty()) return;
        std::size_t i = home(key);
        for (;; i = (i + 1) & mask()) {
            if (!slots_[i].cell) return;
            if (slots_[i].key == key) break;
        }
        // Moves back the entries after the hole that would no longer be found past it.
        for (std::size_t j = (i + 1) & mask(); slots_[j].cell; j = (j + 1) & mask()) {
            const std::size_t h = home(slots_[j].key);
            const bool reachable = i <= j ? (h > i && h <= j) : (h > i || h <= j);
            if (reachable) continue;
            slots_[i] = slots_[j];
            i = j;
        }
        slots_[i] = Slot{};
        --size_;
    }

    // Makes room for `count` keys in all, so that filling the index up to them moves nothing.
    void reserve(std::size_t count) {
        std::size_t size = slots_.empty() ? 64 : slots_.size();
        while (count * 4 > size * 3) size *= 2;
        if (size > slots_.size()) rehash(size);
    }

    void clear() {
        slots_.clear();
        size_ = 0;
    }

private:
    struct Slot {
        CellKey key = 0;
        T* cell = nullptr;  // nullptr: a free slot
    };

    std::size_t mask() const { return slots_.size() - 1; }
    std::size_t home(CellKey key) const { return cellKeySlot(key, shift_); }

    void place(CellKey key, T* cell) {
        std::size_t i = home(key);
        while (slots_[i].cell) i = (i + 1) & mask();
        slots_[i] = {key, cell};
    }

    void grow() { rehash(slots_.empty() ? 64 : slots_.size() * 2); }

    void rehash(std::size_t size) {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(size, Slot{});
        shift_ = 64;
        for (std::size_t n = size; n > 1; n >>= 1) --shift_;
        for (const Slot& s : old)
            if (s.cell) place(s.key, s.cell);
    }

    std::vector<Slot> slots_;  // a power of two long, at most three quarters full
    std::size_t size_ = 0;
    int shift_ = 64;
};

}  // namespace host::sheet
