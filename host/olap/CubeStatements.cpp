#include "host/olap/CubeStatements.h"

#include <algorithm>

#include "host/base/Text.h"
#include "host/olap/MdxLexer.h"
#include "host/olap/OlapErrors.h"

namespace host::olap {

namespace {

bool sameName(const std::string& a, const std::string& b) { return StrComp(a, b, CompareMethod::Text) == 0; }

template <class Item, class NameOf>
int indexByName(const std::vector<Item>& items, const std::string& name, NameOf nameOf) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (sameName(nameOf(items[i]), name)) return static_cast<int>(i);
    return -1;
}

Aggregate aggregateNamed(TokenCursor& cursor) {
    const Token& word = cursor.peek();
    if (cursor.acceptWord("SUM")) return Aggregate::Sum;
    if (cursor.acceptWord("COUNT")) return Aggregate::Count;
    if (cursor.acceptWord("MIN")) return Aggregate::Min;
    if (cursor.acceptWord("MAX")) return Aggregate::Max;
    throwSyntaxError(word.position, "expected SUM, COUNT, MIN or MAX");
}

void parseCubeItem(TokenCursor& cursor, CubeDefinition& cube) {
    const Token& start = cursor.peek();
    if (cursor.acceptWord("DIMENSION")) {
        DimensionDefinition dimension;
        dimension.name = cursor.expectName();
        if (cursor.acceptWord("TYPE")) cursor.expectName();
        cube.dimensions.push_back(std::move(dimension));
    } else if (cursor.acceptWord("LEVEL")) {
        if (cube.dimensions.empty()) throwSyntaxError(start.position, "a LEVEL before any DIMENSION");
        DimensionDefinition& dimension = cube.dimensions.back();
        std::string name = cursor.expectName();
        bool all = false;
        if (cursor.acceptWord("TYPE")) {
            all = cursor.acceptWord("ALL");
            if (!all) cursor.expectName();  // YEAR, QUARTER, MONTH, DAY, ...
        }
        if (all) {
            if (!dimension.levels.empty()) throwSyntaxError(start.position, "the ALL level must come first");
            dimension.allName = std::move(name);
        } else {
            dimension.levels.push_back(std::move(name));
        }
    } else if (cursor.acceptWord("MEASURE")) {
        MeasureDefinition measure;
        measure.name = cursor.expectName();
        cursor.expectWord("FUNCTION");
        measure.aggregate = aggregateNamed(cursor);
        if (cursor.acceptWord("FORMAT")) {
            if (cursor.peek().kind != Token::Kind::String) cursor.fail("a quoted format");
            measure.format = cursor.next().text;
        }
        cube.measures.push_back(std::move(measure));
    } else {
        cursor.fail("DIMENSION, LEVEL or MEASURE");
    }
}

// The byte offset just past the parenthesis that closes the first parenthesised list of an INSERT
// INTO statement (npos when none closes): brackets and quotes are skipped, so that "(" or ")" inside
// a name does not count. What follows is the source's SELECT, which only the source database reads.
std::size_t endOfColumnList(const std::string& statement) {
    int depth = 0;
    for (std::size_t i = 0; i < statement.size(); ++i) {
        const char c = statement[i];
        if (c == '[' || c == '\'' || c == '"') {
            const char close = c == '[' ? ']' : c;
            for (++i; i < statement.size(); ++i)
                if (statement[i] == close) {
                    if (i + 1 < statement.size() && statement[i + 1] == close) ++i;  // a doubled closer
                    else break;
                }
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0 && --depth == 0) {
            return i + 1;
        }
    }
    return std::string::npos;
}

}  // namespace

