// evaluate(): walks the syntax tree, asking the EvalContext for cell values, names and user-defined
// functions. Outside array formulas a multi-cell reference used as an operand is intersected with the
// formula's row or column; array values (constants, functions' results) lift operators element-wise.

#include <variant>

#include "host/base/RuntimeError.h"
#include "host/formula/Builtins.h"
#include "host/formula/Formula.h"
#include "host/formula/Node.h"
#include "host/formula/Operators.h"

namespace host::formula {

namespace {

using Resolved = std::variant<ReferenceTarget, CellError>;

bool sameSheet(const ReferenceTarget& a, const ReferenceTarget& b) {
    return a.folder == b.folder && a.workbook == b.workbook && a.sheet == b.sheet;
}

class Evaluator {
public:
    Evaluator(EvalContext& context, bool asArray) : context_(context), asArray_(asArray) {}

    // The node's value as an operand.
    Variant value(const Node& n) {
        if (isReference(n)) {
            const Resolved r = resolve(n);
            if (const auto* e = std::get_if<CellError>(&r)) return *e;
            const auto& target = std::get<ReferenceTarget>(r);
            return asArray_ ? context_.referenceValues(target) : intersect(target);
        }
        switch (n.kind) {
        case NodeKind::Constant: return n.constant;
        case NodeKind::Missing: return Variant::missing();
        case NodeKind::Parentheses: return value(*n.children[0]);
        case NodeKind::Unary: {
            const Variant operand[] = {value(*n.children[0])};
            return lift(operand, [&](std::span<const Variant> a) { return applyUnary(n.op, a[0]); });
        }
        case NodeKind::Percent: {
            const Variant operand[] = {value(*n.children[0])};
            return lift(operand, [](std::span<const Variant> a) { return applyPercent(a[0]); });
        }
        case NodeKind::Binary: {
            const Variant operands[] = {value(*n.children[0]), value(*n.children[1])};
            return lift(operands, [&](std::span<const Variant> a) { return applyBinary(n.op, a[0], a[1]); });
        }
        case NodeKind::Function: return call(n);
        default: return CellError::Value;
        }
    }

    // The node's value in full: every cell of a reference.
    Variant values(const Node& n) {
        if (!isReference(n)) return value(n);
        const Resolved r = resolve(n);
        if (const auto* e = std::get_if<CellError>(&r)) return *e;
        return context_.referenceValues(std::get<ReferenceTarget>(r));
    }

    static bool isReference(const Node& n) {
        switch (n.kind) {
        case NodeKind::Reference:
        case NodeKind::Name: return true;
        case NodeKind::Binary: return n.op == Operator::Range;
        case NodeKind::Parentheses: return isReference(*n.children[0]);
        default: return false;
        }
    }

private:
    class NodeArguments : public Arguments {
    public:
        NodeArguments(Evaluator& evaluator, const Node& call) : evaluator_(evaluator), call_(call) {}
        std::size_t count() const override { return call_.children.size(); }
        Variant value(std::size_t i) override { return evaluator_.value(*call_.children.at(i)); }
        Variant values(std::size_t i) override { return evaluator_.values(*call_.children.at(i)); }
        bool isReference(std::size_t i) const override { return Evaluator::isReference(*call_.children.at(i)); }

    private:
        Evaluator& evaluator_;
        const Node& call_;
    };

    // The target of a reference expression (isReference): a reference, a defined name, or "a:b".
    Resolved resolve(const Node& n) {
        switch (n.kind) {
        case NodeKind::Reference: return n.target;
        case NodeKind::Parentheses: return resolve(*n.children[0]);
        case NodeKind::Name: {
            auto target = context_.resolveName(n.name);
            if (!target) return CellError::Name;
            return *target;
        }
        default: break;
        }
        // "a:b": the smallest area holding both, when both are references on one sheet.
        if (!isReference(*n.children[0]) || !isReference(*n.children[1])) return CellError::Value;
        const Resolved left = resolve(*n.children[0]);
        const Resolved right = resolve(*n.children[1]);
        if (const auto* e = std::get_if<CellError>(&left)) return *e;
        if (const auto* e = std::get_if<CellError>(&right)) return *e;
        ReferenceTarget a = std::get<ReferenceTarget>(left);
        const auto& b = std::get<ReferenceTarget>(right);
        if (!sameSheet(a, b)) return CellError::Value;
        a.area = {std::min(a.area.top, b.area.top), std::min(a.area.left, b.area.left),
                  std::max(a.area.bottom, b.area.bottom), std::max(a.area.right, b.area.right)};
        return a;
    }

