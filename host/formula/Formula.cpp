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

std::shared_ptr<const FormulaTree> FormulaTree::from(ParseNode& root) {
    auto tree = std::make_shared<FormulaTree>();
    // The nodes in the order written, to size the tables before filling them; nodes then point into
    // them, which no longer move. The lists are kept from formula to formula.
    thread_local std::vector<ParseNode*> written, pending;
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
        for (auto c = n->children.rbegin(); c != n->children.rend(); ++c) pending.push_back(c->get());
    }
    tree->constants.reserve(constants);
    tree->targets.reserve(targets);
    tree->names.reserve(names);
    for (ParseNode* n : written) {
        switch (n->kind) {
        case NodeKind::Constant:
            n->slot = tree->constants.size();
            tree->constants.push_back(std::move(n->constant));
            break;
        case NodeKind::Reference:
            n->slot = tree->targets.size();
            tree->targets.push_back(std::move(n->target));
            break;
        case NodeKind::Function:
            tree->callsVolatile = tree->callsVolatile || (n->builtin && n->builtin->isVolatile);
            tree->callsUserFunction = tree->callsUserFunction || !n->builtin;
            [[fallthrough]];
        case NodeKind::Name:
            n->slot = tree->names.size();
            tree->names.push_back(std::move(n->name));
            break;
        default: break;
        }
    }
    tree->nodes.reserve(written.size());

    auto place = [&](const ParseNode& from) {
        Node& n = tree->nodes.emplace_back();
        n.kind = from.kind;
        n.op = from.op;
        n.flags = from.flags;
        n.builtin = from.builtin;
        if (from.kind == NodeKind::Constant) n.constant = &tree->constants[from.slot];
        if (from.kind == NodeKind::Reference) n.target = &tree->targets[from.slot];
        if (from.kind == NodeKind::Name || from.kind == NodeKind::Function) n.name = &tree->names[from.slot];
    };
    // Breadth first, so that the children of each node lie one after another: the nodes are placed
    // in the order of the queue, so a node's place is its place in the queue.
    thread_local std::vector<const ParseNode*> queue;
    queue.assign(1, &root);
    place(root);
    for (std::size_t q = 0; q < queue.size(); ++q) {
        const ParseNode* from = queue[q];
        const std::size_t first = tree->nodes.size();
        for (const auto& c : from->children) {
            queue.push_back(c.get());
            place(*c);
        }
        Node& n = tree->nodes[q];
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
    for (const ReferenceTarget& t : tree_->targets) addOnce(targets, t);
    return targets;
}

const std::vector<ReferenceTarget>& Formula::writtenReferences() const { return tree_->targets; }

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
