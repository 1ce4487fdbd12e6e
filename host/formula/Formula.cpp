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

Node::~Node() {
    std::vector<std::unique_ptr<Node>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<Node> n = std::move(pending.back());
        pending.pop_back();
        for (auto& child : n->children) pending.push_back(std::move(child));
        n->children.clear();
    }
}

void EvalContext::visitCells(const ReferenceTarget& target, const std::function<void(const Variant&)>& visit) {
    const Variant values = referenceValues(target);
    if (!values.isArray()) return visit(values);
    for (const Variant& v : values.arrayValue().elements()) visit(v);
}

std::vector<ReferenceTarget> Formula::references() const {
    std::vector<ReferenceTarget> targets;
    forEachNode(*root_, [&](const Node& n) {
        if (n.kind == NodeKind::Reference) addOnce(targets, n.target);
    });
    return targets;
}

std::vector<std::string> Formula::names() const {
    std::vector<std::string> names;
    forEachNode(*root_, [&](const Node& n) {
        if (n.kind == NodeKind::Name) addOnce(names, n.name);
    });
    return names;
}

bool Formula::isVolatile() const {
    bool found = false;
    forEachNode(*root_, [&](const Node& n) {
        if (n.kind != NodeKind::Function) return;
        const Builtin* b = findBuiltin(n.name);
        found = found || (b && b->isVolatile);
    });
    return found;
}

bool Formula::callsUserFunction() const {
    bool found = false;
    forEachNode(*root_, [&](const Node& n) { found = found || (n.kind == NodeKind::Function && !findBuiltin(n.name)); });
    return found;
}

}  // namespace host::formula
