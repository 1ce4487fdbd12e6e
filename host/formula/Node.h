#pragma once
// The syntax tree of a parsed formula. Private to host/formula: the parser builds it, the printer,
// the evaluator and Formula's inspection functions walk it.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/formula/Reference.h"

namespace host::formula {

struct Builtin;

enum class NodeKind : std::uint8_t {
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

enum class Operator : std::uint8_t {
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

// A node as the parser builds it. The parser's pool owns the nodes; a node points to its children.
struct ParseNode {
    NodeKind kind = NodeKind::Constant;
    Variant constant;          // Constant
    ReferenceTarget target;    // Reference
    ReferenceFlags flags;      // Reference
    std::string name;          // Name, Function (built-ins upper case, others as written)
    const Builtin* builtin = nullptr;  // Function: the built-in called, nullptr for another function
    Operator op = Operator::Add;  // Unary, Binary
    std::vector<ParseNode*> children;
    std::size_t slot = 0;  // its place in the kept form's table of its kind

    ParseNode() = default;
    ParseNode(const ParseNode&) = delete;
    ParseNode& operator=(const ParseNode&) = delete;
};

// A node of a parsed formula as it is kept: small, with its children one after another and its
// constant, reference or name in the formula's tables, so that evaluating a formula reads little
// memory, most of it in one piece.
struct Node {
    NodeKind kind = NodeKind::Constant;
    Operator op = Operator::Add;   // Unary, Binary
    ReferenceFlags flags;          // Reference
    std::uint32_t childCount = 0;
    const Node* firstChild = nullptr;
    const Builtin* builtin = nullptr;        // Function: the built-in called, nullptr for another function
    const Variant* constant = nullptr;       // Constant
    const ReferenceTarget* target = nullptr; // Reference
    const std::string* name = nullptr;       // Name, Function (built-ins upper case, others as written)

    std::span<const Node> children() const { return {firstChild, childCount}; }
    const Node& child(std::size_t i) const { return firstChild[i]; }
};

// The nodes of a formula (the root first) and the tables they point into, all in one block of memory
// (a workbook holds many formulas: few allocations each, and what a formula reads lies together).
// Not copied: the nodes point into it.
struct FormulaTree {
    std::span<Node> nodes;
    std::span<Variant> constants;
    std::span<ReferenceTarget> targets;  // in the order written
    std::span<std::string> names;        // of names and functions, in the order written
    bool callsVolatile = false;      // a volatile built-in (NOW, TODAY, RAND)
    bool callsUserFunction = false;  // a function that is not built in

    // Room for the given numbers of nodes and table entries, none of them made yet.
    FormulaTree(std::size_t nodeCount, std::size_t constantCount, std::size_t targetCount, std::size_t nameCount);
    FormulaTree(const FormulaTree&) = delete;
    FormulaTree& operator=(const FormulaTree&) = delete;
    // Destroys the table entries made so far.
    ~FormulaTree();

    // The kept form of a parsed formula (built without recursion); takes the constants, references and
    // names out of the parsed nodes.
    static std::shared_ptr<const FormulaTree> from(ParseNode& root);
    const Node& root() const { return nodes.front(); }

private:
    void* block_;
};

// A stack of nodes held in place while short (no allocation for the usual formula), on the heap
// beyond.
class NodeStack {
public:
    std::size_t size() const { return size_; }
    void push(const Node* n) {
        if (size_ < kLocal) local_[size_] = n;
        else heap_.push_back(n);
        ++size_;
    }
    const Node* operator[](std::size_t i) const { return i < kLocal ? local_[i] : heap_[i - kLocal]; }
    const Node* pop() {
        const Node* n = (*this)[size_ - 1];
        shrink(size_ - 1);
        return n;
    }
    void shrink(std::size_t size) {
        size_ = size;
        heap_.resize(size > kLocal ? size - kLocal : 0);
    }

private:
    static constexpr std::size_t kLocal = 32;
    std::array<const Node*, kLocal> local_;  // the first size_ are set
    std::vector<const Node*> heap_;
    std::size_t size_ = 0;
};

// Calls visit(node) for the node and every node below it, in the order written, without recursion.
template <class Visit>
void forEachNode(const Node& root, const Visit& visit) {
    NodeStack pending;
    pending.push(&root);
    while (pending.size() > 0) {
        const Node* n = pending.pop();
        visit(*n);
        for (std::size_t i = n->childCount; i-- > 0;) pending.push(&n->child(i));
    }
}

// Spelling of an operator as written in a formula ("+", "<>", ":").
const char* operatorText(Operator op);

}  // namespace host::formula
