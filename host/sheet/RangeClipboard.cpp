// Range::copy and Range::pasteSpecialValues: the application's clipboard for cell values.

#include <tuple>

#include "host/base/RuntimeError.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/StoredCells.h"

namespace host::sheet {

using formula::Area;

namespace {

[[noreturn]] void pasteFailed() { throw RuntimeError(err::InvalidArgument, "PasteSpecial method of Range class failed"); }

// The area a paste of `source` into `target` fills: the source's size repeated where the target's
// rows and columns are multiples of it, else once at the target's first cell.
Area pasteArea(const Area& source, const Area& target) {
    const bool repeated = !target.isSingleCell() && target.rows() % source.rows() == 0 &&
                          target.columns() % source.columns() == 0;
    if (repeated) return target;
    return {target.top, target.left, target.top + source.rows() - 1, target.left + source.columns() - 1};
}

}  // namespace

void Range::copy() {
    auto app = parent()->application();
    if (!app) throw RuntimeError(err::ObjectNotSet);
    app->setClipboardRange(std::const_pointer_cast<Range>(shared_from_this()));
}

void Range::pasteSpecialValues() {
    auto sheet = parent();
    auto app = sheet->application();
    const RangePtr source = app ? app->clipboardRange() : nullptr;
    if (!source || source->areas().size() != 1) pasteFailed();
    const Area from = source->firstArea();
    const Area to = pasteArea(from, firstArea());
    auto target = std::make_shared<Range>(sheet, std::vector<Area>{to});  // raises beyond the sheet's edge

    // The values first: source and target may overlap.
    std::vector<std::tuple<int, int, Variant>> values;
    forEachStoredCell(*source->parent(), from, [&](int r, int c, const Cell& cell) {
        if (!cell.value.isEmpty()) values.emplace_back(r - from.top, c - from.left, cell.value);
    });
    refuseOversizedFill(static_cast<long long>(values.size()) * (to.cellCount() / from.cellCount()));
    target->clearContents();
    for (int top = to.top; top <= to.bottom; top += from.rows())
        for (int left = to.left; left <= to.right; left += from.columns())
            for (const auto& [i, j, value] : values) sheet->cellAt(top + i, left + j).value = value;
    target->notifyChanged(*sheet, {to}, {});  // the change event names the cells pasted into
}

}  // namespace host::sheet
