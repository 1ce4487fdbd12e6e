#include "host/olap/MdxEvaluator.h"

#include <algorithm>
#include <map>

#include "host/base/Text.h"
#include "host/olap/OlapErrors.h"

namespace host::olap {

namespace {

using Tuple = std::vector<Member>;
using Value = std::optional<double>;  // nullopt: an empty cell

constexpr int kMaxDepth = 1000;

struct Set {
    std::vector<Tuple> tuples;
    // Present when the set is the cross join of these member lists, each of one dimension.
    std::optional<std::vector<std::vector<Member>>> factors;
};

struct Context {
    std::vector<Member> members;  // one per dimension
    int measure = 0;
};

bool sameName(const std::string& a, const std::string& b) { return StrComp(a, b, CompareMethod::Text) == 0; }

// What a path names: a member, or a whole level or dimension (for .members).
struct Target {
    int dimension = kMeasuresDimension;
    int level = -1;  // -1: the whole dimension
    std::optional<Member> member;
};

// The members of one dimension as ranges of leaves, merged where they touch; nullopt when two overlap.
std::optional<std::vector<LeafRange>> disjointRanges(std::vector<Member> members, long leafCount) {
    std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) { return a.firstLeaf < b.firstLeaf; });
    std::vector<LeafRange> ranges;
    for (const Member& m : members) {
        if (!ranges.empty() && m.firstLeaf <= ranges.back().last) return std::nullopt;
        if (!ranges.empty() && m.firstLeaf == ranges.back().last + 1) ranges.back().last = m.lastLeaf;
        else ranges.push_back(LeafRange{m.firstLeaf, m.lastLeaf});
    }
    if (ranges.size() == 1 && ranges[0].first <= 1 && ranges[0].last >= leafCount) ranges.clear();  // everything
    return ranges;
}

class Evaluator {
public:
    Evaluator(Cube& cube, const MdxQuery& query) : cube_(cube), query_(query) {}

    CellSet run() {
        Context point;
        for (std::size_t d = 0; d < cube_.dimensions().size(); ++d) point.members.push_back(cube_.allMember(static_cast<int>(d)));
        if (query_.slicer) {
            const Set slicer = set(*query_.slicer, point);
            if (slicer.tuples.size() != 1) throwCubeError("The WHERE clause must name one tuple.");
            point = withTuple(point, slicer.tuples[0]);
        }
        if (!query_.columns) throwCubeError("The query has no axis 0 (COLUMNS).");
        const Set columns = set(*query_.columns, point);
        const Set rows = query_.rows ? set(*query_.rows, point) : Set{{Tuple{}}, std::nullopt};
        if (columns.tuples.size() * rows.tuples.size() > kMaxSetSize) throwCubeError("The query asks for too many cells.");

        CellSet result;
        const auto captions = captionColumns(rows.tuples);
        for (const auto& [dimension, level] : captions)
            result.fields.push_back(bracketed(dimensionName(dimension)) + "." + bracketed(levelName(dimension, level)) +
                                    ".[MEMBER_CAPTION]");
        for (const Tuple& column : columns.tuples) {
            std::string name;
            for (const Member& m : column) name += (name.empty() ? "" : ".") + uniqueName(m);
            result.fields.push_back(name);
        }
        for (const Tuple& row : rows.tuples) {
            std::vector<Variant> record;
            for (const auto& [dimension, level] : captions) {
                Variant caption = Variant::null();
                for (const Member& m : row)
                    if (m.dimension == dimension && m.level == level) caption = m.name;
                record.push_back(caption);
            }
            const Context rowPoint = withTuple(point, row);
            for (const Tuple& column : columns.tuples) {
                const Value v = valueAt(withTuple(rowPoint, column));
                record.push_back(v ? Variant(*v) : Variant::null());
            }
            result.records.push_back(std::move(record));
        }
        return result;
    }

private:
    int baseMeasures() const { return static_cast<int>(cube_.measures().size()); }

