#include "host/sheet/Range.h"

#include <algorithm>

#include "host/base/DateSerial.h"
#include "host/base/NumberFormat.h"
#include "host/base/Text.h"
#include "host/formula/Address.h"
#include "host/sheet/Application.h"
#include "host/sheet/Calculator.h"
#include "host/sheet/Comment.h"
#include "host/sheet/References.h"
#include "host/sheet/StoredCells.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

using formula::Area;
using formula::ReferenceStyle;

namespace {

constexpr int kDisconnected = -2147417848;

[[noreturn]] void disconnected() {
    throw RuntimeError(kDisconnected, "Automation error: the object invoked has disconnected from its clients.");
}

bool withinLimits(const Area& a) {
    return a.top >= 1 && a.left >= 1 && a.bottom <= formula::kMaxRows && a.right <= formula::kMaxColumns &&
           a.top <= a.bottom && a.left <= a.right;
}

// A constant as the Formula property shows it.
std::string constantText(const Variant& v) {
    switch (v.type()) {
    case VarType::Empty: return {};
    case VarType::Boolean: return v.boolValue() ? "TRUE" : "FALSE";
    case VarType::Error: return cellErrorText(v.errorValue());
    default: return v.toString();
    }
}

// A text entered as a person would type it: a number, a Boolean, an error value, a date, or text.
Variant typedValue(const std::string& text) {
    if (text.empty()) return {};
    if (text.front() == '\'') return text.substr(1);
    if (auto n = parseNumber(text)) return *n;
    if (text.size() > 1 && text.back() == '%')
        if (auto n = parseNumber(std::string_view(text).substr(0, text.size() - 1))) return *n / 100.0;
    if (StrComp(text, "TRUE", CompareMethod::Text) == 0) return true;
    if (StrComp(text, "FALSE", CompareMethod::Text) == 0) return false;
    if (auto e = parseCellError(text)) return *e;
    if (auto d = parseDate(text)) return Date{*d};
    return text;
}

bool isFormulaText(const Variant& v) { return v.isString() && v.stringValue().size() > 1 && v.stringValue().front() == '='; }

}  // namespace

Range::Range(std::shared_ptr<Worksheet> sheet, std::vector<Area> areas) : sheet_(sheet), areas_(std::move(areas)) {
    if (areas_.empty()) throw RuntimeError(err::InvalidArgument);
    for (const Area& a : areas_)
        if (!withinLimits(a)) throw RuntimeError(err::InvalidArgument, "The range lies outside the worksheet.");
}

std::shared_ptr<Worksheet> Range::parent() const {
    auto sheet = sheet_.lock();
    if (!sheet || sheet->isRemoved() || !sheet->parent() || sheet->parent()->isClosed()) disconnected();
    return sheet;
}

RangePtr asRange(const Variant& value) {
    if (!value.isObject()) return nullptr;
    return std::dynamic_pointer_cast<Range>(value.objectValue());
}

// The most cells one write may fill: each stored cell costs memory, and a value written over whole
// columns would otherwise exhaust it.
constexpr long long kMostCellsFilled = 1LL << 22;

void Range::refuseOversizedFill(long long cells) {
    if (cells > kMostCellsFilled)
        throw RuntimeError(err::OutOfMemory, "Out of memory: " + std::to_string(cells) +
                                                 " cells are too many to fill; select fewer cells.");
}

void Range::forEachCell(const std::function<void(int row, int column)>& f) const {
    for (const Area& a : areas_)
        for (int r = a.top; r <= a.bottom; ++r)
            for (int c = a.left; c <= a.right; ++c) f(r, c);
}

long long Range::count() const {
    long long n = 0;
    for (const Area& a : areas_) n += a.cellCount();
    return n;
}

// ---- values ----

Variant Range::value() const { return areaValues(*parent(), firstArea(), false); }
Variant Range::value2() const { return areaValues(*parent(), firstArea(), true); }

