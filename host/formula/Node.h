#pragma once
// The syntax tree of a parsed formula. Private to host/formula: the parser builds it, the printer,
// the evaluator and Formula's inspection functions walk it.

#include <memory>
#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/formula/Reference.h"

namespace host::formula {

enum class NodeKind {
    Constant,     // number, text, boolean, error value or array constant (an Array)
    Reference,    // one area, possibly qualified by sheet, workbook and folder
    Name,         // a defined name (possibly sheet-qualified, as written)
    Function,     // a call; children are the arguments
    Missing,      // an omitted argument
    Unary,        // prefix - or +
    Percent,      // postfix %
    Binary,       // children[0] op children[1]
    Parentheses,  // kept so that the formula prints as written
};

enum class Operator {
    Add, Subtract, Multiply, Divide, Power, Concat,
    Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual,
    Range,
    Negate, Plus,
};

// The "$" flags of a reference's two corners. Whole columns keep only the column flags meaningful,
// whole rows only the row flags; the others are true.
struct ReferenceFlags {
    bool topAbsolute = false;
    bool leftAbsolute = false;
    bool bottomAbsolute = false;
    bool rightAbsolute = false;
    friend bool operator==(const ReferenceFlags&, const ReferenceFlags&) = default;
};

struct Node {
    NodeKind kind = NodeKind::Constant;
    Variant constant;          // Constant
    ReferenceTarget target;    // Reference
    ReferenceFlags flags;      // Reference
    std::string name;          // Name, Function (built-ins upper case, others as written)
    Operator op = Operator::Add;  // Unary, Binary
    std::vector<std::unique_ptr<Node>> children;

    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // Frees the subtree with a loop: a long operator chain is a deep tree.
    ~Node();
};

// Calls visit(node) for the node and every node below it, without recursion.
template <class Visit>
void forEachNode(const Node& root, const Visit& visit) {
    std::vector<const Node*> pending{&root};
    while (!pending.empty()) {
        const Node* n = pending.back();
        pending.pop_back();
        visit(*n);
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) pending.push_back(it->get());
    }
}

// Spelling of an operator as written in a formula ("+", "<>", ":").
const char* operatorText(Operator op);

}  // namespace host::formula