    std::string dimensionName(int dimension) const {
        return dimension == kMeasuresDimension ? "Measures" : cube_.dimensions()[dimension].name;
    }
    std::string levelName(int dimension, int level) const {
        if (dimension == kMeasuresDimension) return "MeasuresLevel";
        const Dimension& d = cube_.dimensions()[dimension];
        return level == 0 ? d.allName : d.levels[level - 1];
    }
    std::string uniqueName(const Member& m) const {
        if (m.dimension == kMeasuresDimension || m.level == 0) return bracketed(dimensionName(m.dimension)) + "." + bracketed(m.name);
        return bracketed(dimensionName(m.dimension)) + "." + bracketed(levelName(m.dimension, m.level)) + "." +
               bracketed(m.name);
    }

    // The (dimension, level) pairs of the row members, by the dimension's place in the tuples, then level.
    static std::vector<std::pair<int, int>> captionColumns(const std::vector<Tuple>& rows) {
        std::map<int, std::size_t> place;
        std::vector<std::pair<int, int>> pairs;
        for (const Tuple& row : rows)
            for (std::size_t i = 0; i < row.size(); ++i) {
                place.emplace(row[i].dimension, place.size());
                const std::pair<int, int> pair{row[i].dimension, row[i].level};
                if (std::find(pairs.begin(), pairs.end(), pair) == pairs.end()) pairs.push_back(pair);
            }
        std::sort(pairs.begin(), pairs.end(), [&](const auto& a, const auto& b) {
            return std::pair(place[a.first], a.second) < std::pair(place[b.first], b.second);
        });
        return pairs;
    }

    // ---- members ----

    Target resolve(const std::vector<PathSegment>& path, bool levelWanted) {
        const auto cannotFind = [&] { throwCannotFind("the member " + pathText(path) + " in the cube " + bracketed(cube_.name())); };
        if (path[0].isKey) cannotFind();
        if (sameName(path[0].text, "Measures")) {
            if (path.size() == 1) return Target{};
            if (path.size() == 2 && !path[1].isKey) {
                for (std::size_t i = 0; i < query_.measures.size(); ++i)
                    if (sameName(query_.measures[i].name, path[1].text)) {
                        Member m;
                        m.measure = baseMeasures() + static_cast<int>(i);
                        m.name = query_.measures[i].name;
                        return Target{kMeasuresDimension, 1, m};
                    }
                if (const int i = cube_.measureIndex(path[1].text); i >= 0)
                    return Target{kMeasuresDimension, 1, cube_.measureMember(i)};
            }
            throwCannotFind("the measure " + pathText(path) + " in the cube " + bracketed(cube_.name()));
        }
        const int d = cube_.dimensionIndex(path[0].text);
        if (d < 0) throwCannotFind("the dimension " + bracketed(path[0].text) + " in the cube " + bracketed(cube_.name()));
        Target target{d, -1, std::nullopt};
        for (std::size_t i = 1; i < path.size(); ++i) {
            const PathSegment& segment = path[i];
            if (!target.member && target.level < 0 && !segment.isKey) {
                const int level = cube_.levelNumber(d, segment.text);
                if (level > 0 && (i + 1 < path.size() || levelWanted)) {
                    target.level = level;
                    continue;
                }
            }
            const Member* parent = target.member ? &*target.member : nullptr;
            target.member = segment.isKey ? cube_.findByKey(d, segment.text, target.level, parent)
                                          : cube_.findByName(d, segment.text, target.level, parent);
            if (!target.member) cannotFind();
            target.level = target.member->level;
        }
        return target;
    }

    Member member(const MdxNode& node) {
        if (node.kind != MdxNode::Kind::Path) throwSyntaxError(node.position, "a member is expected");
        const Target target = resolve(node.path, false);
        if (target.member) return *target.member;
        return target.dimension == kMeasuresDimension ? cube_.measureMember(0) : cube_.allMember(target.dimension);
    }

    // ---- sets ----

