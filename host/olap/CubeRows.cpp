#include "host/olap/CubeRows.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "host/base/Text.h"

namespace host::olap {

namespace {

// Rows per INSERT statement: long enough to spare the database most of its per-statement work.
constexpr int kRowsPerInsert = 500;

std::optional<double> asNumber(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const std::string trimmed = Trim(*text);
    double value = 0;
    const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (ec != std::errc() || end != trimmed.data() + trimmed.size() || trimmed.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string numberOrNull(std::optional<double> value) { return value ? sqlNumber(*value) : "NULL"; }

// Appends a text so that a sequence of them can be told apart whatever characters they hold.
void appendPart(std::string& key, const std::string& part) {
    const auto size = static_cast<std::uint32_t>(part.size());
    key.append(reinterpret_cast<const char*>(&size), sizeof size).append(part);
}

// Whether two leaves agree on the keys of the levels down to `level`.
template <class Leaf>
bool sameUpTo(const Leaf& a, const Leaf& b, std::size_t level) {
    for (std::size_t l = 0; l <= level; ++l)
        if (a.keys[l] != b.keys[l]) return false;
    return true;
}

// Adds a source row's value to the combined value of a fact row.
void combine(Aggregate aggregate, std::optional<double>& into, const std::optional<double>& value) {
    if (!value) return;
    switch (aggregate) {
    case Aggregate::Count:
    case Aggregate::Sum: into = into.value_or(0) + *value; break;
    case Aggregate::Min: into = into ? std::min(*into, *value) : *value; break;
    case Aggregate::Max: into = into ? std::max(*into, *value) : *value; break;
    }
}

}  // namespace

void RowWriter::add(const std::string& values) {
    text_ += pending_ ? ",(" : "INSERT INTO " + table_ + " VALUES (";
    text_ += values;
    text_ += ')';
    if (++pending_ == kRowsPerInsert) flush();
}

void RowWriter::flush() {
    if (pending_ == 0) return;
    db_.execute(text_);
    text_.clear();
    pending_ = 0;
}

std::uint32_t DimensionLeaves::leafOf(const SourceRow& row) {
    key_.clear();
    for (const LevelColumns& level : levels_) appendPart(key_, row[level.key].value_or(""));
    const auto [at, added] = index_.try_emplace(key_, static_cast<std::uint32_t>(leaves_.size()));
    if (added) {
        Leaf leaf;
        for (const LevelColumns& level : levels_) {
            std::string key = row[level.key].value_or("");
            leaf.names.push_back(row[level.name].value_or(key));
            leaf.numbers.push_back(asNumber(key));
            leaf.keys.push_back(std::move(key));
        }
        leaves_.push_back(std::move(leaf));
    } else {
        Leaf& leaf = leaves_[at->second];
        for (std::size_t l = 0; l < levels_.size(); ++l) {
            const auto& name = row[levels_[l].name];
            const std::string& given = name ? *name : leaf.keys[l];
            if (given < leaf.names[l]) leaf.names[l] = given;
        }
    }
    return at->second;
}

std::vector<long> DimensionLeaves::numberLeaves() {
    order_.resize(leaves_.size());
    for (std::uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
    std::sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Leaf &x = leaves_[a], &y = leaves_[b];
        for (std::size_t l = 0; l < levels_.size(); ++l) {
            const auto &p = x.numbers[l], &q = y.numbers[l];
            if (p.has_value() != q.has_value()) return p.has_value();
            if (p && *p != *q) return *p < *q;
            if (const int c = x.keys[l].compare(y.keys[l]); c != 0) return c < 0;
        }
        return false;
    });
    std::vector<long> number(leaves_.size());
    for (std::size_t n = 0; n < order_.size(); ++n) number[order_[n]] = static_cast<long>(n) + 1;
    index_.clear();
    return number;
}

void DimensionLeaves::write(CubeDatabase& db, const std::string& dimensionTable, RowWriter& members, int dimension,
                            const std::string& allName) const {
    const std::string d = std::to_string(dimension) + ", ";
    members.add(d + "0, 1, " + std::to_string(order_.size()) + ", NULL, " + sqlText(allName) + ", " +
                sqlText(CaseFolded(allName)));
    RowWriter table(db, dimensionTable);
    for (std::size_t n = 0; n < order_.size(); ++n) {
        const Leaf& leaf = leaves_[order_[n]];
        std::string values = std::to_string(n + 1);
        for (std::size_t l = 0; l < levels_.size(); ++l) values += "," + sqlText(leaf.keys[l]) + "," + sqlText(leaf.names[l]);
        table.add(values);
    }
    table.flush();
    // The members of a level: runs of leaves that agree on the keys down to that level.
    for (std::size_t l = 0; l < levels_.size(); ++l) {
        std::size_t first = 0;
        std::string name;
        for (std::size_t n = 0; n < order_.size(); ++n) {
            const Leaf& leaf = leaves_[order_[n]];
            if (n == first || leaf.names[l] < name) name = leaf.names[l];
            const bool last = n + 1 == order_.size() || !sameUpTo(leaf, leaves_[order_[n + 1]], l);
            if (!last) continue;
            members.add(d + std::to_string(l + 1) + ", " + std::to_string(first + 1) + ", " + std::to_string(n + 1) +
                        ", " + sqlText(leaf.keys[l]) + ", " + sqlText(name) + ", " + sqlText(CaseFolded(name)));
            first = n + 1;
        }
    }
}

void Facts::add(const std::vector<std::uint32_t>& leaves, const SourceRow& row, const std::vector<int>& columns) {
    leaves_.insert(leaves_.end(), leaves.begin(), leaves.end());
    for (std::size_t m = 0; m < columns.size(); ++m) {
        const auto& text = row[columns[m]];
        values_.push_back(cube_.measures[m].aggregate == Aggregate::Count ? (text ? 1.0 : 0.0) : asNumber(text));
    }
}

void Facts::write(RowWriter& table, const std::vector<std::vector<long>>& leafNumbers) {
    const std::size_t measures = cube_.measures.size(), rows = leaves_.size() / dimensions_;
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t d = 0; d < dimensions_; ++d) {
            std::uint32_t& leaf = leaves_[r * dimensions_ + d];
            leaf = static_cast<std::uint32_t>(leafNumbers[d][leaf]);
        }
    auto leavesOf = [&](std::uint32_t r) { return leaves_.begin() + static_cast<std::ptrdiff_t>(r * dimensions_); };
    std::vector<std::uint32_t> order(rows);
    for (std::uint32_t r = 0; r < rows; ++r) order[r] = r;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::lexicographical_compare(leavesOf(a), leavesOf(a) + dimensions_, leavesOf(b), leavesOf(b) + dimensions_);
    });
    std::vector<std::optional<double>> combined(measures);
    for (std::size_t first = 0; first < rows;) {
        std::size_t next = first;
        std::fill(combined.begin(), combined.end(), std::nullopt);
        for (; next < rows && std::equal(leavesOf(order[first]), leavesOf(order[first]) + dimensions_, leavesOf(order[next]));
             ++next)
            for (std::size_t m = 0; m < measures; ++m)
                combine(cube_.measures[m].aggregate, combined[m], values_[order[next] * measures + m]);
        std::string row;
        for (std::size_t d = 0; d < dimensions_; ++d) row += std::to_string(leavesOf(order[first])[d]) + ",";
        for (std::size_t m = 0; m < measures; ++m) row += (m ? "," : "") + numberOrNull(combined[m]);
        table.add(row);
        first = next;
    }
    table.flush();
}

}  // namespace host::olap
