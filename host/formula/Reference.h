#pragma once
// Cell addresses and references as formulas and Range texts name them.

#include <string>

namespace host::formula {

inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;

// A rectangle of cells, 1-based and inclusive.
struct Area {
    int top = 1;
    int left = 1;
    int bottom = 1;
    int right = 1;

    int rows() const { return bottom - top + 1; }
    int columns() const { return right - left + 1; }
    long long cellCount() const { return static_cast<long long>(rows()) * columns(); }
    bool contains(int row, int column) const { return row >= top && row <= bottom && column >= left && column <= right; }
    bool overlaps(const Area& o) const { return top <= o.bottom && o.top <= bottom && left <= o.right && o.left <= right; }
    bool isSingleCell() const { return top == bottom && left == right; }
    static Area cell(int row, int column) { return {row, column, row, column}; }
    friend bool operator==(const Area&, const Area&) = default;
};

// What a reference in a formula or an address text points at. Empty workbook and sheet mean the
// workbook and sheet of the formula (or of the Range call) itself.
struct ReferenceTarget {
    std::string folder;    // external reference: folder of the workbook file, as written ("" for none)
    std::string workbook;  // workbook name as written between "[" and "]"
    std::string sheet;     // sheet name without quotes
    Area area;
    friend bool operator==(const ReferenceTarget&, const ReferenceTarget&) = default;
};

}  // namespace host::formula