    static Set single(const Member& m) { return Set{{Tuple{m}}, std::vector<std::vector<Member>>{{m}}}; }

    static Set ofMembers(const std::vector<Member>& members) {
        Set s{{}, std::vector<std::vector<Member>>{members}};
        for (const Member& m : members) s.tuples.push_back(Tuple{m});
        return s;
    }

    Set set(const MdxNode& node, const Context& point) {
        Depth depth(*this, node);
        switch (node.kind) {
        case MdxNode::Kind::Path: return single(member(node));
        case MdxNode::Kind::Children: return ofMembers(cube_.children(member(node.items[0])));
        case MdxNode::Kind::Members: return ofMembers(membersOf(node.items[0]));
        case MdxNode::Kind::Braces: return braces(node, point);
        case MdxNode::Kind::Parentheses: {
            if (node.items.size() == 1) return set(node.items[0], point);
            Set s{{Tuple{}}, std::vector<std::vector<Member>>{}};
            for (const MdxNode& item : node.items) s = crossJoin(std::move(s), single(member(item)));
            return s;
        }
        case MdxNode::Kind::Binary:
            if (node.name == "*") return crossJoin(set(node.items[0], point), set(node.items[1], point));
            break;
        case MdxNode::Kind::Call:
            if (node.name == "CROSSJOIN") {
                Set s = set(node.items[0], point);
                for (std::size_t i = 1; i < node.items.size(); ++i) s = crossJoin(std::move(s), set(node.items[i], point));
                return s;
            }
            if (node.name == "FILTER") return filter(node, point);
            break;
        case MdxNode::Kind::Number:
        case MdxNode::Kind::Negate: break;
        }
        throwSyntaxError(node.position, "a set is expected");
    }

    std::vector<Member> membersOf(const MdxNode& node) {
        if (node.kind != MdxNode::Kind::Path) throwSyntaxError(node.position, "a dimension or level is expected");
        const Target target = resolve(node.path, true);
        if (target.member) throwCannotFind("the level " + pathText(node.path) + " in the cube " + bracketed(cube_.name()));
        if (target.dimension == kMeasuresDimension) {
            std::vector<Member> measures;
            for (int i = 0; i < baseMeasures(); ++i) measures.push_back(cube_.measureMember(i));
            return measures;
        }
        return target.level < 0 ? cube_.allMembers(target.dimension) : cube_.levelMembers(target.dimension, target.level);
    }

    Set braces(const MdxNode& node, const Context& point) {
        Set result{{}, std::nullopt};
        std::vector<Member> singles;  // the members, while every item is one member of one dimension
        bool oneDimension = true;
        for (const MdxNode& item : node.items) {
            Set part = set(item, point);
            if (node.items.size() == 1) return part;
            if (part.tuples.size() == 1 && part.tuples[0].size() == 1 &&
                (singles.empty() || singles[0].dimension == part.tuples[0][0].dimension))
                singles.push_back(part.tuples[0][0]);
            else
                oneDimension = false;
            for (Tuple& t : part.tuples) result.tuples.push_back(std::move(t));
            if (result.tuples.size() > kMaxSetSize) throwCubeError("A set holds too many tuples.");
        }
        if (oneDimension && !singles.empty()) result.factors = std::vector<std::vector<Member>>{singles};
        return result;
    }

    Set crossJoin(Set a, Set b) {
        Set result{{}, std::nullopt};
        if (a.tuples.size() * b.tuples.size() > kMaxSetSize) throwCubeError("A cross join gives too many tuples.");
        for (const Tuple& x : a.tuples)
            for (const Tuple& y : b.tuples) {
                Tuple t = x;
                for (const Member& m : y) {
                    for (const Member& n : x)
                        if (n.dimension == m.dimension)
                            throwCubeError("The dimension " + bracketed(dimensionName(m.dimension)) +
                                           " appears twice in a tuple.");
                    t.push_back(m);
                }
                result.tuples.push_back(std::move(t));
            }
        if (a.factors && b.factors) {
            result.factors = std::move(a.factors);
            for (auto& factor : *b.factors) result.factors->push_back(std::move(factor));
        }
        return result;
    }