namespace {

// The element of a value written over an area for the cell at offset (i, j).
Variant elementFor(const Variant& value, int i, int j) {
    if (!value.isArray()) return value;
    const Array& a = value.arrayValue();
    if (a.dimensions() == 1) return j < a.count(1) ? a(a.lbound(1) + j) : Variant(CellError::NA);
    if (a.dimensions() == 2)
        return (i < a.count(1) && j < a.count(2)) ? a(a.lbound(1) + i, a.lbound(2) + j) : Variant(CellError::NA);
    return CellError::NA;
}

// Refuses a write that would change part of an array formula; returns the arrays wholly inside.
std::vector<Area> arraysToClear(const Worksheet& sheet, const std::vector<Area>& areas) {
    std::vector<Area> arrays;
    for (const Area& a : areas)
        forEachStoredCell(sheet, a, [&](int, int, const Cell& cell) {
            if (!cell.array) return;
            const Area& arr = *cell.array;
            const bool inside = arr.top >= a.top && arr.bottom <= a.bottom && arr.left >= a.left && arr.right <= a.right;
            if (!inside) throw RuntimeError(err::InvalidArgument, "You can't change part of an array.");
            if (std::find(arrays.begin(), arrays.end(), arr) == arrays.end()) arrays.push_back(arr);
        });
    return arrays;
}

// Clears formulas (and arrays) from the areas, collecting the keys of the formulas removed.
void removeFormulas(Worksheet& sheet, const std::vector<Area>& areas, std::vector<CellKey>& removed) {
    for (const Area& arr : arraysToClear(sheet, areas))
        for (int r = arr.top; r <= arr.bottom; ++r)
            for (int c = arr.left; c <= arr.right; ++c) {
                Cell& cell = sheet.cellAt(r, c);
                cell.array.reset();
                cell.formula.reset();
            }
    std::vector<CellKey> keys;
    for (const Area& a : areas)
        forEachStoredCell(sheet, a, [&](int r, int c, const Cell&) {
            if (sheet.formulaCells().contains(cellKey(r, c))) keys.push_back(cellKey(r, c));
        });
    for (CellKey k : keys) {
        sheet.cellAt(keyRow(k), keyColumn(k)).formula.reset();
        sheet.noteFormula(k, false);
        removed.push_back(k);
    }
}

}  // namespace

void Range::setValue(const Variant& value) {
    auto sheet = parent();
    const Variant v = value.isObject() && asRange(value) ? asRange(value)->value() : value;

    // Work out every cell's new content first, so that a formula that does not parse changes nothing.
    struct Write {
        int row, column;
        Variant value;
        std::shared_ptr<formula::Formula> formula;
    };
    std::vector<Write> writes;
    const bool clearing = !v.isArray() && (v.isEmpty() || v.isMissing() || v.isNull());
    if (!clearing) refuseOversizedFill(count());
    for (const Area& a : areas_) {
        if (clearing) {
            forEachStoredCell(*sheet, a, [&](int r, int c, const Cell&) { writes.push_back({r, c, {}, nullptr}); });
            continue;
        }
        for (int r = a.top; r <= a.bottom; ++r)
            for (int c = a.left; c <= a.right; ++c) {
                Variant element = elementFor(v, r - a.top, c - a.left);
                if (isFormulaText(element)) {
                    writes.push_back({r, c, {}, std::make_shared<formula::Formula>(formula::Formula::parse(
                                                    element.stringValue(), ReferenceStyle::A1, r, c))});
                    continue;
                }
                if (element.isString()) element = typedValue(element.stringValue());
                if (element.isMissing() || element.isNull()) element = Variant();
                writes.push_back({r, c, std::move(element), nullptr});
            }
    }

    std::vector<CellKey> changed;
    removeFormulas(*sheet, areas_, changed);
    for (Write& w : writes) {
        if (w.formula) {
            Cell& cell = sheet->cellAt(w.row, w.column);
            cell.formula = std::move(w.formula);
            cell.value = Variant();
            sheet->noteFormula(cellKey(w.row, w.column), true);
            changed.push_back(cellKey(w.row, w.column));
            continue;
        }
        if (w.value.isEmpty() && !sheet->findCell(w.row, w.column)) continue;
        sheet->cellAt(w.row, w.column).value = std::move(w.value);
        sheet->compact(w.row, w.column);
    }
    notifyChanged(*sheet, areas_, changed);
}

void Range::notifyChanged(Worksheet& sheet, const std::vector<Area>& areas, const std::vector<CellKey>& formulaKeys) {
    auto app = sheet.application();
    if (!app) return;
    app->calculator().cellsChanged(sheet, areas, formulaKeys);
    if (!app->calculator().isCalculating())
        app->fireSheetChange(sheet.shared_from_this(), std::const_pointer_cast<Range>(shared_from_this()));
}

// ---- formulas ----

