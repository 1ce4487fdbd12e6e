#pragma once
// List and combo boxes of user forms (see Controls.h for how controls and handlers work).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/base/Variant.h"
#include "host/ui/Controls.h"

namespace host::ui {

// Rows of one or more columns with a current row (ListIndex); the common part of list and combo boxes.
// Rows and columns count from 0. Entries are text.
class ListControl : public Control {
public:
    using Control::Control;

    int columnCount() const { return columnCount_; }
    void setColumnCount(int count);
    // The column (1-based) whose entry is the Value.
    int boundColumn() const { return boundColumn_; }
    void setBoundColumn(int column);

    // Inserts a row with `text` in its first column at `index` (default: at the end).
    void addItem(std::string text, std::optional<int> index = std::nullopt);
    void removeItem(int index);
    // Removes all rows.
    void clear();
    // Replaces all rows by a one-dimensional array (one column) or a two-dimensional one (rows x
    // columns); entries are converted to text.
    void setList(const Array& values);

    int listCount() const { return static_cast<int>(rows_.size()); }
    // The entry at row, column; error 381 outside the rows or the columns a list can hold.
    std::string list(int row, int column = 0) const;
    void setList(int row, int column, std::string text);

    // The current row, -1 for none. Setting it outside -1..listCount-1 raises error 380.
    int listIndex() const { return listIndex_; }
    void setListIndex(int index);

    // Fired when the current row or the selection changes (for a combo box: when its text changes).
    std::function<void()> onChange;
    // The user double-clicks a row: makes it current, then runs onDblClick.
    void dblClick(int row);
    std::function<void()> onDblClick;

protected:
    struct Row {
        std::vector<std::string> cells;
        bool selected = false;  // selection of multi-select list boxes
    };
    std::vector<Row>& rows() { return rows_; }
    const std::vector<Row>& rows() const { return rows_; }
    // The entry of the bound column of a row.
    std::string boundEntry(int row) const { return list(row, boundColumn_ - 1); }
    // Sets the current row without firing onChange.
    void moveTo(int index) { listIndex_ = index; }
    // Runs after the current row changed, before onChange.
    virtual void listIndexChanged() {}
    void fireChange();

private:
    void changeListIndex(int index);
    void replaceRows(std::vector<Row> rows);
    void checkRow(int row) const;
    std::vector<Row> rows_;
    int columnCount_ = 1;
    int boundColumn_ = 1;
    int listIndex_ = -1;
};

enum class MultiSelect { Single, Multi, Extended };

class ListBox : public ListControl {
public:
    using ListControl::ListControl;
    std::string typeName() const override { return "ListBox"; }
    std::string shownText() const override { return text(); }

    MultiSelect multiSelect() const { return multiSelect_; }
    void setMultiSelect(MultiSelect mode);
    // Whether a row is selected; in a single-select list the current row is the selected one.
    bool selected(int row) const;
    // Selects or deselects a row; fires onChange when that changes the selection.
    void setSelected(int row, bool selected);

    // The first column of the current row, "" for none.
    std::string text() const;
    // The bound column of the current row; Null when no row is current or the list is multi-select.
    Variant value() const;
    // Makes the first row whose bound column is `entry` current; error 380 when there is none.
    void setValue(std::string_view entry);

private:
    MultiSelect multiSelect_ = MultiSelect::Single;
};

enum class ComboStyle { DropDownCombo, DropDownList };

// A list with a text: typing a text that is a row's first column makes that row current, choosing
// a row shows its first column as the text.
class ComboBox : public ListControl {
public:
    using ListControl::ListControl;
    std::string typeName() const override { return "ComboBox"; }
    std::string shownText() const override { return text_; }

    ComboStyle style() const { return style_; }
    void setStyle(ComboStyle style) { style_ = style; }

    const std::string& text() const { return text_; }
    // Sets the text; fires onChange when it differs. A DropDownList takes only "" or a row's text
    // (error 380 otherwise).
    void setText(std::string text);
    // The bound column of the current row, or the text when no row is current.
    Variant value() const;
    void setValue(std::string text) { setText(std::move(text)); }

private:
    void listIndexChanged() override;
    int rowWithText(std::string_view text) const;
    ComboStyle style_ = ComboStyle::DropDownCombo;
    std::string text_;
};

}  // namespace host::ui
