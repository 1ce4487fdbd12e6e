// What a parsed formula refers to: its references, defined names and volatility.

#include "host/formula/Formula.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "host/formula/Builtins.h"
#include "host/formula/Node.h"
#include "host/formula/Operators.h"

namespace host::formula {

namespace {

template <class T>
void addOnce(std::vector<T>& list, const T& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

}  // namespace

FormulaTree::FormulaTree(std::size_t nodeCount, std::size_t constantCount, std::size_t targetCount,
                         std::size_t nameCount) {
    static_assert(alignof(Node) <= alignof(std::max_align_t) && sizeof(Node) % alignof(Variant) == 0 &&
                  sizeof(Variant) % alignof(ReferenceTarget) == 0 && sizeof(ReferenceTarget) % alignof(std::string) == 0);
    const std::size_t constantsAt = nodeCount * sizeof(Node);
    const std::size_t targetsAt = constantsAt + constantCount * sizeof(Variant);
    const std::size_t namesAt = targetsAt + targetCount * sizeof(ReferenceTarget);
    block_ = ::operator new(namesAt + nameCount * sizeof(std::string));
    auto* bytes = static_cast<std::byte*>(block_);
    // Each span grows as its entries are made, so that the destructor destroys only made ones.
    nodes = {reinterpret_cast<Node*>(bytes), 0};
    constants = {reinterpret_cast<Variant*>(bytes + constantsAt), 0};
    targets = {reinterpret_cast<ReferenceTarget*>(bytes + targetsAt), 0};
    names = {reinterpret_cast<std::string*>(bytes + namesAt), 0};
}

FormulaTree::~FormulaTree() {
    std::destroy(constants.begin(), constants.end());
    std::destroy(targets.begin(), targets.end());
    std::destroy(names.begin(), names.end());
    ::operator delete(block_);
}

namespace {

// Makes the next entry of a table (whose room is there) from the value.
template <class T, class From>
std::size_t append(std::span<T>& table, From&& value) {
    new (table.data() + table.size()) T(std::forward<From>(value));
    table = {table.data(), table.size() + 1};
    return table.size() - 1;
}

}  // namespace

std::shared_ptr<const FormulaTree> FormulaTree::from(ParseNode& root) {
    // The nodes in the order written, to size the tables before filling them. The lists are kept from
    // formula to formula.
    struct Scratch {
        std::vector<ParseNode*> written, pending;
        std::vector<const ParseNode*> queue;
    };
    thread_local Scratch scratch;
    auto& [written, pending, queue] = scratch;
    written.clear();
    pending.assign(1, &root);
    std::size_t constants = 0, targets = 0, names = 0;
    while (!pending.empty()) {
        ParseNode* n = pending.back();
        pending.pop_back();
        written.push_back(n);
        constants += n->kind == NodeKind::Constant;
        targets += n->kind == NodeKind::Reference;
        names += n->kind == NodeKind::Function || n->kind == NodeKind::Name;
        for (auto c = n->children.rbegin(); c != n->children.rend(); ++c) pending.push_back(*c);
    }
    auto tree = std::make_shared<FormulaTree>(written.size(), constants, targets, names);
    for (ParseNode* n : written) {
        switch (n->kind) {
        case NodeKind::Constant: n->slot = append(tree->constants, std::move(n->constant)); break;
        case NodeKind::Reference: n->slot = append(tree->targets, std::move(n->target)); break;
        case NodeKind::Function:
            tree->callsVolatile = tree->callsVolatile || (n->builtin && n->builtin->isVolatile);
            tree->callsUserFunction = tree->callsUserFunction || !n->builtin;
            [[fallthrough]];
        case NodeKind::Name: n->slot = append(tree->names, std::move(n->name)); break;
        default: break;
        }
    }

    auto place = [&](const ParseNode& from) {
        Node n;
        n.kind = from.kind;
        n.op = from.op;
        n.flags = from.flags;
        n.builtin = from.builtin;
        if (from.kind == NodeKind::Constant) n.constant = &tree->constants[from.slot];
        if (from.kind == NodeKind::Reference) n.target = &tree->targets[from.slot];
        if (from.kind == NodeKind::Name || from.kind == NodeKind::Function) n.name = &tree->names[from.slot];
        append(tree->nodes, n);
    };
    // Breadth first, so that the children of each node lie one after another: the nodes are placed
    // in the order of the queue, so a node's place is its place in the queue.
    queue.assign(1, &root);
    place(root);
    for (std::size_t q = 0; q < queue.size(); ++q) {
        const ParseNode* from = queue[q];
        const std::size_t first = tree->nodes.size();
        for (const ParseNode* c : from->children) {
            queue.push_back(c);
            place(*c);
        }
        Node& n = tree->nodes[q];
        n.childCount = static_cast<std::uint32_t>(from->children.size());
        n.firstChild = n.childCount ? &tree->nodes[first] : nullptr;
    }
    return tree;
}

namespace {

// The bytes an evaluation reads first: the nodes and the tables after them, which lie in one block,
// up to the last reference (at most a few cache lines).
std::uint32_t firstBytesOf(const FormulaTree& tree) {
    constexpr std::size_t kMaxBytes = 384;
    const auto* first = reinterpret_cast<const std::byte*>(tree.nodes.data());
    const auto* end = tree.targets.empty() ? reinterpret_cast<const std::byte*>(tree.nodes.data() + tree.nodes.size())
                                           : reinterpret_cast<const std::byte*>(tree.targets.data() + tree.targets.size());
    return static_cast<std::uint32_t>(std::min<std::size_t>(static_cast<std::size_t>(end - first), kMaxBytes));
}

bool plainArithmetic(const Node& root) {
    if (root.kind != NodeKind::Binary || !isArithmetic(root.op)) return false;
    return std::all_of(root.children().begin(), root.children().end(), [](const Node& n) {
        if (n.kind == NodeKind::Constant) return true;
        if (n.kind != NodeKind::Reference) return false;
        const ReferenceTarget& t = *n.target;
        return t.area.isSingleCell() && t.folder.empty() && t.workbook.empty() && t.sheet.empty();
    });
}

}  // namespace

Formula::Formula(std::shared_ptr<const FormulaTree> tree)
    : tree_(std::move(tree)), root_(&tree_->root()), firstBytes_(firstBytesOf(*tree_)),
      isVolatile_(tree_->callsVolatile), callsUserFunction_(tree_->callsUserFunction),
      isPlainArithmetic_(plainArithmetic(*root_)) {}

void EvalContext::visitCells(const ReferenceTarget& target, const VisitCellValues& visit) {
    const Variant values = referenceValues(target);
    if (!values.isArray()) return visitOne(visit, values);
    std::vector<const Variant*> run;
    for (const Variant& v : values.arrayValue().elements()) run.push_back(&v);
    visit(run);
}

const Variant* EvalContext::cellValueInPlace(const ReferenceTarget&) { return nullptr; }

Variant EvalContext::sharedResult(const Builtin&, std::span<const ReferenceTarget>, const std::function<Variant()>& compute) {
    return compute();
}

Variant EvalContext::unknownFunction(const std::string&) { return CellError::Name; }

void Formula::prefetch() const {
    constexpr std::uintptr_t kLine = 64;
    const auto first = reinterpret_cast<std::uintptr_t>(root_);
    for (std::uintptr_t line = first & ~(kLine - 1); line < first + firstBytes_; line += kLine)
        __builtin_prefetch(reinterpret_cast<const void*>(line));
}

std::vector<ReferenceTarget> Formula::references() const {
    std::vector<ReferenceTarget> targets;
    for (const ReferenceTarget& t : tree_->targets) addOnce(targets, t);
    return targets;
}

std::span<const ReferenceTarget> Formula::writtenReferences() const { return tree_->targets; }

std::vector<std::string> Formula::names() const {
    std::vector<std::string> names;
    if (tree_->names.empty()) return names;
    forEachNode(root(), [&](const Node& n) {
        if (n.kind == NodeKind::Name) addOnce(names, *n.name);
    });
    return names;
}

}  // namespace host::formula
