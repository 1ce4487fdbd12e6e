#pragma once
// The MDX the engine understands, parsed into a tree:
//   [WITH MEMBER [Measures].[x] AS '<expression>' ...]
//   SELECT <set> ON 0|COLUMNS [, <set> ON 1|ROWS] FROM [cube] [WHERE <tuple>]
// Sets: {a, b, ...}, a * b and CROSSJOIN(a, b) (cross joins), members, tuples (a, b), m.children,
// [Dim].members, [Dim].[Level].members, FILTER(set, condition). Values: numbers, members and tuples
// (the value at that point of the cube), SUM(set[, value]), + - * /, comparisons = <> < > <= >=.
// Members: [Dim] (its All member), [Dim].[Name], [Dim].[Level].[Name], [Dim].&[Key], [Dim].[Level].&[Key],
// [Dim].[Parent].[Child]. Keywords in any letter case. Nesting is limited to kMaxNesting levels.

#include <optional>
#include <string>
#include <vector>

namespace host::olap {

inline constexpr int kMaxNesting = 100;

struct PathSegment {
    std::string text;
    bool isKey = false;  // &[...]
};

struct MdxNode {
    enum class Kind { Number, Path, Braces, Parentheses, Call, Binary, Negate, Children, Members };
    Kind kind = Kind::Number;
    long position = 0;
    double number = 0;
    std::vector<PathSegment> path;  // Path
    std::string name;               // Call: the function in capitals; Binary: the operator
    std::vector<MdxNode> items;     // Braces, Parentheses, Call arguments, Binary and Negate operands,
                                    // the member or path of Children and Members
};

struct CalculatedMeasure {
    std::string name;
    MdxNode expression;
};

struct MdxQuery {
    std::vector<CalculatedMeasure> measures;
    std::optional<MdxNode> columns, rows;
    std::string cube;
    std::optional<MdxNode> slicer;
};

// Raises a syntax error naming the position (a character count from 1) of what is wrong.
MdxQuery parseMdx(const std::string& text);

// The path as MDX writes it: [Dim].[Name].&[Key].
std::string pathText(const std::vector<PathSegment>& path);

}  // namespace host::olap
