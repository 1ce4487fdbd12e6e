#pragma once
// Results of aggregates over large areas (a SUM of a whole column) shared by identical calls within
// one calculation: computed once, dropped as soon as a cell inside their areas is written.

#include <functional>
#include <vector>

#include "host/base/Variant.h"
#include "host/formula/Reference.h"

namespace host::sheet {

class Worksheet;

class SharedResults {
public:
    struct SheetArea {
        const Worksheet* sheet;
        formula::Area area;
        friend bool operator==(const SheetArea&, const SheetArea&) = default;
    };

    // The result kept for the function over the areas, else compute()'s, then kept.
    Variant get(const void* function, std::vector<SheetArea> areas, const std::function<Variant()>& compute);
    // Cells of the area were written: the results that read any of them are dropped.
    void written(const Worksheet& sheet, const formula::Area& area) {
        if (!entries_.empty()) dropReading(sheet, area);
    }
    void clear() { entries_.clear(); }

private:
    void dropReading(const Worksheet& sheet, const formula::Area& area);

    struct Entry {
        const void* function;
        std::vector<SheetArea> areas;
        Variant value;
    };
    std::vector<Entry> entries_;  // few: each written cell is checked against all of them
};

}  // namespace host::sheet
