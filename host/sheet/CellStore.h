#pragma once
// The cells a sheet stores, by key. They are kept in blocks of many cells, so that a sheet of many
// cells costs a few large allocations (quick to fill and to free) and neighbouring cells entered
// together lie together; an index finds a cell by its key. A cell keeps its place until it is erased;
// iteration visits the cells in the order of their places.

#include <array>
#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "host/sheet/Cell.h"
#include "host/sheet/CellIndex.h"

namespace host::sheet {

class CellStore {
public:
    using Entry = std::pair<const CellKey, Cell>;

private:
    struct Slot {
        std::optional<Entry> entry;  // empty: a free place
    };
    static constexpr std::size_t kBlockSize = 64;  // cells; a small sheet takes one small block
    using Block = std::array<Slot, kBlockSize>;

public:
    CellStore() = default;
    CellStore(const CellStore&) = delete;
    CellStore& operator=(const CellStore&) = delete;
    CellStore(CellStore&&) noexcept = default;
    CellStore& operator=(CellStore&&) noexcept = default;

    Cell* find(CellKey key) const {
        Slot* slot = index_.find(key);
        return slot ? &slot->entry->second : nullptr;
    }
    // The cell of a key that is stored; raises std::out_of_range for another.
    const Cell& at(CellKey key) const {
        if (const Cell* cell = find(key)) return *cell;
        throw std::out_of_range("no cell stored under the key");
    }
    // Stores a blank cell under a key that is not stored yet.
    Cell& add(CellKey key) {
        Slot* slot = freeSlot();
        slot->entry.emplace(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple());
        index_.insert(key, slot);
        ++size_;
        return slot->entry->second;
    }
    void erase(CellKey key) {
        Slot* slot = index_.find(key);
        if (!slot) return;
        index_.erase(key);
        slot->entry.reset();
        free_.push_back(slot);
        --size_;
    }

    // Makes room for `count` cells in all.
    void reserve(std::size_t count) {
        index_.reserve(count);
        blocks_.reserve(count / kBlockSize + 1);
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    template <bool IsConst>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using reference = std::conditional_t<IsConst, const Entry&, Entry&>;
        using pointer = std::conditional_t<IsConst, const Entry*, Entry*>;

        Iterator() = default;
        reference operator*() const { return *slot()->entry; }
        pointer operator->() const { return &*slot()->entry; }
        Iterator& operator++() {
            ++position_;
            skipFree();
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.position_ == b.position_; }

    private:
        friend class CellStore;
        Iterator(const CellStore* store, std::size_t position) : store_(store), position_(position) { skipFree(); }
        Slot* slot() const { return &(*store_->blocks_[position_ / kBlockSize])[position_ % kBlockSize]; }
        void skipFree() {
            while (position_ < store_->used_ && !slot()->entry) ++position_;
        }
        const CellStore* store_ = nullptr;
        std::size_t position_ = 0;
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, used_}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, used_}; }

private:
    Slot* freeSlot() {
        if (!free_.empty()) {
            Slot* slot = free_.back();
            free_.pop_back();
            return slot;
        }
        if (used_ == blocks_.size() * kBlockSize) blocks_.push_back(std::make_unique<Block>());
        const std::size_t position = used_++;
        return &(*blocks_[position / kBlockSize])[position % kBlockSize];
    }

    std::vector<std::unique_ptr<Block>> blocks_;
    std::size_t used_ = 0;     // places taken so far, free or not
    std::vector<Slot*> free_;  // places freed by erasing, taken again first
    std::size_t size_ = 0;
    CellIndex<Slot> index_;
};

}  // namespace host::sheet