    // The one cell of the area in the formula's row (a one-column area) or column (a one-row area).
    Variant intersect(const ReferenceTarget& target) {
        const Area& a = target.area;
        if (a.isSingleCell()) return context_.referenceValues(target);
        ReferenceTarget cell = target;
        const int row = context_.formulaRow(), column = context_.formulaColumn();
        if (a.left == a.right && row >= a.top && row <= a.bottom) cell.area = Area::cell(row, a.left);
        else if (a.top == a.bottom && column >= a.left && column <= a.right) cell.area = Area::cell(a.top, column);
        else return CellError::Value;
        return context_.referenceValues(cell);
    }

    Variant call(const Node& n) {
        if (const Builtin* builtin = findBuiltin(n.name)) return callBuiltin(*builtin, n);
        const UserFunction* function = context_.findUserFunction(n.name);
        if (!function) return CellError::Name;
        return callUserFunction(*function, n);
    }

    Variant callBuiltin(const Builtin& builtin, const Node& n) {
        if (builtin.raw) {
            NodeArguments arguments(*this, n);
            try {
                return builtin.raw(arguments, context_);
            } catch (const ErrorValue& e) {
                return e.error;
            }
        }
        std::vector<Variant> arguments;
        for (const auto& child : n.children) arguments.push_back(value(*child));
        return lift(arguments, [&](std::span<const Variant> a) -> Variant {
            if (!builtin.receivesErrors)
                for (const Variant& v : a)
                    if (v.isError()) return v;
            return builtin.scalar(a, context_);
        });
    }

    // A reference argument goes as a Range object, an omitted one as Missing, others as values.
    Variant callUserFunction(const UserFunction& function, const Node& n) {
        std::vector<Variant> arguments;
        for (const auto& child : n.children) {
            if (child->kind == NodeKind::Missing) {
                arguments.push_back(Variant::missing());
            } else if (isReference(*child)) {
                const Resolved r = resolve(*child);
                if (const auto* e = std::get_if<CellError>(&r)) arguments.emplace_back(*e);
                else arguments.push_back(context_.referenceObject(std::get<ReferenceTarget>(r)));
            } else {
                arguments.push_back(value(*child));
            }
        }
        try {
            Variant result = function(arguments);
            if (!result.isObject()) return result;
            return result.objectValue() ? result.objectValue()->defaultValue() : Variant(CellError::Value);
        } catch (const RuntimeError&) {
            return CellError::Value;
        }
    }

    EvalContext& context_;
    bool asArray_;
};

// A value as a formula's result: numbers as Double (dates stay dates, infinities are #NUM!), blanks
// as 0.
Variant resultValue(const Variant& v) {
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing: return 0.0;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Currency: return v.toDouble();
    case VarType::Double: return numberResult(v.doubleValue());
    case VarType::Object:
    case VarType::Array: return CellError::Value;
    default: return v;
    }
}

}  // namespace

Variant evaluate(const Formula& formula, EvalContext& context, bool asArray) {
    const Variant v = Evaluator(context, asArray).value(formula.root());
    if (!v.isArray()) return resultValue(v);
    const Array& array = v.arrayValue();
    const ArrayShape shape = shapeOf(array);
    if (shape.rows == 0 || shape.columns == 0) return CellError::Value;
    // Outside array formulas the cell shows the top-left element.
    if (!asArray) return resultValue(elementAt(array, 0, 0));
    Array result = Array::matrix(shape.rows, shape.columns);
    for (long r = 0; r < shape.rows; ++r)
        for (long c = 0; c < shape.columns; ++c) result(r + 1, c + 1) = resultValue(elementAt(array, r, c));
    return result;
}

}  // namespace host::formula
