#pragma once
// Which formula nodes of the dependency graph wait to be calculated: a flag by node index, so that
// marking and clearing cost an array access, and the list of the nodes marked, so that a few marks
// among many formulas are found without a walk over all of them.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace host::sheet {

class DirtyNodes {
public:
    using Index = std::uint32_t;

    // Marks the node; false when it was marked already.
    bool mark(Index node) {
        if (node >= flags_.size()) flags_.resize(std::max<std::size_t>(node + 1, flags_.size() * 2), 0);
        if (flags_[node]) return false;
        flags_[node] = 1;
        ++count_;
        list_.push_back(node);
        return true;
    }
    void clear(Index node) {
        if (node >= flags_.size() || !flags_[node]) return;
        flags_[node] = 0;
        if (--count_ == 0) list_.clear();
    }
    bool contains(Index node) const { return node < flags_.size() && flags_[node]; }
    bool empty() const { return count_ == 0; }
    std::size_t count() const { return count_; }
    void reset() {
        flags_.clear();
        list_.clear();
        count_ = 0;
    }

    // The marked nodes, each once, in index order.
    std::vector<Index> sorted() {
        std::vector<Index> nodes;
        nodes.reserve(count_);
        if (list_.size() * 8 >= flags_.size()) {
            // Many of them: one walk over the flags.
            for (Index n = 0; n < flags_.size(); ++n)
                if (flags_[n]) nodes.push_back(n);
        } else {
            // The list may hold nodes cleared since, and nodes cleared and marked again twice.
            for (Index n : list_)
                if (flags_[n]) nodes.push_back(n);
            std::sort(nodes.begin(), nodes.end());
            nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
        }
        list_ = nodes;
        return nodes;
    }

private:
    std::vector<std::uint8_t> flags_;
    std::vector<Index> list_;
    std::size_t count_ = 0;
};

}  // namespace host::sheet
