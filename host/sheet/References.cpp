#include "host/sheet/References.h"

#include <algorithm>
#include <array>
#include <vector>

#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

WorksheetPtr resolveSheet(Application& application, const Worksheet& from, const formula::ReferenceTarget& target) {
    WorkbookPtr book = target.workbook.empty() ? from.parent() : application.workbooks().find(target.workbook);
    if (!book) return nullptr;
    if (target.sheet.empty()) {
        if (target.workbook.empty()) return std::const_pointer_cast<Worksheet>(from.shared_from_this());
        return book->sheetCount() > 0 ? book->sheet(1) : nullptr;
    }
    return book->findSheet(target.sheet);
}

bool namesClosedWorkbook(Application& application, const formula::ReferenceTarget& target) {
    return !target.workbook.empty() && !application.workbooks().find(target.workbook);
}

Variant value2Of(const Cell& cell) { return isDateOrCurrency(cell.value) ? Variant(cell.value.toDouble()) : cell.value; }

namespace {

Variant cellValue(const Cell& cell, bool asValue2) {
    if (asValue2 && isDateOrCurrency(cell.value)) return cell.value.toDouble();
    return cell.value;
}

// Hands a visitor the cells' Value2 a run at a time, without copying the values that need no
// conversion.
class ValueRuns {
public:
    explicit ValueRuns(const formula::VisitCellValues& visit) : visit_(visit) {}

    void add(const Cell& cell) {
        if (isDateOrCurrency(cell.value)) {
            if (converted_.empty()) converted_.resize(kRunLength);  // once: pointers into it stay good
            converted_[count_] = cell.value.toDouble();
            run_[count_] = &converted_[count_];
        } else {
            run_[count_] = &cell.value;
        }
        if (++count_ == kRunLength) flush();
    }
    void flush() {
        if (count_ == 0) return;
        visit_(formula::CellValueRun(run_.data(), count_));
        count_ = 0;
    }

private:
    static constexpr std::size_t kRunLength = 256;
    const formula::VisitCellValues& visit_;
    std::array<const Variant*, kRunLength> run_;
    std::vector<Variant> converted_;
    std::size_t count_ = 0;
};

// Finding a cell by its key costs about this many steps of a walk through the stored cells.
constexpr long long kProbeSteps = 4;

}  // namespace

Variant areaValues(const Worksheet& sheet, const formula::Area& area, bool asValue2) {
    auto valueOf = [&](int r, int c) -> Variant {
        const Cell* cell = sheet.findCell(r, c);
        return cell ? cellValue(*cell, asValue2) : Variant();
    };
    if (area.isSingleCell()) return valueOf(area.top, area.left);
    Array values = Array::matrix(area.rows(), area.columns());
    for (int r = area.top; r <= area.bottom; ++r)
        for (int c = area.left; c <= area.right; ++c) values(r - area.top + 1, c - area.left + 1) = valueOf(r, c);
    return values;
}

void visitAreaValues(const Worksheet& sheet, const formula::Area& whole, const formula::VisitCellValues& visit) {
    const auto clipped = sheet.clipToContent(whole);
    if (!clipped) return;
    const formula::Area& area = *clipped;
    const auto& cells = sheet.allCells();
    ValueRuns runs(visit);
    if (area.cellCount() * kProbeSteps <= static_cast<long long>(cells.size())) {
        // A small part of the sheet: its cells found one by one.
        for (int r = area.top; r <= area.bottom; ++r)
            for (int c = area.left; c <= area.right; ++c)
                if (const Cell* cell = sheet.findCell(r, c)) runs.add(*cell);
        runs.flush();
        return;
    }
    // Much of the sheet: one walk through the stored cells, which lie in the order they were entered.
    // The cells inside go in key order (row by row), sorted only when they were not entered so.
    std::vector<std::pair<CellKey, const Cell*>> inside;
    bool inOrder = true;
    for (const auto& [key, cell] : cells) {
        if (!area.contains(keyRow(key), keyColumn(key))) continue;
        if (!inside.empty() && key < inside.back().first) inOrder = false;
        inside.emplace_back(key, &cell);
    }
    if (!inOrder)
        std::sort(inside.begin(), inside.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : inside) runs.add(*entry.second);
    runs.flush();
}

}  // namespace host::sheet