Variant Range::formulaTexts(ReferenceStyle style) const {
    auto sheet = parent();
    auto textOf = [&](int r, int c) -> Variant {
        const Cell* cell = sheet->findCell(r, c);
        if (!cell) return std::string();
        if (cell->array) {
            const Cell* anchor = sheet->findCell(cell->array->top, cell->array->left);
            return anchor->formula->toText(style, cell->array->top, cell->array->left);
        }
        if (cell->formula) return cell->formula->toText(style, r, c);
        return constantText(cell->value);
    };
    const Area& a = firstArea();
    if (a.isSingleCell()) return textOf(a.top, a.left);
    Array texts = Array::matrix(a.rows(), a.columns());
    for (int r = a.top; r <= a.bottom; ++r)
        for (int c = a.left; c <= a.right; ++c) texts(r - a.top + 1, c - a.left + 1) = textOf(r, c);
    return texts;
}

Variant Range::formula() const { return formulaTexts(ReferenceStyle::A1); }
Variant Range::formulaR1C1() const { return formulaTexts(ReferenceStyle::R1C1); }

void Range::setFormula(const Variant& formulaOrValue) { enterText(formulaOrValue, ReferenceStyle::A1); }
void Range::setFormulaR1C1(const Variant& formulaOrValue) { enterText(formulaOrValue, ReferenceStyle::R1C1); }

void Range::enterText(const Variant& formulaOrValue, ReferenceStyle style) {
    if (formulaOrValue.isArray() || !isFormulaText(formulaOrValue)) {
        setValue(formulaOrValue);
        return;
    }
    refuseOversizedFill(count());
    // One formula over several cells is entered into each cell with its references moved along, as
    // if written in the first cell and filled: parse once, then re-read the R1C1 form at each cell.
    const Area& first = firstArea();
    const auto parsed = formula::Formula::parse(formulaOrValue.stringValue(), style, first.top, first.left);
    const std::string relative = parsed.toText(ReferenceStyle::R1C1, first.top, first.left);
    if (count() == 1) {
        setValue(parsed.toText(ReferenceStyle::A1, first.top, first.left));
        return;
    }
    for (const Area& a : areas_) {
        Array texts = Array::matrix(a.rows(), a.columns());
        for (int r = a.top; r <= a.bottom; ++r)
            for (int c = a.left; c <= a.right; ++c)
                texts(r - a.top + 1, c - a.left + 1) =
                    formula::Formula::parse(relative, ReferenceStyle::R1C1, r, c).toText(ReferenceStyle::A1, r, c);
        std::make_shared<Range>(parent(), std::vector<Area>{a})->setValue(texts);
    }
}

std::string Range::formulaArray() const {
    const Variant f = Range(parent(), {Area::cell(row(), column())}).formula();
    return f.stringValue();
}

void Range::setFormulaArray(const std::string& text) {
    auto sheet = parent();
    const Area area = firstArea();
    refuseOversizedFill(area.cellCount());
    auto parsed = std::make_shared<formula::Formula>(formula::Formula::parse(text, ReferenceStyle::A1, area.top, area.left));
    std::vector<CellKey> changed;
    removeFormulas(*sheet, {area}, changed);
    for (int r = area.top; r <= area.bottom; ++r)
        for (int c = area.left; c <= area.right; ++c) {
            Cell& cell = sheet->cellAt(r, c);
            cell.value = Variant();
            cell.array = area;
        }
    sheet->cellAt(area.top, area.left).formula = std::move(parsed);
    const CellKey anchor = cellKey(area.top, area.left);
    sheet->noteFormula(anchor, true);
    changed.push_back(anchor);
    notifyChanged(*sheet, {area}, changed);
}

Variant Range::hasFormula() const {
    auto sheet = parent();
    long long with = 0;
    for (const Area& a : areas_)
        forEachStoredCell(*sheet, a, [&](int, int, const Cell& cell) {
            if (cell.formula || cell.array) ++with;
        });
    if (with == 0) return false;
    if (with == count()) return true;
    return Variant::null();
}

bool Range::hasArray() const {
    const Cell* cell = parent()->findCell(row(), column());
    return cell && cell->array.has_value();
}

// ---- addresses and navigation ----

std::string Range::address(bool rowAbsolute, bool columnAbsolute, ReferenceStyle style, bool external,
                           const std::shared_ptr<Range>& relativeTo) const {
    const int anchorRow = relativeTo ? relativeTo->row() : 1;
    const int anchorColumn = relativeTo ? relativeTo->column() : 1;
    std::string text;
    for (const Area& a : areas_) {
        if (!text.empty()) text += ",";
        text += formula::formatArea(a, rowAbsolute, columnAbsolute, style, anchorRow, anchorColumn);
    }
    if (!external) return text;
    auto sheet = parent();
    return formula::sheetPrefix(sheet->parent()->name(), sheet->name()) + text;
}

