#include "host/ui/ListControls.h"

#include <algorithm>

#include "host/base/RuntimeError.h"

namespace host::ui {

namespace {

// A list holds at least this many columns, however many it shows.
constexpr int kMinListColumns = 10;

RuntimeError invalidValue(const std::string& property) {
    return RuntimeError(380, "Could not set the " + property + " property. Invalid property value.");
}

RuntimeError invalidIndex(const std::string& property) {
    return RuntimeError(381, "Could not get the " + property + " property. Invalid property array index.");
}

}  // namespace

void ListControl::setColumnCount(int count) {
    if (count < 1) throw invalidValue("ColumnCount");
    columnCount_ = count;
}

void ListControl::setBoundColumn(int column) {
    if (column < 1) throw invalidValue("BoundColumn");
    boundColumn_ = column;
}

void ListControl::addItem(std::string text, std::optional<int> index) {
    const int at = index.value_or(listCount());
    if (at < 0 || at > listCount()) throw RuntimeError(err::InvalidProcedureCall);
    rows_.insert(rows_.begin() + at, Row{{std::move(text)}, false});
    if (listIndex_ >= at) ++listIndex_;  // the current row stays current
}

void ListControl::removeItem(int index) {
    if (index < 0 || index >= listCount()) throw RuntimeError(err::InvalidProcedureCall);
    const bool wasSelected = rows_[static_cast<std::size_t>(index)].selected;
    rows_.erase(rows_.begin() + index);
    if (index == listIndex_) {
        changeListIndex(-1);
    } else {
        if (index < listIndex_) --listIndex_;
        if (wasSelected) fireChange();
    }
}

void ListControl::clear() { replaceRows({}); }

void ListControl::setList(const Array& values) {
    std::vector<Row> rows;
    if (values.dimensions() == 1) {
        for (long i = values.lbound(1); i <= values.ubound(1); ++i) rows.push_back({{values(i).toString()}, false});
    } else if (values.dimensions() == 2) {
        for (long i = values.lbound(1); i <= values.ubound(1); ++i) {
            Row row;
            for (long j = values.lbound(2); j <= values.ubound(2); ++j) row.cells.push_back(values(i, j).toString());
            rows.push_back(std::move(row));
        }
    } else {
        throw invalidValue("List");
    }
    replaceRows(std::move(rows));
}

void ListControl::replaceRows(std::vector<Row> rows) {
    const bool hadSelection = std::any_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.selected; });
    rows_ = std::move(rows);
    if (listIndex_ != -1) {
        changeListIndex(-1);
    } else if (hadSelection) {
        fireChange();
    }
}

void ListControl::checkRow(int row) const {
    if (row < 0 || row >= listCount()) throw invalidIndex("List");
}

std::string ListControl::list(int row, int column) const {
    checkRow(row);
    if (column < 0 || column >= std::max(columnCount_, kMinListColumns)) throw invalidIndex("List");
    const std::vector<std::string>& cells = rows_[static_cast<std::size_t>(row)].cells;
    return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)] : std::string();
}

void ListControl::setList(int row, int column, std::string text) {
    checkRow(row);
    if (column < 0 || column >= std::max(columnCount_, kMinListColumns)) throw invalidIndex("List");
    std::vector<std::string>& cells = rows_[static_cast<std::size_t>(row)].cells;
    if (static_cast<std::size_t>(column) >= cells.size()) cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = std::move(text);
}

void ListControl::setListIndex(int index) {
    if (index < -1 || index >= listCount()) throw invalidValue("ListIndex");
    if (index != listIndex_) changeListIndex(index);
}

void ListControl::changeListIndex(int index) {
    listIndex_ = index;
    listIndexChanged();
    fireChange();
}

void ListControl::fireChange() {
    if (onChange) onChange();
}

void ListControl::dblClick(int row) {
    if (!enabled()) return;
    setListIndex(row);
    if (onDblClick) onDblClick();
}

void ListBox::setMultiSelect(MultiSelect mode) {
    multiSelect_ = mode;
    for (Row& row : rows()) row.selected = false;
}

bool ListBox::selected(int row) const {
    if (row < 0 || row >= listCount()) throw invalidIndex("Selected");
    if (multiSelect_ == MultiSelect::Single) return row == listIndex();
    return rows()[static_cast<std::size_t>(row)].selected;
}

void ListBox::setSelected(int row, bool selected) {
    if (row < 0 || row >= listCount()) throw invalidIndex("Selected");
    if (multiSelect_ == MultiSelect::Single) {
        if (selected) {
            setListIndex(row);
        } else if (row == listIndex()) {
            setListIndex(-1);
        }
        return;
    }
    bool& flag = rows()[static_cast<std::size_t>(row)].selected;
    if (flag == selected) return;
    flag = selected;
    fireChange();
}

std::string ListBox::text() const { return listIndex() < 0 ? std::string() : list(listIndex(), 0); }

Variant ListBox::value() const {
    if (multiSelect_ != MultiSelect::Single || listIndex() < 0) return Variant::null();
    return Variant(boundEntry(listIndex()));
}

void ListBox::setValue(std::string_view entry) {
    for (int row = 0; row < listCount(); ++row) {
        if (boundEntry(row) == entry) {
            setListIndex(row);
            return;
        }
    }
    throw invalidValue("Value");
}

void ComboBox::setText(std::string text) {
    if (text == text_) return;
    const int row = rowWithText(text);
    if (row < 0 && style_ == ComboStyle::DropDownList && !text.empty()) throw invalidValue("Text");
    text_ = std::move(text);
    moveTo(row);
    fireChange();
}

Variant ComboBox::value() const {
    return listIndex() < 0 ? Variant(text_) : Variant(boundEntry(listIndex()));
}

void ComboBox::listIndexChanged() { text_ = listIndex() < 0 ? std::string() : list(listIndex(), 0); }

int ComboBox::rowWithText(std::string_view text) const {
    for (int row = 0; row < listCount(); ++row) {
        if (list(row, 0) == text) return row;
    }
    return -1;
}

}  // namespace host::ui
