// Formula::toText: prints the syntax tree back, with normalised spacing and references in the
// requested style.

#include "host/formula/Address.h"
#include "host/formula/Formula.h"
#include "host/formula/Node.h"
#include "host/formula/Operators.h"
#include "host/formula/ReferenceSyntax.h"

namespace host::formula {

namespace {

class Printer {
public:
    Printer(ReferenceStyle style, int anchorRow, int anchorColumn)
        : style_(style), anchorRow_(anchorRow), anchorColumn_(anchorColumn) {}

    void print(const Node& n) {
        switch (n.kind) {
        case NodeKind::Constant: return printConstant(*n.constant);
        case NodeKind::Reference:
            out_ += sheetPrefix(n.target->workbook, n.target->sheet, n.target->folder);
            out_ += formatAreaWithFlags(n.target->area, n.flags, style_, anchorRow_, anchorColumn_);
            return;
        case NodeKind::Name: out_ += *n.name; return;
        case NodeKind::Missing: return;
        case NodeKind::Function:
            out_ += *n.name + "(";
            for (std::size_t i = 0; i < n.childCount; ++i) {
                if (i > 0) out_ += ",";
                print(n.child(i));
            }
            out_ += ")";
            return;
        case NodeKind::Unary:
            out_ += operatorText(n.op);
            return print(n.child(0));
        case NodeKind::Percent:
        case NodeKind::Binary: return printChain(n);
        case NodeKind::Parentheses:
            out_ += "(";
            print(n.child(0));
            out_ += ")";
            return;
        }
    }

    std::string text() && { return std::move(out_); }

    void printValue(const Variant& v) {
        if (!v.isArray() || v.arrayValue().dimensions() != 1) return printConstant(v);
        const Array& a = v.arrayValue();
        Array row = Array::matrix(1, a.count(1));
        for (long c = 1; c <= a.count(1); ++c) row(1, c) = a(a.lbound(1) + c - 1);
        printArray(row);
    }

private:
    // A chain of binary and percent operators is a left-deep tree as long as the formula: printed
    // with a loop down its left side.
    void printChain(const Node& top) {
        std::vector<const Node*> spine;
        const Node* n = &top;
        for (; n->kind == NodeKind::Binary || n->kind == NodeKind::Percent; n = &n->child(0)) spine.push_back(n);
        print(*n);
        for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
            if ((*it)->kind == NodeKind::Percent) {
                out_ += "%";
            } else {
                out_ += operatorText((*it)->op);
                print((*it)->child(1));
            }
        }
    }

    void printConstant(const Variant& v) {
        if (v.isArray()) return printArray(v.arrayValue());
        if (v.isString()) {
            out_ += '"';
            for (char c : v.stringValue()) out_ += c == '"' ? std::string("\"\"") : std::string(1, c);
            out_ += '"';
        } else if (v.isError()) {
            out_ += cellErrorText(v.errorValue());
        } else {
            out_ += toText(v);  // numbers in General form, TRUE/FALSE
        }
    }

    void printArray(const Array& a) {
        out_ += "{";
        for (long r = a.lbound(1); r <= a.ubound(1); ++r) {
            if (r > a.lbound(1)) out_ += ";";
            for (long c = a.lbound(2); c <= a.ubound(2); ++c) {
                if (c > a.lbound(2)) out_ += ",";
                printConstant(a(r, c));
            }
        }
        out_ += "}";
    }

    ReferenceStyle style_;
    int anchorRow_;
    int anchorColumn_;
    std::string out_ = "=";
};

}  // namespace

const char* operatorText(Operator op) {
    switch (op) {
    case Operator::Add: case Operator::Plus: return "+";
    case Operator::Subtract: case Operator::Negate: return "-";
    case Operator::Multiply: return "*";
    case Operator::Divide: return "/";
    case Operator::Power: return "^";
    case Operator::Concat: return "&";
    case Operator::Equal: return "=";
    case Operator::NotEqual: return "<>";
    case Operator::Less: return "<";
    case Operator::Greater: return ">";
    case Operator::LessEqual: return "<=";
    case Operator::GreaterEqual: return ">=";
    case Operator::Range: return ":";
    }
    return "";
}

std::string Formula::toText(ReferenceStyle style, int anchorRow, int anchorColumn) const {
    Printer printer(style, anchorRow, anchorColumn);
    printer.print(root());
    return std::move(printer).text();
}

std::string constantFormulaText(const Variant& value) {
    Printer printer(ReferenceStyle::A1, 1, 1);
    printer.printValue(value);
    return std::move(printer).text();
}

std::string textLiteral(std::string_view text) { return constantFormulaText(Variant(std::string(text))).substr(1); }

}  // namespace host::formula