RangePtr Range::cells(int rowIndex, int columnIndex) const {
    return std::make_shared<Range>(parent(), std::vector<Area>{Area::cell(row() + rowIndex - 1, column() + columnIndex - 1)});
}

RangePtr Range::item(long long index) const {
    if (index < 1) throw RuntimeError(err::InvalidArgument);
    const long long i = index - 1;
    return cells(static_cast<int>(i / columnCount()) + 1, static_cast<int>(i % columnCount()) + 1);
}

std::vector<RangePtr> Range::cellList() const {
    auto sheet = parent();
    std::vector<RangePtr> result;
    forEachCell([&](int r, int c) { result.push_back(std::make_shared<Range>(sheet, std::vector<Area>{Area::cell(r, c)})); });
    return result;
}

std::vector<RangePtr> Range::storedCellList() const {
    auto sheet = parent();
    std::vector<RangePtr> result;
    std::vector<CellKey> keys;
    for (const Area& a : areas_) {
        keys.clear();
        forEachStoredCell(*sheet, a, [&](int r, int c, const Cell&) { keys.push_back(cellKey(r, c)); });
        std::sort(keys.begin(), keys.end());  // keys order cells row by row
        for (CellKey key : keys)
            result.push_back(std::make_shared<Range>(sheet, std::vector<Area>{Area::cell(keyRow(key), keyColumn(key))}));
    }
    return result;
}

RangePtr Range::offset(int rows, int columns) const {
    std::vector<Area> moved;
    for (Area a : areas_) {
        a.top += rows;
        a.bottom += rows;
        a.left += columns;
        a.right += columns;
        moved.push_back(a);
    }
    return std::make_shared<Range>(parent(), std::move(moved));
}

RangePtr Range::resize(int rows, int columns) const {
    Area a = firstArea();
    a.bottom = a.top + rows - 1;
    a.right = a.left + columns - 1;
    return std::make_shared<Range>(parent(), std::vector<Area>{a});
}

RangePtr Range::entireRow() const {
    std::vector<Area> rows;
    for (const Area& a : areas_) rows.push_back({a.top, 1, a.bottom, formula::kMaxColumns});
    return std::make_shared<Range>(parent(), std::move(rows));
}

RangePtr Range::entireColumn() const {
    std::vector<Area> columns;
    for (const Area& a : areas_) columns.push_back({1, a.left, formula::kMaxRows, a.right});
    return std::make_shared<Range>(parent(), std::move(columns));
}

RangePtr Range::currentRegion() const {
    auto sheet = parent();
    auto filled = [&](int r, int c) {
        if (r < 1 || c < 1 || r > formula::kMaxRows || c > formula::kMaxColumns) return false;
        const Cell* cell = sheet->findCell(r, c);
        return cell && (!cell->value.isEmpty() || cell->formula || cell->array);
    };
    Area box = Area::cell(row(), column());
    for (bool grown = true; grown;) {
        grown = false;
        for (int c = box.left - 1; c <= box.right + 1 && !grown; ++c) {
            if (filled(box.top - 1, c)) --box.top, grown = true;
            else if (filled(box.bottom + 1, c)) ++box.bottom, grown = true;
        }
        for (int r = box.top - 1; r <= box.bottom + 1 && !grown; ++r) {
            if (filled(r, box.left - 1)) --box.left, grown = true;
            else if (filled(r, box.right + 1)) ++box.right, grown = true;
        }
    }
    // A lone empty cell with nothing around it is its own region.
    return std::make_shared<Range>(sheet, std::vector<Area>{box});
}

RangePtr Range::dependents() const {
    auto sheet = parent();
    auto keys = sheet->application()->calculator().dependentsOnSheet(*sheet, areas_);
    if (keys.empty()) throw RuntimeError(err::InvalidArgument, "No cells were found.");
    std::vector<Area> areas;
    for (CellKey k : keys) {
        const Cell* cell = sheet->findCell(keyRow(k), keyColumn(k));
        areas.push_back(cell && cell->array ? *cell->array : Area::cell(keyRow(k), keyColumn(k)));
    }
    return std::make_shared<Range>(sheet, std::move(areas));
}

