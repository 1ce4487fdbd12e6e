#include "host/formula/ReferenceSyntax.h"

#include "host/formula/Address.h"

namespace host::formula {

namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// A coordinate being read: its value (possibly far beyond the limits) and its "$" flag.
struct Part {
    long long value = 0;
    bool absolute = false;
};

// Reads digits into value, saturating so that huge numbers stay huge without overflowing.
std::size_t readDigits(std::string_view s, std::size_t i, long long& value) {
    const std::size_t start = i;
    value = 0;
    for (; i < s.size() && isDigit(s[i]); ++i) value = std::min(value * 10 + (s[i] - '0'), 1LL << 40);
    return i == start ? std::string_view::npos : i;
}

// ---- A1 ----

std::size_t readColumn(std::string_view s, std::size_t i, Part& part) {
    part.absolute = i < s.size() && s[i] == '$';
    if (part.absolute) ++i;
    const std::size_t start = i;
    part.value = 0;
    for (; i < s.size() && isLetter(s[i]); ++i)
        if (i - start < 3) part.value = part.value * 26 + (upper(s[i]) - 'A' + 1);
    if (i == start || i - start > 3) return std::string_view::npos;
    return i;
}

std::size_t readRow(std::string_view s, std::size_t i, Part& part) {
    part.absolute = i < s.size() && s[i] == '$';
    if (part.absolute) ++i;
    return readDigits(s, i, part.value);
}

std::size_t readCell(std::string_view s, std::size_t i, Part& row, Part& column) {
    i = readColumn(s, i, column);
    return i == std::string_view::npos ? i : readRow(s, i, row);
}

// Reads "first:second" with the same reader for both sides.
template <class Reader>
std::size_t readPair(std::string_view s, std::size_t i, Reader read) {
    i = read(s, i, 0);
    if (i == std::string_view::npos || i >= s.size() || s[i] != ':') return std::string_view::npos;
    return read(s, i + 1, 1);
}

// ---- R1C1 ----

// "R", "R3", "R[-2]" (letter R or C): a relative part resolves against the anchor.
std::size_t readR1C1Part(std::string_view s, std::size_t i, char letter, int anchor, Part& part) {
    if (i >= s.size() || upper(s[i]) != letter) return std::string_view::npos;
    ++i;
    if (i < s.size() && s[i] == '[') {
        const bool negative = i + 1 < s.size() && s[i + 1] == '-';
        long long offset = 0;
        i = readDigits(s, i + 1 + (negative ? 1 : 0), offset);
        if (i == std::string_view::npos || i >= s.size() || s[i] != ']') return std::string_view::npos;
        part = {anchor + (negative ? -offset : offset), false};
        return i + 1;
    }
    if (i < s.size() && isDigit(s[i])) {
        part.absolute = true;
        return readDigits(s, i, part.value);
    }
    part = {anchor, false};
    return i;
}

// The corners read by one alternative, in the order top-left, bottom-right.
struct Corners {
    Part row[2];
    Part column[2];
    bool hasRows = true;
    bool hasColumns = true;
};

bool endsReference(std::string_view s, std::size_t i) {
    return i != std::string_view::npos && (i == s.size() || (!isNameCharacter(s[i]) && s[i] != '(' && s[i] != '!'));
}

AreaMatch toMatch(Corners c, std::size_t length) {
    AreaMatch m;
    m.length = length;
    if (!c.hasRows) c.row[0] = {1, true}, c.row[1] = {kMaxRows, true};
    if (!c.hasColumns) c.column[0] = {1, true}, c.column[1] = {kMaxColumns, true};
    for (int k = 0; k < 2; ++k)
        if (c.row[k].value < 1 || c.row[k].value > kMaxRows || c.column[k].value < 1 ||
            c.column[k].value > kMaxColumns)
            m.outsideSheet = true;
    if (m.outsideSheet) return m;
    if (c.row[0].value > c.row[1].value) std::swap(c.row[0], c.row[1]);
    if (c.column[0].value > c.column[1].value) std::swap(c.column[0], c.column[1]);
    m.area = {static_cast<int>(c.row[0].value), static_cast<int>(c.column[0].value),
              static_cast<int>(c.row[1].value), static_cast<int>(c.column[1].value)};
    m.flags = {c.row[0].absolute, c.column[0].absolute, c.row[1].absolute, c.column[1].absolute};
    return m;
}

std::optional<AreaMatch> matchA1(std::string_view s) {
    Corners c;
    // "A1:B2"
    std::size_t end = readPair(s, 0, [&](std::string_view t, std::size_t i, int k) {
        return readCell(t, i, c.row[k], c.column[k]);
    });
    if (endsReference(s, end)) return toMatch(c, end);
    // "A1"
    end = readCell(s, 0, c.row[0], c.column[0]);
    if (endsReference(s, end)) {
        c.row[1] = c.row[0];
        c.column[1] = c.column[0];
        return toMatch(c, end);
    }
    // "A:C"
    end = readPair(s, 0, [&](std::string_view t, std::size_t i, int k) { return readColumn(t, i, c.column[k]); });
    if (endsReference(s, end)) {
        c.hasRows = false;
        return toMatch(c, end);
    }
    // "3:5"
    end = readPair(s, 0, [&](std::string_view t, std::size_t i, int k) { return readRow(t, i, c.row[k]); });
    if (endsReference(s, end)) {
        c.hasColumns = false;
        return toMatch(c, end);
    }
    return std::nullopt;
}

std::optional<AreaMatch> matchR1C1(std::string_view s, int anchorRow, int anchorColumn) {
    Corners c;
    auto cell = [&](std::string_view t, std::size_t i, int k) {
        i = readR1C1Part(t, i, 'R', anchorRow, c.row[k]);
        return i == std::string_view::npos ? i : readR1C1Part(t, i, 'C', anchorColumn, c.column[k]);
    };
    auto rows = [&](std::string_view t, std::size_t i, int k) { return readR1C1Part(t, i, 'R', anchorRow, c.row[k]); };
    auto columns = [&](std::string_view t, std::size_t i, int k) {
        return readR1C1Part(t, i, 'C', anchorColumn, c.column[k]);
    };
    std::size_t end = readPair(s, 0, cell);
    if (endsReference(s, end)) return toMatch(c, end);
    end = cell(s, 0, 0);
    if (endsReference(s, end)) {
        c.row[1] = c.row[0];
        c.column[1] = c.column[0];
        return toMatch(c, end);
    }
    // Whole rows "R1:R3" or "R2", whole columns "C1:C3" or "C2".
    auto wholeLines = [&](auto read, bool isRows) -> std::optional<AreaMatch> {
        end = readPair(s, 0, read);
        if (!endsReference(s, end)) {
            end = read(s, 0, 0);
            if (isRows) c.row[1] = c.row[0];
            else c.column[1] = c.column[0];
        }
        if (!endsReference(s, end)) return std::nullopt;
        (isRows ? c.hasColumns : c.hasRows) = false;
        return toMatch(c, end);
    };
    if (auto m = wholeLines(rows, true)) return m;
    return wholeLines(columns, false);
}

// ---- printing ----

std::string r1c1Part(char letter, int value, bool absolute, int anchor) {
    if (absolute) return letter + std::to_string(value);
    const int offset = value - anchor;
    return offset == 0 ? std::string(1, letter) : letter + ("[" + std::to_string(offset) + "]");
}

std::string a1Column(int column, bool absolute) { return (absolute ? "$" : "") + columnLetters(column); }
std::string a1Row(int row, bool absolute) { return (absolute ? "$" : "") + std::to_string(row); }

}  // namespace

