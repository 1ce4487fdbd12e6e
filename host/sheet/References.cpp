#include "host/sheet/References.h"

#include <algorithm>

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

namespace {

bool isDateOrCurrency(const Variant& v) {
    const VarType type = v.type();
    return type == VarType::Date || type == VarType::Currency;
}

Variant cellValue(const Cell& cell, bool asValue2) {
    if (asValue2 && isDateOrCurrency(cell.value)) return cell.value.toDouble();
    return cell.value;
}

// Visits the cell's Value2 without copying the values that need no conversion.
void visitValue2(const Cell& cell, const std::function<void(const Variant&)>& visit) {
    if (isDateOrCurrency(cell.value)) return visit(cell.value.toDouble());
    visit(cell.value);
}

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

void visitAreaValues(const Worksheet& sheet, const formula::Area& whole, const std::function<void(const Variant&)>& visit) {
    const auto clipped = sheet.clipToContent(whole);
    if (!clipped) return;
    const formula::Area& area = *clipped;
    const auto& cells = sheet.allCells();
    if (area.cellCount() <= static_cast<long long>(cells.size())) {
        for (int r = area.top; r <= area.bottom; ++r)
            for (int c = area.left; c <= area.right; ++c)
                if (const Cell* cell = sheet.findCell(r, c)) visitValue2(*cell, visit);
        return;
    }
    // An area larger than the sheet's content (sparse cells far apart): the cells inside it, in key
    // order, which is row by row.
    std::vector<std::pair<CellKey, const Cell*>> inside;
    for (const auto& [key, cell] : cells)
        if (area.contains(keyRow(key), keyColumn(key))) inside.emplace_back(key, &cell);
    std::sort(inside.begin(), inside.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [key, cell] : inside) visitValue2(*cell, visit);
}

}  // namespace host::sheet