RangePtr Range::precedents() const {
    auto sheet = parent();
    auto areas = sheet->application()->calculator().precedentsOnSheet(*sheet, areas_);
    if (areas.empty()) throw RuntimeError(err::InvalidArgument, "No cells were found.");
    return std::make_shared<Range>(sheet, std::move(areas));
}

// ---- comments and contents ----

std::shared_ptr<Comment> Range::comment() const {
    const Cell* cell = parent()->findCell(row(), column());
    return cell ? cell->comment : nullptr;
}

std::shared_ptr<Comment> Range::addComment(const std::string& text) {
    auto sheet = parent();
    Cell& cell = sheet->cellAt(row(), column());
    if (cell.comment) throw RuntimeError(err::InvalidArgument, "Application-defined or object-defined error");
    auto app = sheet->application();
    cell.comment = std::make_shared<Comment>(sheet, row(), column(), text, app ? app->userName : std::string());
    return cell.comment;
}

void Range::clearComments() {
    auto sheet = parent();
    std::vector<std::pair<int, int>> commented;
    for (const Area& a : areas_)
        forEachStoredCell(*sheet, a, [&](int r, int c, const Cell& cell) {
            if (cell.comment) commented.emplace_back(r, c);
        });
    for (auto [r, c] : commented) {
        sheet->cellAt(r, c).comment.reset();
        sheet->compact(r, c);
    }
}

void Range::clearContents() { setValue(Variant()); }

void Range::deleteRows() {
    auto sheet = parent();
    const Area& rows = firstArea();
    const std::vector<CellKey> moved = sheet->removeRows(rows.top, rows.bottom);
    if (auto book = sheet->parent()) book->structureChanged();
    notifyChanged(*sheet, {Area{rows.top, 1, formula::kMaxRows, formula::kMaxColumns}}, moved);
}

void Range::calculate() {
    auto sheet = parent();
    if (auto app = sheet->application()) app->calculator().calculateRange(*sheet, areas_);
}

void Range::select() {
    auto sheet = parent();
    sheet->activate();
    sheet->setSelection(areas_, Area::cell(row(), column()));
}

void Range::activate() { select(); }

std::string Range::numberFormat() const {
    const std::string code = parent()->numberFormatAt(row(), column());
    return code.empty() ? "General" : code;
}

void Range::setNumberFormat(const std::string& code) {
    auto sheet = parent();
    const bool general = StrComp(code, "General", CompareMethod::Text) == 0;
    SheetFormats& formats = sheet->formats();
    for (const Area& a : areas_) {
        const bool allRows = a.top == 1 && a.bottom == formula::kMaxRows;
        const bool allColumns = a.left == 1 && a.right == formula::kMaxColumns;
        if (allRows || allColumns) {
            // Whole rows, columns or the sheet take the format themselves; their stored cells drop
            // their own so that they show it.
            if (allRows && allColumns) formats.setSheet(general ? std::string() : code);
            else if (allColumns) formats.setRows(a.top, a.bottom, code);
            else formats.setColumns(a.left, a.right, code);
            std::vector<CellKey> own;
            forEachStoredCell(*sheet, a, [&](int r, int c, const Cell& cell) {
                if (!cell.numberFormat.empty()) own.push_back(cellKey(r, c));
            });
            for (CellKey k : own) {
                sheet->cellAt(keyRow(k), keyColumn(k)).numberFormat.clear();
                sheet->compact(keyRow(k), keyColumn(k));
            }
            continue;
        }
        for (int r = a.top; r <= a.bottom; ++r)
            for (int c = a.left; c <= a.right; ++c) {
                // General is kept as the cell's own only where the cell would otherwise inherit another.
                const std::string inherited = formats.inherited(r, c);
                const bool inheritsGeneral = inherited.empty() || StrComp(inherited, "General", CompareMethod::Text) == 0;
                const std::string stored = !general ? code : inheritsGeneral ? std::string() : "General";
                if (stored.empty() && !sheet->findCell(r, c)) continue;
                sheet->cellAt(r, c).numberFormat = stored;
                sheet->compact(r, c);
            }
    }
}

std::string Range::text() const {
    const Cell* cell = parent()->findCell(row(), column());
    if (!cell || cell->value.isEmpty()) return {};
    const std::string format = parent()->numberFormatAt(row(), column());
    if (cell->value.type() == VarType::Date && format.empty()) return formatDate(cell->value.toDouble());
    return displayText(cell->value, format);
}

}  // namespace host::sheet
