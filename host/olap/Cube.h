#pragma once
// One cube of a cube database (layout in CubeDatabase.h): its dimensions, levels and measures, the
// lookup of its members, and the aggregate of a measure over ranges of leaves, computed by the database.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/olap/CubeDatabase.h"
#include "host/olap/CubeStatements.h"

namespace host::olap {

inline constexpr int kMeasuresDimension = -1;
// The most members, tuples or cells one query may hold: beyond it the query fails instead of taking
// memory out of proportion.
inline constexpr std::size_t kMaxSetSize = 100'000;

struct Dimension {
    std::string name;
    std::string allName;
    std::vector<std::string> levels;  // below the All member, top first
    long leafCount = 0;
};

struct Measure {
    std::string name;
    Aggregate aggregate = Aggregate::Sum;
};

// A member of a dimension, or of the measures (dimension kMeasuresDimension).
struct Member {
    int dimension = kMeasuresDimension;
    int level = 0;  // 0: the All member
    long firstLeaf = 1, lastLeaf = 0;
    std::string key, name;
    int measure = -1;  // for a measure: its index among the cube's measures, then the query's calculated ones
};

// Leaves firstLeaf..lastLeaf of one dimension.
struct LeafRange {
    long first = 0, last = 0;
};

class Cube {
public:
    // Reads the description of the cube named `name` (letters in any case). Raises "cannot find" for
    // a cube the database does not hold.
    Cube(CubeDatabase& database, const std::string& name);

    const std::string& name() const { return name_; }
    const std::vector<Dimension>& dimensions() const { return dimensions_; }
    const std::vector<Measure>& measures() const { return measures_; }

    // Indexes by name (letters in any case), -1 when there is none.
    int dimensionIndex(const std::string& name) const;
    int measureIndex(const std::string& name) const;
    // Level number (1 = the top level below All), -1 when there is none.
    int levelNumber(int dimension, const std::string& name) const;

    Member allMember(int dimension) const;
    Member measureMember(int measure) const;

    // The first member in level order (then leaf order) whose name (letters in any case) or key
    // (exactly) is `text`: at `level` only when it is >= 0, among the children of `parent` when given.
    std::optional<Member> findByName(int dimension, const std::string& text, int level,
                                     const Member* parent = nullptr);
    std::optional<Member> findByKey(int dimension, const std::string& text, int level,
                                    const Member* parent = nullptr);

    std::vector<Member> children(const Member& parent);
    std::vector<Member> levelMembers(int dimension, int level);
    // All members of a dimension, each parent before its children.
    std::vector<Member> allMembers(int dimension);

    // The aggregate of a base measure over the fact rows whose leaves lie, for each dimension, in one
    // of its ranges (no ranges: the whole dimension). Null when no fact row qualifies.
    Variant aggregate(int measure, const std::vector<std::vector<LeafRange>>& ranges);

private:
    // The members meeting `condition` in level order, or in hierarchy order (parents first): at most
    // `limit` of them (0: no limit), more than that failing as a set too large, except for a limit of 1.
    std::vector<Member> members(int dimension, const std::string& condition, bool hierarchyOrder = false,
                                std::size_t limit = kMaxSetSize);
    std::optional<Member> firstMember(int dimension, const std::string& condition);
    // Whether the members are stored with their case-folded names (every cube built since they are).
    bool holdsFoldedNames();

    CubeDatabase& database_;
    std::optional<bool> foldedNames_;
    std::string name_;
    int number_ = 0;
    std::vector<Dimension> dimensions_;
    std::vector<Measure> measures_;
};

// A database value as a number (texts read as numbers); Null stays Null.
Variant numericValue(const Variant& value);

}  // namespace host::olap
