#include "host/olap/Cube.h"

#include <algorithm>
#include <charconv>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/odbc/OdbcErrors.h"
#include "host/olap/OlapErrors.h"

namespace host::olap {

namespace {

bool sameName(const std::string& a, const std::string& b) { return StrComp(a, b, CompareMethod::Text) == 0; }

long whole(const Variant& v) { return static_cast<long>(numericValue(v).toDouble()); }
std::string text(const Variant& v) { return v.isNull() ? std::string() : v.toString(); }

Aggregate aggregateOf(const std::string& name) {
    if (name == "COUNT") return Aggregate::Count;
    if (name == "MIN") return Aggregate::Min;
    if (name == "MAX") return Aggregate::Max;
    return Aggregate::Sum;
}

// How the stored per-leaf values of a measure combine: counts add up.
const char* combining(Aggregate aggregate) {
    switch (aggregate) {
    case Aggregate::Min: return "MIN";
    case Aggregate::Max: return "MAX";
    case Aggregate::Sum:
    case Aggregate::Count: break;
    }
    return "SUM";
}

// The condition that keeps a lookup to `level` (when >= 0) or to the children of `parent`.
std::string lookupCondition(int level, const Member* parent) {
    if (parent)
        return " AND level_no = " + std::to_string(parent->level + 1) + " AND first_leaf >= " +
               std::to_string(parent->firstLeaf) + " AND last_leaf <= " + std::to_string(parent->lastLeaf);
    return level >= 0 ? " AND level_no = " + std::to_string(level) : std::string();
}

}  // namespace

Variant numericValue(const Variant& value) {
    if (!value.isString()) return value.isNull() || value.isNumber() ? value : Variant(value.toDouble());
    const std::string& s = value.stringValue();
    double number = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), number);
    if (ec != std::errc() || end != s.data() + s.size()) throwCubeError("The database gave \"" + s + "\" for a number.");
    return number;
}

Cube::Cube(CubeDatabase& database, const std::string& name) : database_(database) {
    std::vector<std::vector<Variant>> cubes;
    try {
        cubes = database_.rows("SELECT cube_no, cube_name FROM " + database_.table("olap_cubes"));
    } catch (const RuntimeError& e) {
        // A database without the catalogue holds no cubes; a time-out or a refusal stays what it is.
        if (e.number() != ado::kDriverError) throw;
        throwCannotFind("the cube " + bracketed(name) + " (" + e.description() + ")");
    }
    for (const auto& row : cubes)
        if (sameName(text(row[1]), name)) {
            number_ = static_cast<int>(whole(row[0]));
            name_ = text(row[1]);
        }
    if (name_.empty()) throwCannotFind("the cube " + bracketed(name));
    const std::string ofCube = " WHERE cube_no = " + std::to_string(number_);
    for (const auto& row : database_.rows("SELECT dim_name, all_name, leaf_count FROM " +
                                          database_.table("olap_dimensions") + ofCube + " ORDER BY dim_no"))
        dimensions_.push_back(Dimension{text(row[0]), text(row[1]), {}, whole(row[2])});
    for (const auto& row : database_.rows("SELECT dim_no, level_name FROM " + database_.table("olap_levels") + ofCube +
                                          " ORDER BY dim_no, level_no")) {
        const long d = whole(row[0]) - 1;
        if (d >= 0 && d < static_cast<long>(dimensions_.size())) dimensions_[d].levels.push_back(text(row[1]));
    }
    for (const auto& row : database_.rows("SELECT measure_name, aggregate FROM " + database_.table("olap_measures") +
                                          ofCube + " ORDER BY measure_no"))
        measures_.push_back(Measure{text(row[0]), aggregateOf(text(row[1]))});
}

int Cube::dimensionIndex(const std::string& name) const {
    for (std::size_t i = 0; i < dimensions_.size(); ++i)
        if (sameName(dimensions_[i].name, name)) return static_cast<int>(i);
    return -1;
}

int Cube::measureIndex(const std::string& name) const {
    for (std::size_t i = 0; i < measures_.size(); ++i)
        if (sameName(measures_[i].name, name)) return static_cast<int>(i);
    return -1;
}

int Cube::levelNumber(int dimension, const std::string& name) const {
    const auto& levels = dimensions_[dimension].levels;
    for (std::size_t i = 0; i < levels.size(); ++i)
        if (sameName(levels[i], name)) return static_cast<int>(i) + 1;
    return -1;
}

Member Cube::allMember(int dimension) const {
    const Dimension& d = dimensions_[dimension];
    return Member{dimension, 0, 1, d.leafCount, {}, d.allName};
}

Member Cube::measureMember(int measure) const {
    Member m;
    m.measure = measure;
    m.name = measures_[measure].name;
    return m;
}

