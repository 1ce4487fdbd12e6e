#pragma once
// The rows of a cube gathered from its source in one pass, and written into the cube database
// (layout in CubeDatabase.h) with multi-row inserts: the leaves and members of each dimension, and
// the fact rows.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/olap/CubeDatabase.h"
#include "host/olap/CubeStatements.h"
#include "host/olap/SourceRows.h"

namespace host::olap {

// Writes rows into one table with multi-row INSERT statements.
class RowWriter {
public:
    RowWriter(CubeDatabase& database, std::string table) : db_(database), table_(std::move(table)) {}

    // Adds a row: its values as SQL literals, separated by ",".
    void add(const std::string& values);
    // Writes the rows added since the last flush.
    void flush();

private:
    CubeDatabase& db_;
    std::string table_;
    std::string text_;
    int pending_ = 0;
};

// The leaves of one dimension as the source rows give them: each distinct combination of level keys
// (a missing key is the empty key), with the smallest name met for each level (the key when the row
// gives no name).
class DimensionLeaves {
public:
    explicit DimensionLeaves(const std::vector<LevelColumns>& levels) : levels_(levels) {}

    // The number (from 0, in the order first met) of the row's leaf.
    std::uint32_t leafOf(const SourceRow& row);
    // Numbers the leaves from 1 in key order, level by level: numeric keys by value before the
    // others, which go by their text. Gives the number of each leaf in the order first met.
    std::vector<long> numberLeaves();
    // Writes the dimension table and the dimension's members (after numberLeaves).
    void write(CubeDatabase& db, const std::string& dimensionTable, RowWriter& members, int dimension,
               const std::string& allName) const;

private:
    struct Leaf {
        std::vector<std::string> keys, names;
        std::vector<std::optional<double>> numbers;
    };

    const std::vector<LevelColumns>& levels_;
    std::vector<Leaf> leaves_;
    std::unordered_map<std::string, std::uint32_t> index_;
    std::vector<std::uint32_t> order_;  // the leaves in key order
    std::string key_;
};

// The fact rows: the leaves and measure values of the source rows, sorted by their leaves once all
// are read, so that the rows of one combination of leaves combine into one, each measure by its
// function (COUNT as the count of values given).
class Facts {
public:
    Facts(const CubeDefinition& cube, std::size_t dimensions) : cube_(cube), dimensions_(dimensions) {}

    // A source row: its leaf in each dimension (DimensionLeaves::leafOf) and its measures' columns.
    void add(const std::vector<std::uint32_t>& leaves, const SourceRow& row, const std::vector<int>& columns);
    // Writes the combined rows with each dimension's leaf numbers (DimensionLeaves::numberLeaves).
    void write(RowWriter& table, const std::vector<std::vector<long>>& leafNumbers);

private:
    const CubeDefinition& cube_;
    std::size_t dimensions_;
    std::vector<std::uint32_t> leaves_;          // [row * dimensions + dimension]
    std::vector<std::optional<double>> values_;  // [row * measures + measure]
};

}  // namespace host::olap