bool isNameCharacter(char c) {
    return isLetter(c) || isDigit(c) || c == '_' || c == '.' || c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}

bool isNameStart(char c) { return isNameCharacter(c) && !isDigit(c) && c != '.'; }

std::optional<AreaMatch> matchArea(std::string_view text, ReferenceStyle style, int anchorRow, int anchorColumn) {
    return style == ReferenceStyle::A1 ? matchA1(text) : matchR1C1(text, anchorRow, anchorColumn);
}

std::string formatAreaWithFlags(const Area& a, const ReferenceFlags& f, ReferenceStyle style, int anchorRow,
                                int anchorColumn) {
    const bool wholeColumns = a.top == 1 && a.bottom == kMaxRows;
    const bool wholeRows = !wholeColumns && a.left == 1 && a.right == kMaxColumns;
    const bool oneCorner = a.isSingleCell() && f.topAbsolute == f.bottomAbsolute && f.leftAbsolute == f.rightAbsolute;
    if (style == ReferenceStyle::A1) {
        if (wholeColumns) return a1Column(a.left, f.leftAbsolute) + ":" + a1Column(a.right, f.rightAbsolute);
        if (wholeRows) return a1Row(a.top, f.topAbsolute) + ":" + a1Row(a.bottom, f.bottomAbsolute);
        std::string text = a1Column(a.left, f.leftAbsolute) + a1Row(a.top, f.topAbsolute);
        if (!oneCorner) text += ":" + a1Column(a.right, f.rightAbsolute) + a1Row(a.bottom, f.bottomAbsolute);
        return text;
    }
    const std::string top = r1c1Part('R', a.top, f.topAbsolute, anchorRow);
    const std::string bottom = r1c1Part('R', a.bottom, f.bottomAbsolute, anchorRow);
    const std::string left = r1c1Part('C', a.left, f.leftAbsolute, anchorColumn);
    const std::string right = r1c1Part('C', a.right, f.rightAbsolute, anchorColumn);
    if (wholeColumns) return left == right ? left : left + ":" + right;
    if (wholeRows) return top == bottom ? top : top + ":" + bottom;
    return oneCorner ? top + left : top + left + ":" + bottom + right;
}

bool looksLikeReference(std::string_view name) {
    return matchArea(name, ReferenceStyle::A1, 1, 1).has_value() ||
           matchArea(name, ReferenceStyle::R1C1, 1, 1).has_value();
}

}  // namespace host::formula
