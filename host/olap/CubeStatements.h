#pragma once
// The statements that describe a cube and where its figures come from, as local-cube connection
// texts carry them:
//   CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [All Regions] TYPE ALL, LEVEL [Country], LEVEL [City],
//                        DIMENSION [Time] TYPE TIME, LEVEL [Year] TYPE YEAR, ...,
//                        MEASURE [Amount] FUNCTION SUM FORMAT '#,##0', MEASURE [Orders] FUNCTION COUNT)
//   INSERT INTO [Sales] ([Region].[Country], [Region].[City].KEY, [Region].[City].NAME, ...,
//                        [Measures].[Amount], [Measures].[Orders]) SELECT ... FROM ...
// A level of TYPE ALL names the dimension's All member; any other TYPE is accepted and changes
// nothing. In INSERT INTO each column of the SELECT feeds one item of the list, in order: a level
// (its key and name alike), a level's KEY or NAME, or a measure.

#include <string>
#include <vector>

namespace host::olap {

enum class Aggregate { Sum, Count, Min, Max };

struct DimensionDefinition {
    std::string name;
    std::string allName = "All";      // the caption of the All member
    std::vector<std::string> levels;  // below the All member, top first
};

struct MeasureDefinition {
    std::string name;
    Aggregate aggregate = Aggregate::Sum;
    std::string format;
};

struct CubeDefinition {
    std::string name;
    std::vector<DimensionDefinition> dimensions;
    std::vector<MeasureDefinition> measures;
};

// Where the value of one level's key and name, or one measure, comes from: a column of the SELECT
// (from 0), or -1 for none.
struct LevelColumns {
    int key = -1;
    int name = -1;
};

struct InsertDefinition {
    std::vector<std::vector<LevelColumns>> levels;  // [dimension][level]: both columns set (a level fed by
                                                    // one column has the same column for both)
    std::vector<int> measures;                      // [measure]
    int columnCount = 0;                            // columns the SELECT must give
    std::string selectText;                         // the SELECT statement, run on the source
};

// Raises a syntax error naming the position of what is wrong, or a "cannot find" error for a cube,
// dimension, level or measure that the statements do not agree on.
CubeDefinition parseCreateCube(const std::string& statement);
InsertDefinition parseInsertInto(const std::string& statement, const CubeDefinition& cube);

}  // namespace host::olap