std::optional<Member> Cube::findByName(int dimension, const std::string& text, int level, const Member* parent) {
    const std::string condition = lookupCondition(level, parent);
    // The name as written first, then in any letter case; both through the database's indexes.
    if (auto found = firstMember(dimension, condition + " AND member_name = " + sqlText(text))) return found;
    if (holdsFoldedNames())
        return firstMember(dimension, condition + " AND name_folded = " + sqlText(CaseFolded(text)));
    // A cube built without folded names: ASCII names folded by the database, others compared here, as
    // databases fold other letters differently.
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return firstMember(dimension, condition + " AND LOWER(member_name) = LOWER(" + sqlText(text) + ")");
    for (Member& m : members(dimension, condition, false, 0))
        if (sameName(m.name, text)) return std::move(m);
    return std::nullopt;
}

std::optional<Member> Cube::findByKey(int dimension, const std::string& text, int level, const Member* parent) {
    return firstMember(dimension, lookupCondition(level, parent) + " AND member_key = " + sqlText(text));
}

std::vector<Member> Cube::children(const Member& parent) {
    if (parent.dimension == kMeasuresDimension) return {};
    return members(parent.dimension, lookupCondition(-1, &parent));
}

std::vector<Member> Cube::levelMembers(int dimension, int level) {
    return members(dimension, " AND level_no = " + std::to_string(level));
}

std::vector<Member> Cube::allMembers(int dimension) { return members(dimension, "", true); }

std::optional<Member> Cube::firstMember(int dimension, const std::string& condition) {
    std::vector<Member> found = members(dimension, condition, false, 1);
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

bool Cube::holdsFoldedNames() {
    if (!foldedNames_) {
        try {
            database_.rows("SELECT name_folded FROM " + database_.table("olap_" + std::to_string(number_) + "_members") +
                           " WHERE 1 = 0");
            foldedNames_ = true;
        } catch (const RuntimeError& e) {
            if (e.number() != ado::kDriverError) throw;
            foldedNames_ = false;
        }
    }
    return *foldedNames_;
}

std::vector<Member> Cube::members(int dimension, const std::string& condition, bool hierarchyOrder, std::size_t limit) {
    std::vector<Member> result;
    const std::string sql = "SELECT level_no, first_leaf, last_leaf, member_key, member_name FROM " +
                            database_.table("olap_" + std::to_string(number_) + "_members") +
                            " WHERE dim_no = " + std::to_string(dimension + 1) + condition +
                            (hierarchyOrder ? " ORDER BY first_leaf, level_no" : " ORDER BY level_no, first_leaf") +
                            (limit ? " LIMIT " + std::to_string(limit == 1 ? 1 : limit + 1) : std::string());
    const auto rows = database_.rows(sql);
    if (limit > 1 && rows.size() > limit) throwCubeError("A set holds too many members.");
    for (const auto& row : rows)
        result.push_back(Member{dimension, static_cast<int>(whole(row[0])), whole(row[1]), whole(row[2]),
                                text(row[3]), text(row[4])});
    return result;
}

namespace {

// The dimension whose index on the fact table should find the rows: the one constrained to the
// smallest share of its leaves, when that share is small enough for an index to beat a scan of the
// table; -1 for a scan.
int indexedDimension(const std::vector<std::vector<LeafRange>>& ranges, const std::vector<Dimension>& dimensions) {
    constexpr double kLargestIndexedShare = 0.25;
    int best = -1;
    double bestShare = kLargestIndexedShare;
    for (std::size_t d = 0; d < ranges.size(); ++d) {
        if (ranges[d].empty() || dimensions[d].leafCount <= 0) continue;
        double leaves = 0;
        for (const LeafRange& r : ranges[d]) leaves += static_cast<double>(r.last - r.first + 1);
        const double share = leaves / static_cast<double>(dimensions[d].leafCount);
        if (share < bestShare) {
            best = static_cast<int>(d);
            bestShare = share;
        }
    }
    return best;
}

}  // namespace

Variant Cube::aggregate(int measure, const std::vector<std::vector<LeafRange>>& ranges) {
    const int indexed = indexedDimension(ranges, dimensions_);
    std::string where;
    for (std::size_t d = 0; d < ranges.size(); ++d) {
        if (ranges[d].empty()) continue;
        // A unary plus keeps the database from using the column's index.
        const std::string column = (static_cast<int>(d) == indexed ? "d" : "+d") + std::to_string(d + 1);
        std::string anyOf;
        for (const LeafRange& r : ranges[d]) {
            if (!anyOf.empty()) anyOf += " OR ";
            anyOf += column + " BETWEEN " + std::to_string(r.first) + " AND " + std::to_string(r.last);
        }
        where += (where.empty() ? " WHERE (" : " AND (") + anyOf + ")";
    }
    const std::string sql = "SELECT " + std::string(combining(measures_[measure].aggregate)) + "(m" +
                            std::to_string(measure + 1) + ") FROM " +
                            database_.table("olap_" + std::to_string(number_) + "_facts") + where;
    const auto rows = database_.rows(sql);
    return rows.empty() ? Variant::null() : numericValue(rows[0][0]);
}

}  // namespace host::olap
