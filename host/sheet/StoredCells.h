#pragma once
// Visiting the cells a sheet stores inside an area, without walking the empty ones.

#include "host/formula/Reference.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

// Calls f(row, column, cell) for every stored cell inside the area, walking whichever is smaller: the
// area's cells or the sheet's stored cells.
template <class F>
void forEachStoredCell(const Worksheet& sheet, const formula::Area& area, F f) {
    if (area.cellCount() <= static_cast<long long>(sheet.allCells().size())) {
        for (int r = area.top; r <= area.bottom; ++r)
            for (int c = area.left; c <= area.right; ++c)
                if (const Cell* cell = sheet.findCell(r, c)) f(r, c, *cell);
        return;
    }
    for (const auto& [key, cell] : sheet.allCells())
        if (area.contains(keyRow(key), keyColumn(key))) f(keyRow(key), keyColumn(key), cell);
}

}  // namespace host::sheet
