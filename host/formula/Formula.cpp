// What a parsed formula refers to: its references, defined names and volatility.

#include "host/formula/Formula.h"

#include <algorithm>

#include "host/formula/Builtins.h"
#include "host/formula/Node.h"

namespace host::formula {

namespace {

template <class T>
void addOnce(std::vector<T>& list, const T& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

}  // namespace

ParseNode::~ParseNode() {
    std::vector<std::unique_ptr<ParseNode>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<ParseNode> n = std::move(pending.back());
        pending.pop_back();
        for (auto& child : n->children) pending.push_back(std::move(child));
        n->children.clear();
    }
}

std::shared_ptr<const FormulaTree> FormulaTree::from(const ParseNode& root) {
    auto tree = std::make_shared<FormulaTree>();
    // Sized first: nodes point into the tables, which must not move.
    std::size_t nodes = 0, constants = 0, targets = 0, names = 0;
    std::vector<const ParseNode*> pending{&root};
    while (!pending.empty()) {
        const ParseNode* n = pending.back();
        pending.pop_back();
        ++nodes;
        constants += n->kind == NodeKind::Constant ? 1 : 0;
        targets += n->kind == NodeKind::Reference ? 1 : 0;
        names += n->kind == NodeKind::Name || n->kind == NodeKind::Function ? 1 : 0;
        if (n->kind == NodeKind::Function) {
            tree->callsVolatile = tree->callsVolatile || (n->builtin && n->builtin->isVolatile);
            tree->callsUserFunction = tree->callsUserFunction || !n->builtin;
        }
        for (const auto& c : n->children) pending.push_back(c.get());
    }
    tree->nodes.reserve(nodes);
    tree->constants.reserve(constants);
    tree->targets.reserve(targets);
    tree->names.reserve(names);

    auto place = [&](const ParseNode& from) {
        Node& n = tree->nodes.emplace_back();
        n.kind = from.kind;
        n.op = from.op;
        n.flags = from.flags;
        n.builtin = from.builtin;
        if (from.kind == NodeKind::Constant) n.constant = &tree->constants.emplace_back(from.constant);
        if (from.kind == NodeKind::Reference) n.target = &tree->targets.emplace_back(from.target);
        if (from.kind == NodeKind::Name || from.kind == NodeKind::Function) n.name = &tree->names.emplace_back(from.name);
    };
    // Breadth first, so that the children of each node lie one after another.
    place(root);
    std::vector<std::pair<const ParseNode*, std::size_t>> queue{{&root, 0}};
    for (std::size_t q = 0; q < queue.size(); ++q) {
        const auto [from, index] = queue[q];
        const std::size_t first = tree->nodes.size();
        for (const auto& c : from->children) {
            queue.emplace_back(c.get(), tree->nodes.size());
            place(*c);
        }
        Node& n = tree->nodes[index];
        n.childCount = static_cast<std::uint32_t>(from->children.size());
        n.firstChild = n.childCount ? &tree->nodes[first] : nullptr;
    }
    return tree;
}

Formula::Formula(std::shared_ptr<const FormulaTree> tree) : tree_(std::move(tree)), root_(&tree_->root()) {}

void EvalContext::visitCells(const ReferenceTarget& target, const std::function<void(const Variant&)>& visit) {
    const Variant values = referenceValues(target);
    if (!values.isArray()) return visit(values);
    for (const Variant& v : values.arrayValue().elements()) visit(v);
}

std::vector<ReferenceTarget> Formula::references() const {
    std::vector<ReferenceTarget> targets;
    if (tree_->targets.empty()) return targets;
    forEachNode(root(), [&](const Node& n) {
        if (n.kind == NodeKind::Reference) addOnce(targets, *n.target);
    });
    return targets;
}

std::vector<std::string> Formula::names() const {
    std::vector<std::string> names;
    if (tree_->names.empty()) return names;
    forEachNode(root(), [&](const Node& n) {
        if (n.kind == NodeKind::Name) addOnce(names, *n.name);
    });
    return names;
}

bool Formula::isVolatile() const { return tree_->callsVolatile; }

bool Formula::callsUserFunction() const { return tree_->callsUserFunction; }

}  // namespace host::formula
