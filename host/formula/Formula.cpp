// What a parsed formula refers to: its references, defined names and volatility.

#include "host/formula/Formula.h"

#include <algorithm>

#include "host/formula/Builtins.h"
#include "host/formula/Node.h"

namespace host::formula {

namespace {

template <class Visit>
void walk(const Node& n, const Visit& visit) {
    visit(n);
    for (const auto& child : n.children) walk(*child, visit);
}

template <class T>
void addOnce(std::vector<T>& list, const T& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

}  // namespace

std::vector<ReferenceTarget> Formula::references() const {
    std::vector<ReferenceTarget> targets;
    walk(*root_, [&](const Node& n) {
        if (n.kind == NodeKind::Reference) addOnce(targets, n.target);
    });
    return targets;
}

std::vector<std::string> Formula::names() const {
    std::vector<std::string> names;
    walk(*root_, [&](const Node& n) {
        if (n.kind == NodeKind::Name) addOnce(names, n.name);
    });
    return names;
}

bool Formula::isVolatile() const {
    bool found = false;
    walk(*root_, [&](const Node& n) {
        if (n.kind != NodeKind::Function) return;
        const Builtin* b = findBuiltin(n.name);
        found = found || (b && b->isVolatile);
    });
    return found;
}

bool Formula::callsUserFunction() const {
    bool found = false;
    walk(*root_, [&](const Node& n) { found = found || (n.kind == NodeKind::Function && !findBuiltin(n.name)); });
    return found;
}

}  // namespace host::formula
