#pragma once
// Number formats given to whole rows, whole columns or the whole sheet. A cell without a format of its
// own shows the format given last among its row's, its column's and the sheet's, so formatting a
// whole column costs one entry, not a million cells.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace host::sheet {

// Runs of consecutive rows (or columns) sharing a format, each stamped with when it was given.
class FormatBands {
public:
    struct Band {
        int first, last;
        std::string code;
        std::uint64_t stamp;
    };
    // Gives first..last the code; an empty code takes their format away.
    void assign(int first, int last, const std::string& code, std::uint64_t stamp);
    // Removes first..last; the bands after them move up by the number removed.
    void remove(int first, int last);
    const Band* find(int index) const;
    std::vector<Band> bands() const;
    void clear() { bands_.clear(); }
    bool empty() const { return bands_.empty(); }

private:
    std::map<int, Band> bands_;  // by first index
};

class SheetFormats {
public:
    // The format a cell without its own shows at row, column ("" when General).
    std::string inherited(int row, int column) const;
    void setRows(int top, int bottom, const std::string& code) { rows_.assign(top, bottom, code, ++clock_); }
    void setColumns(int left, int right, const std::string& code) { columns_.assign(left, right, code, ++clock_); }
    // The whole sheet's format replaces every row and column format.
    void setSheet(const std::string& code);
    void removeRows(int top, int bottom) { rows_.remove(top, bottom); }

    const FormatBands& rows() const { return rows_; }
    const FormatBands& columns() const { return columns_; }
    const std::string& sheet() const { return sheet_; }
    bool empty() const { return sheet_.empty() && rows_.empty() && columns_.empty(); }

private:
    FormatBands rows_, columns_;
    std::string sheet_;
    std::uint64_t clock_ = 0;
};

}  // namespace host::sheet