CubeDefinition parseCreateCube(const std::string& statement) {
    TokenCursor cursor(tokenize(statement));
    cursor.expectWord("CREATE");
    cursor.expectWord("CUBE");
    CubeDefinition cube;
    cube.name = cursor.expectName();
    cursor.expectSymbol("(");
    do parseCubeItem(cursor, cube);
    while (cursor.acceptSymbol(","));
    cursor.expectSymbol(")");
    if (!cursor.atEnd()) cursor.fail("the end of the statement");
    for (const DimensionDefinition& dimension : cube.dimensions)
        if (dimension.levels.empty()) throwCubeError("The dimension " + bracketed(dimension.name) + " has no level.");
    if (cube.dimensions.empty()) throwCubeError("The cube " + bracketed(cube.name) + " has no dimension.");
    if (cube.measures.empty()) throwCubeError("The cube " + bracketed(cube.name) + " has no measure.");
    return cube;
}

InsertDefinition parseInsertInto(const std::string& statement, const CubeDefinition& cube) {
    const std::size_t listEnd = endOfColumnList(statement);
    TokenCursor cursor(tokenize(std::string_view(statement).substr(0, listEnd)));
    cursor.expectWord("INSERT");
    cursor.expectWord("INTO");
    const std::string cubeName = cursor.expectName();
    if (!sameName(cubeName, cube.name)) throwCannotFind("the cube " + bracketed(cubeName));
    InsertDefinition insert;
    for (const DimensionDefinition& dimension : cube.dimensions) insert.levels.emplace_back(dimension.levels.size());
    insert.measures.assign(cube.measures.size(), -1);

    cursor.expectSymbol("(");
    do {
        const int column = insert.columnCount++;
        const std::string first = cursor.expectName();
        cursor.expectSymbol(".");
        const std::string second = cursor.expectName();
        if (sameName(first, "Measures")) {
            const int m = indexByName(cube.measures, second, [](const MeasureDefinition& x) { return x.name; });
            if (m < 0) throwCannotFind("the measure [Measures]." + bracketed(second));
            insert.measures[m] = column;
            continue;
        }
        const int d = indexByName(cube.dimensions, first, [](const DimensionDefinition& x) { return x.name; });
        if (d < 0) throwCannotFind("the dimension " + bracketed(first));
        const int l = indexByName(cube.dimensions[d].levels, second, [](const std::string& x) { return x; });
        if (l < 0) throwCannotFind("the level " + bracketed(first) + "." + bracketed(second));
        LevelColumns& level = insert.levels[d][l];
        if (cursor.acceptSymbol(".")) {
            if (cursor.acceptWord("KEY")) level.key = column;
            else if (cursor.acceptWord("NAME")) level.name = column;
            else cursor.fail("KEY or NAME");
        } else {
            level.key = level.name = column;
        }
    } while (cursor.acceptSymbol(","));
    cursor.expectSymbol(")");
    if (!cursor.atEnd()) cursor.fail("SELECT");
    const std::size_t select = statement.find_first_not_of(" \t\r\n", listEnd);
    if (select == std::string::npos || StrComp(statement.substr(select, 6), "SELECT", CompareMethod::Text) != 0)
        throwSyntaxError(Len(std::string_view(statement).substr(0, std::min(select, statement.size()))) + 1,
                         "expected SELECT");
    insert.selectText = statement.substr(select);

    for (std::size_t d = 0; d < insert.levels.size(); ++d)
        for (std::size_t l = 0; l < insert.levels[d].size(); ++l) {
            LevelColumns& level = insert.levels[d][l];
            if (level.key < 0 && level.name < 0)
                throwCubeError("INSERT INTO gives no column for the level " + bracketed(cube.dimensions[d].name) +
                               "." + bracketed(cube.dimensions[d].levels[l]) + ".");
            if (level.key < 0) level.key = level.name;  // a level mapped by name only is keyed by its name
            if (level.name < 0) level.name = level.key;
        }
    for (std::size_t m = 0; m < insert.measures.size(); ++m)
        if (insert.measures[m] < 0)
            throwCubeError("INSERT INTO gives no column for the measure [Measures]." +
                           bracketed(cube.measures[m].name) + ".");
    return insert;
}

}  // namespace host::olap
