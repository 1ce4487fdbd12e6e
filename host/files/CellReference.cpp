#include "host/files/CellReference.h"

#include <charconv>

namespace host::files {

std::optional<CellPosition> parseCellReference(std::string_view text) {
    std::size_t i = 0;
    long column = 0;
    for (; i < text.size() && i < 3; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') break;
        column = column * 26 + (c - 'A' + 1);
    }
    if (i == 0 || i == text.size() || text[i] == '0') return std::nullopt;
    long row = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || row > formula::kMaxRows) return std::nullopt;
        row = row * 10 + (text[i] - '0');
    }
    if (row < 1 || row > formula::kMaxRows || column > formula::kMaxColumns) return std::nullopt;
    return CellPosition{static_cast<int>(row), static_cast<int>(column)};
}

std::optional<formula::Area> parseAreaReference(std::string_view text) {
    const auto colon = text.find(':');
    const auto first = parseCellReference(text.substr(0, colon));
    if (!first) return std::nullopt;
    if (colon == std::string_view::npos) return formula::Area::cell(first->row, first->column);
    const auto last = parseCellReference(text.substr(colon + 1));
    if (!last || last->row < first->row || last->column < first->column) return std::nullopt;
    return formula::Area{first->row, first->column, last->row, last->column};
}

std::string cellReference(int row, int column) {
    std::string reference;
    appendCellReference(reference, row, column);
    return reference;
}

void appendCellReference(std::string& out, int row, int column) {
    char text[24];
    char* end = text + 4;
    char* begin = end;
    for (int c = column; c > 0 && begin > text; c = (c - 1) / 26) *--begin = static_cast<char>('A' + (c - 1) % 26);
    end = std::to_chars(end, text + sizeof text, row).ptr;
    out.append(begin, end);
}

std::string areaReference(const formula::Area& area) {
    const std::string first = cellReference(area.top, area.left);
    return area.isSingleCell() ? first : first + ":" + cellReference(area.bottom, area.right);
}

}  // namespace host::files