    Set filter(const MdxNode& node, const Context& point) {
        if (node.items.size() != 2) throwSyntaxError(node.position, "FILTER takes a set and a condition");
        Set source = set(node.items[0], point);
        Set result{{}, std::nullopt};
        for (Tuple& t : source.tuples) {
            const Value v = value(node.items[1], withTuple(point, t));
            if (v && *v != 0) result.tuples.push_back(std::move(t));
        }
        return result;
    }

    // ---- values ----

    static Context withTuple(Context point, const Tuple& tuple) {
        for (const Member& m : tuple) {
            if (m.dimension == kMeasuresDimension) point.measure = m.measure;
            else point.members[m.dimension] = m;
        }
        return point;
    }

    Value value(const MdxNode& node, const Context& point) {
        Depth depth(*this, node);
        switch (node.kind) {
        case MdxNode::Kind::Number: return node.number;
        case MdxNode::Kind::Path: return valueAt(withTuple(point, Tuple{member(node)}));
        case MdxNode::Kind::Parentheses: {
            if (node.items.size() == 1) return value(node.items[0], point);
            Tuple tuple;
            for (const MdxNode& item : node.items) tuple.push_back(member(item));
            return valueAt(withTuple(point, tuple));
        }
        case MdxNode::Kind::Negate: {
            const Value v = value(node.items[0], point);
            return v ? Value(-*v) : v;
        }
        case MdxNode::Kind::Binary:
            if (node.name == "+" || node.name == "-") return additiveChain(node, point);
            return arithmetic(node.name, value(node.items[0], point), value(node.items[1], point));
        case MdxNode::Kind::Call:
            if (node.name == "SUM") {
                if (node.items.size() > 2) throwSyntaxError(node.position, "SUM takes a set and a value");
                return sum(node.items[0], node.items.size() == 2 ? &node.items[1] : nullptr, point);
            }
            break;
        case MdxNode::Kind::Braces:
        case MdxNode::Kind::Children:
        case MdxNode::Kind::Members: break;
        }
        throwSyntaxError(node.position, "a value is expected");
    }

    // A run of "+" and "-" (a long one in expressions built from many masks) without recursing along it.
    Value additiveChain(const MdxNode& node, const Context& point) {
        std::vector<const MdxNode*> chain;  // the operations, the last one first
        const MdxNode* left = &node;
        while (left->kind == MdxNode::Kind::Binary && (left->name == "+" || left->name == "-")) {
            chain.push_back(left);
            left = &left->items[0];
        }
        Value total = value(*left, point);
        for (auto op = chain.rbegin(); op != chain.rend(); ++op)
            total = arithmetic((*op)->name, total, value((*op)->items[1], point));
        return total;
    }

    // Empty cells count as 0 in a sum and in comparisons; a product or quotient with one is empty. A
    // division by 0 fails the query, as the spreadsheet's own division gives an error.
    static Value arithmetic(const std::string& op, Value a, Value b) {
        if (op == "+" || op == "-") {
            if (!a && !b) return std::nullopt;
            return op == "+" ? a.value_or(0) + b.value_or(0) : a.value_or(0) - b.value_or(0);
        }
        if (op == "*") return a && b ? Value(*a * *b) : std::nullopt;
        if (op == "/") {
            if (b && *b == 0) throwCubeError("Division by zero.");
            return a && b ? Value(*a / *b) : std::nullopt;
        }
        const double x = a.value_or(0), y = b.value_or(0);
        bool result = false;
        if (op == "=") result = x == y;
        else if (op == "<>") result = x != y;
        else if (op == "<") result = x < y;
        else if (op == ">") result = x > y;
        else if (op == "<=") result = x <= y;
        else result = x >= y;
        return result ? 1.0 : 0.0;
    }

