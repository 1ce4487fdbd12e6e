#include "host/sheet/Worksheet.h"

#include <algorithm>

#include "host/base/Text.h"
#include "host/formula/Address.h"
#include "host/sheet/Application.h"
#include "host/sheet/Calculator.h"
#include "host/sheet/Comment.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

using formula::Area;

void validateSheetName(const std::string& name) {
    if (name.empty()) throw RuntimeError(err::InvalidArgument, "A sheet name cannot be empty.");
    if (Len(name) > 31) throw RuntimeError(err::InvalidArgument, "A sheet name cannot be longer than 31 characters.");
    if (name.find_first_of(":\\/?*[]") != std::string::npos)
        throw RuntimeError(err::InvalidArgument, "A sheet name cannot contain any of these characters: : \\ / ? * [ ]");
    if (name.front() == '\'' || name.back() == '\'')
        throw RuntimeError(err::InvalidArgument, "A sheet name cannot begin or end with an apostrophe.");
}

Worksheet::Worksheet(std::weak_ptr<Workbook> workbook, std::string name)
    : workbook_(std::move(workbook)), name_(std::move(name)) {}

std::shared_ptr<Workbook> Worksheet::parent() const { return workbook_.lock(); }

std::shared_ptr<Application> Worksheet::application() const {
    auto book = parent();
    return book ? book->application() : nullptr;
}

void Worksheet::setName(const std::string& name) {
    validateSheetName(name);
    auto book = parent();
    if (book) {
        auto other = book->findSheet(name);
        if (other && other.get() != this)
            throw RuntimeError(err::InvalidArgument, "That name is already taken. Try a different one.");
    }
    name_ = name;
    if (book) book->structureChanged();
}

void Worksheet::setVisible(SheetVisibility visibility) {
    if (visibility != SheetVisibility::Visible && visible_ == SheetVisibility::Visible) {
        auto book = parent();
        const auto& sheets = book ? book->worksheets() : std::vector<WorksheetPtr>{};
        const auto visibleCount = std::count_if(sheets.begin(), sheets.end(),
                                                [](const auto& s) { return s->visible() == SheetVisibility::Visible; });
        if (visibleCount <= 1)
            throw RuntimeError(err::InvalidArgument, "A workbook must contain at least one visible worksheet.");
    }
    visible_ = visibility;
}

RangePtr Worksheet::range(std::string_view address) {
    auto targets = formula::parseAddress(address);
    std::vector<Area> areas;
    for (const auto& t : targets) {
        if ((!t.sheet.empty() && StrComp(t.sheet, name_, CompareMethod::Text) != 0) || !t.workbook.empty())
            throw RuntimeError(err::InvalidArgument, "Method 'Range' of object '_Worksheet' failed");
        areas.push_back(t.area);
    }
    return std::make_shared<Range>(shared_from_this(), std::move(areas));
}

RangePtr Worksheet::range(const RangePtr& first, const RangePtr& last) {
    const Area a = first->firstArea(), b = last->firstArea();
    const Area box{std::min(a.top, b.top), std::min(a.left, b.left), std::max(a.bottom, b.bottom),
                   std::max(a.right, b.right)};
    return std::make_shared<Range>(shared_from_this(), std::vector<Area>{box});
}

RangePtr Worksheet::cells(int row, int column) {
    return std::make_shared<Range>(shared_from_this(), std::vector<Area>{Area::cell(row, column)});
}

RangePtr Worksheet::usedRange() {
    if (cells_.empty()) return cells(1, 1);
    Area box{formula::kMaxRows, formula::kMaxColumns, 1, 1};
    for (const auto& [key, cell] : cells_) {
        const int r = keyRow(key), c = keyColumn(key);
        box.top = std::min(box.top, r);
        box.left = std::min(box.left, c);
        box.bottom = std::max(box.bottom, r);
        box.right = std::max(box.right, c);
    }
    return std::make_shared<Range>(shared_from_this(), std::vector<Area>{box});
}

void Worksheet::calculate() {
    if (auto app = application()) app->calculator().calculateSheet(*this);
}

void Worksheet::activate() {
    auto book = parent();
    if (!book) return;
    book->setActiveSheet(shared_from_this());
    if (auto app = application()) app->setActiveWorkbook(book);
}

void Worksheet::remove() {
    auto book = parent();
    if (!book) return;
    book->removeSheet(shared_from_this());
}

std::vector<std::shared_ptr<Comment>> Worksheet::comments() const {
    std::vector<std::pair<CellKey, std::shared_ptr<Comment>>> found;
    for (const auto& [key, cell] : cells_)
        if (cell.comment) found.emplace_back(key, cell.comment);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::shared_ptr<Comment>> result;
    for (auto& f : found) result.push_back(std::move(f.second));
    return result;
}

std::vector<ShapePtr> Worksheet::shapes() const {
    std::vector<ShapePtr> result;
    for (const auto& c : comments()) result.push_back(c->shape());
    return result;
}

RangePtr Worksheet::selection() const {
    return std::make_shared<Range>(std::const_pointer_cast<Worksheet>(shared_from_this()), selection_);
}

RangePtr Worksheet::activeCell() const {
    return std::make_shared<Range>(std::const_pointer_cast<Worksheet>(shared_from_this()), std::vector<Area>{activeCell_});
}

void Worksheet::setSelection(std::vector<Area> areas, Area activeCell) {
    selection_ = std::move(areas);
    activeCell_ = activeCell;
}

Cell& Worksheet::cellAt(int row, int column) {
    const CellKey key = cellKey(row, column);
    if (Cell* cell = cells_.find(key)) return *cell;
    includeInContent(row, column);
    return cells_.add(key);
}

void Worksheet::includeInContent(int row, int column) {
    if (!contentBox_) contentBox_ = Area::cell(row, column);
    Area& box = *contentBox_;
    box = {std::min(box.top, row), std::min(box.left, column), std::max(box.bottom, row), std::max(box.right, column)};
}

std::optional<Area> Worksheet::clipToContent(const Area& area) const {
    if (!contentBox_) return std::nullopt;
    const Area& box = *contentBox_;
    const Area clipped{std::max(area.top, box.top), std::max(area.left, box.left), std::min(area.bottom, box.bottom),
                       std::min(area.right, box.right)};
    if (clipped.top > clipped.bottom || clipped.left > clipped.right) return std::nullopt;
    return clipped;
}

void Worksheet::compact(int row, int column) {
    const CellKey key = cellKey(row, column);
    const Cell* cell = cells_.find(key);
    if (!cell || !cell->isBlank()) return;
    cells_.erase(key);
    ++drops_;
}

void Worksheet::noteFormula(CellKey key, bool present) {
    if (present)
        formulaCells_.insert(key);
    else
        formulaCells_.erase(key);
}

std::string Worksheet::numberFormatAt(int row, int column) const {
    const Cell* cell = findCell(row, column);
    const std::string code = cell && !cell->numberFormat.empty() ? cell->numberFormat.str() : formats_.inherited(row, column);
    return StrComp(code, "General", CompareMethod::Text) == 0 ? std::string() : code;
}

std::optional<CellKey> Worksheet::formulaOwner(int row, int column) const {
    const Cell* cell = findCell(row, column);
    if (!cell) return std::nullopt;
    if (cell->array) return cellKey(cell->array->top, cell->array->left);
    if (cell->formula) return cellKey(row, column);
    return std::nullopt;
}

}  // namespace host::sheet
