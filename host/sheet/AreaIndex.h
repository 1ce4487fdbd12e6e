#pragma once
// An index of the areas that formulas of one sheet refer to, answering "which areas contain this
// cell" and "which areas overlap this area" without scanning them all.
//
// Areas are grouped by the size class of their height and of their width (blocks of 8, 64, 512, ...
// rows or columns); within a class an area is filed under each block it touches, at most two by two.
// A query looks at one block per class in use.

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "host/formula/Reference.h"

namespace host::sheet {

template <class Value>
class AreaIndex {
public:
    void add(const formula::Area& area, const Value& value) {
        Class& c = classes_[classOf(area)];
        forEachBlock(classOf(area), area, [&](std::uint64_t block) { c.blocks[block].push_back({area, value}); });
        ++c.count;
    }

    void remove(const formula::Area& area, const Value& value) {
        const auto it = classes_.find(classOf(area));
        if (it == classes_.end()) return;
        bool removed = false;
        forEachBlock(it->first, area, [&](std::uint64_t block) {
            auto b = it->second.blocks.find(block);
            if (b == it->second.blocks.end()) return;
            auto& entries = b->second;
            for (auto e = entries.begin(); e != entries.end(); ++e)
                if (e->area == area && e->value == value) {
                    entries.erase(e);
                    removed = true;
                    break;
                }
            if (entries.empty()) it->second.blocks.erase(b);
        });
        if (removed && --it->second.count == 0) classes_.erase(it);
    }

    void clear() { classes_.clear(); }

    // Calls visit(value) for every area holding the cell.
    template <class Visit>
    void forEachContaining(int row, int column, const Visit& visit) const {
        for (const auto& [key, c] : classes_) {
            const auto b = c.blocks.find(blockKey(key, row, column));
            if (b == c.blocks.end()) continue;
            for (const Entry& e : b->second)
                if (e.area.contains(row, column)) visit(e.value);
        }
    }

    // Calls visit(value) once for every area overlapping the given one.
    template <class Visit>
    void forEachOverlapping(const formula::Area& area, const Visit& visit) const {
        for (const auto& [key, c] : classes_) {
            // An entry is reported from the block holding the top-left cell of its overlap only.
            auto report = [&](std::uint64_t block, const Entry& e) {
                const formula::Area& a = e.area;
                if (!a.overlaps(area)) return;
                const int row = std::max(a.top, area.top), column = std::max(a.left, area.left);
                if (blockKey(key, row, column) == block) visit(e.value);
            };
            if (blockCount(key, area) > static_cast<long long>(c.blocks.size())) {
                for (const auto& [block, entries] : c.blocks)
                    for (const Entry& e : entries) report(block, e);
            } else {
                forEachBlock(key, area, [&](std::uint64_t block) {
                    if (const auto b = c.blocks.find(block); b != c.blocks.end())
                        for (const Entry& e : b->second) report(block, e);
                });
            }
        }
    }

private:
    struct Entry {
        formula::Area area;
        Value value;
    };
    struct Class {
        std::unordered_map<std::uint64_t, std::vector<Entry>> blocks;
        std::size_t count = 0;
    };

    static constexpr int kShiftStep = 3;  // blocks grow eightfold from class to class

    // The size class of a length: the smallest shift with 2^shift >= length.
    static int shiftFor(int length) {
        int shift = kShiftStep;
        while ((1 << shift) < length) shift += kShiftStep;
        return shift;
    }
    // The class of an area: the row shift and the column shift.
    static std::uint32_t classOf(const formula::Area& a) {
        return static_cast<std::uint32_t>(shiftFor(a.rows()) << 8 | shiftFor(a.columns()));
    }
    static int rowShift(std::uint32_t key) { return static_cast<int>(key >> 8); }
    static int columnShift(std::uint32_t key) { return static_cast<int>(key & 0xFF); }
    static std::uint64_t blockKey(std::uint32_t key, int row, int column) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(row >> rowShift(key))) << 32 |
               static_cast<std::uint32_t>(column >> columnShift(key));
    }
    static long long blockCount(std::uint32_t key, const formula::Area& a) {
        const long long rows = (a.bottom >> rowShift(key)) - (a.top >> rowShift(key)) + 1;
        const long long columns = (a.right >> columnShift(key)) - (a.left >> columnShift(key)) + 1;
        return rows * columns;
    }
    template <class F>
    static void forEachBlock(std::uint32_t key, const formula::Area& a, const F& f) {
        for (int r = a.top >> rowShift(key); r <= a.bottom >> rowShift(key); ++r)
            for (int c = a.left >> columnShift(key); c <= a.right >> columnShift(key); ++c)
                f(static_cast<std::uint64_t>(static_cast<std::uint32_t>(r)) << 32 | static_cast<std::uint32_t>(c));
    }

    std::unordered_map<std::uint32_t, Class> classes_;
};

}  // namespace host::sheet