    Value sum(const MdxNode& setNode, const MdxNode* expression, const Context& point) {
        const Set s = set(setNode, point);
        if (auto atOnce = sumAtOnce(s, expression, point)) return *atOnce;
        Value total;
        for (const Tuple& t : s.tuples) {
            const Context at = withTuple(point, t);
            const Value v = expression ? value(*expression, at) : valueAt(at);
            if (v) total = total.value_or(0) + *v;
        }
        return total;
    }

    // The sum as one aggregate of the database, when the set allows it (see the header).
    std::optional<Value> sumAtOnce(const Set& s, const MdxNode* expression, const Context& point) {
        if (!s.factors || s.tuples.empty()) return std::nullopt;
        int measure = point.measure;
        std::vector<std::vector<LeafRange>> ranges = rangesOf(point);
        for (const std::vector<Member>& factor : *s.factors) {
            if (factor[0].dimension == kMeasuresDimension) {
                if (factor.size() != 1) return std::nullopt;
                measure = factor[0].measure;
                continue;
            }
            auto merged = disjointRanges(factor, cube_.dimensions()[factor[0].dimension].leafCount);
            if (!merged) return std::nullopt;
            ranges[factor[0].dimension] = std::move(*merged);
        }
        if (expression) {
            if (expression->kind != MdxNode::Kind::Path) return std::nullopt;
            const Member m = member(*expression);
            if (m.dimension != kMeasuresDimension) return std::nullopt;
            measure = m.measure;
        }
        if (measure >= baseMeasures()) return std::nullopt;
        const Aggregate aggregate = cube_.measures()[measure].aggregate;
        if (aggregate != Aggregate::Sum && aggregate != Aggregate::Count) return std::nullopt;
        return aggregateOf(measure, ranges);
    }

    std::vector<std::vector<LeafRange>> rangesOf(const Context& point) const {
        std::vector<std::vector<LeafRange>> ranges(point.members.size());
        for (std::size_t d = 0; d < point.members.size(); ++d)
            if (point.members[d].level > 0) ranges[d].push_back(LeafRange{point.members[d].firstLeaf, point.members[d].lastLeaf});
        return ranges;
    }

    Value valueAt(const Context& point) {
        if (point.measure < baseMeasures()) return aggregateOf(point.measure, rangesOf(point));
        const int calculated = point.measure - baseMeasures();
        if (std::find(evaluating_.begin(), evaluating_.end(), calculated) != evaluating_.end())
            throwCubeError("The calculated measure [Measures]." + bracketed(query_.measures[calculated].name) +
                           " refers to itself.");
        evaluating_.push_back(calculated);
        const Value v = value(query_.measures[calculated].expression, point);
        evaluating_.pop_back();
        return v;
    }

    Value aggregateOf(int measure, const std::vector<std::vector<LeafRange>>& ranges) {
        std::string key = std::to_string(measure);
        for (const auto& dimension : ranges) {
            key += "|";
            for (const LeafRange& r : dimension) key += std::to_string(r.first) + "-" + std::to_string(r.last) + ",";
        }
        const auto cached = cache_.find(key);
        if (cached != cache_.end()) return cached->second;
        const Variant v = cube_.aggregate(measure, ranges);
        const Value result = v.isNull() ? std::nullopt : Value(v.toDouble());
        cache_.emplace(std::move(key), result);
        return result;
    }

    // Bounds the depth of evaluation (nested expressions through calculated measures).
    struct Depth {
        Depth(Evaluator& e, const MdxNode& node) : evaluator(e) {
            if (++evaluator.depth_ > kMaxDepth) throwSyntaxError(node.position, "the query is nested too deeply");
        }
        ~Depth() { --evaluator.depth_; }
        Evaluator& evaluator;
    };

    Cube& cube_;
    const MdxQuery& query_;
    std::map<std::string, Value> cache_;
    std::vector<int> evaluating_;
    int depth_ = 0;
};

}  // namespace

CellSet evaluateMdx(Cube& cube, const MdxQuery& query) { return Evaluator(cube, query).run(); }

}  // namespace host::olap
