// evaluate(): walks the syntax tree, asking the EvalContext for cell values, names and user-defined
// functions. Outside array formulas a multi-cell reference used as an operand is intersected with the
// formula's row or column; array values (constants, functions' results) lift operators element-wise.

#include <cmath>
#include <functional>
#include <stdexcept>
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
    // readsInPlace: operands may be read where the cells keep them, as the formula calls no function
    // that could change a cell while it is evaluated.
    Evaluator(EvalContext& context, bool asArray, bool readsInPlace)
        : context_(context), asArray_(asArray), readsInPlace_(readsInPlace) {}

    // The node's value as an operand.
    Variant value(const Node& n) {
        if (n.kind == NodeKind::Reference) return asArray_ ? context_.referenceValues(*n.target) : intersect(*n.target);
        if (isReference(n)) {
            const Resolved r = resolve(n);
            if (const auto* e = std::get_if<CellError>(&r)) return *e;
            const auto& target = std::get<ReferenceTarget>(r);
            return asArray_ ? context_.referenceValues(target) : intersect(target);
        }
        switch (n.kind) {
        case NodeKind::Constant: return *n.constant;
        case NodeKind::Missing: return Variant::missing();
        case NodeKind::Parentheses: return value(n.child(0));
        case NodeKind::Unary:
        case NodeKind::Percent:
        case NodeKind::Binary: return chain(n, false);
        case NodeKind::Function: return call(n);
        default: return CellError::Value;
        }
    }

    // The formula's result: as value(), and a sum or difference computed last that is zero at 15
    // significant digits is 0 (0.1+0.2-0.3).
    Variant result(const Node& root) {
        if (!isReference(root) && isOperator(root)) return chain(root, true);
        return value(root);
    }

    // The node's value in full: every cell of a reference.
    Variant values(const Node& n) {
        if (!isReference(n)) return value(n);
        const Resolved r = resolve(n);
        if (const auto* e = std::get_if<CellError>(&r)) return *e;
        return context_.referenceValues(std::get<ReferenceTarget>(r));
    }

    // Visits the values of the cells a reference argument holds (blank cells may be left out), or
    // the argument's value when it is no reference or is an error.
    void visitReference(const Node& n, const VisitCellValues& visit) {
        if (n.kind == NodeKind::Reference) return context_.visitCells(*n.target, visit);
        const Resolved r = resolve(n);
        if (const auto* e = std::get_if<CellError>(&r)) return visitOne(visit, *e);
        context_.visitCells(std::get<ReferenceTarget>(r), visit);
    }

    static bool isReference(const Node& n) {
        switch (n.kind) {
        case NodeKind::Reference:
        case NodeKind::Name: return true;
        case NodeKind::Binary: return n.op == Operator::Range;
        case NodeKind::Parentheses: return isReference(n.child(0));
        default: return false;
        }
    }

private:
    class NodeArguments : public Arguments {
    public:
        NodeArguments(Evaluator& evaluator, const Node& call) : evaluator_(evaluator), call_(call) {}
        std::size_t count() const override { return call_.childCount; }
        Variant value(std::size_t i) override { return evaluator_.value(argument(i)); }
        Variant values(std::size_t i) override { return evaluator_.values(argument(i)); }
        bool isReference(std::size_t i) const override { return Evaluator::isReference(argument(i)); }
        void visitCells(std::size_t i, const VisitCellValues& visit) override {
            evaluator_.visitReference(argument(i), visit);
        }

    private:
        const Node& argument(std::size_t i) const {
            if (i >= call_.childCount) throw std::out_of_range("argument");
            return call_.child(i);
        }

        Evaluator& evaluator_;
        const Node& call_;
    };

    static bool isOperator(const Node& n) {
        return n.kind == NodeKind::Unary || n.kind == NodeKind::Percent ||
               (n.kind == NodeKind::Binary && n.op != Operator::Range);
    }

    // An operator chain (1+1+..., 5%%%, --1) is a tree as deep as the formula is long: evaluated with
    // a loop up its left side, kept on a stack shared by the chains evaluated inside it. `last`: the
    // chain is the whole formula. Operands that are no arrays take the direct way, without lifting.
    // The chain's value so far is *current: an operand read in place or `result`.
    Variant chain(const Node& top, bool last) {
        const std::size_t base = spine_.size();
        const Node* n = &top;
        for (; isOperator(*n); n = &n->child(0)) spine_.push(n);
        Variant result;
        const Variant* current = operand(*n, result);
        for (std::size_t i = spine_.size(); i-- > base; current = &result) {
            const Node& op = *spine_[i];
            if (op.kind == NodeKind::Unary) {
                result = current->isArray() ? liftOne(take(current, result), [&](const Variant& a) { return applyUnary(op.op, a); })
                                            : applyUnary(op.op, *current);
            } else if (op.kind == NodeKind::Percent) {
                result = current->isArray() ? liftOne(take(current, result), [](const Variant& a) { return applyPercent(a); })
                                            : applyPercent(*current);
            } else {
                const bool snap = last && &op == &top;
                Variant rightValue;
                const Variant* right = operand(op.child(1), rightValue);
                if (isArithmetic(op.op) && current->type() == VarType::Double && right->type() == VarType::Double) {
                    // Two numbers: no conversion to ask for.
                    result = applyArithmetic(op.op, current->doubleValue(), right->doubleValue(), snap);
                    continue;
                }
                if (!current->isArray() && !right->isArray()) {
                    result = applyBinary(op.op, *current, *right, snap);
                    continue;
                }
                const Variant operands[] = {take(current, result), take(right, rightValue)};
                result = lift(operands, [&](std::span<const Variant> a) { return applyBinary(op.op, a[0], a[1], snap); });
            }
        }
        spine_.shrink(base);
        return take(current, result);
    }

    // An operand of an operator: a constant and, where the context keeps it, a one-cell reference's
    // value are read in place; any other operand is evaluated into `held`.
    const Variant* operand(const Node& n, Variant& held) {
        if (n.kind == NodeKind::Constant) return n.constant;
        if (readsInPlace_ && !asArray_ && n.kind == NodeKind::Reference && n.target->area.isSingleCell())
            if (const Variant* v = context_.cellValueInPlace(*n.target)) return v;
        held = value(n);
        return &held;
    }

    // The value an operand stands for: moved out of `held`, copied from where it was read in place.
    static Variant take(const Variant* operand, Variant& held) { return operand == &held ? std::move(held) : *operand; }

    template <class F>
    static Variant liftOne(Variant operand, const F& f) {
        const Variant operands[] = {std::move(operand)};
        return lift(operands, [&](std::span<const Variant> a) { return f(a[0]); });
    }

    // The target of a reference expression (isReference): a reference, a defined name, or "a:b".
    Resolved resolve(const Node& n) {
        switch (n.kind) {
        case NodeKind::Reference: return *n.target;
        case NodeKind::Parentheses: return resolve(n.child(0));
        case NodeKind::Name: {
            auto target = context_.resolveName(*n.name);
            if (!target) return CellError::Name;
            return *target;
        }
        default: break;
        }
        // "a:b:c...": the smallest area holding them all, when all are references on one sheet. The
        // chain is walked with a loop, as it can be as long as the formula.
        std::vector<const Node*> spine;
        const Node* left = &n;
        for (; left->kind == NodeKind::Binary; left = &left->child(0)) spine.push_back(left);
        if (!isReference(*left)) return CellError::Value;
        Resolved joined = resolve(*left);
        for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
            const Node& right = (*it)->child(1);
            if (!isReference(right)) return CellError::Value;
            if (std::holds_alternative<CellError>(joined)) continue;
            const Resolved other = resolve(right);
            if (const auto* e = std::get_if<CellError>(&other)) {
                joined = *e;
                continue;
            }
            ReferenceTarget& a = std::get<ReferenceTarget>(joined);
            const auto& b = std::get<ReferenceTarget>(other);
            if (!sameSheet(a, b)) {
                joined = CellError::Value;
                continue;
            }
            a.area = {std::min(a.area.top, b.area.top), std::min(a.area.left, b.area.left),
                      std::max(a.area.bottom, b.area.bottom), std::max(a.area.right, b.area.right)};
        }
        return joined;
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
        if (n.builtin) return callBuiltin(*n.builtin, n);
        // A call qualified by its add-in's file ("'/x/Addin.xla'!F") runs the function of that name.
        const std::size_t qualifier = n.name->rfind('!');
        const std::string unqualified = qualifier == std::string::npos ? std::string() : n.name->substr(qualifier + 1);
        const std::string& name = qualifier == std::string::npos ? *n.name : unqualified;
        const UserFunction* function = context_.findUserFunction(name);
        if (!function) return context_.unknownFunction(name);
        return callUserFunction(*function, n);
    }

    Variant callBuiltin(const Builtin& builtin, const Node& n) {
        if (builtin.raw) {
            auto run = [&]() -> Variant {
                NodeArguments arguments(*this, n);
                try {
                    return builtin.raw(arguments, context_);
                } catch (const ErrorValue& e) {
                    return e.error;
                }
            };
            if (builtin.sharesResult && worthSharing(n)) {
                std::vector<ReferenceTarget> targets;
                targets.reserve(n.childCount);
                for (const Node& child : n.children()) targets.push_back(*child.target);
                return context_.sharedResult(builtin, targets, run);
            }
            return run();
        }
        std::vector<Variant> arguments;
        for (const Node& child : n.children()) arguments.push_back(value(child));
        return lift(arguments, [&](std::span<const Variant> a) -> Variant {
            if (!builtin.receivesErrors)
                for (const Variant& v : a)
                    if (v.isError()) return v;
            return builtin.scalar(a, context_);
        });
    }

    // Plain references over many cells: looking up a result computed before costs less than reading
    // the cells again.
    static bool worthSharing(const Node& call) {
        constexpr long long kMinCells = 1024;
        long long cells = 0;
        for (const Node& child : call.children()) {
            if (child.kind != NodeKind::Reference) return false;
            cells += child.target->area.cellCount();
        }
        return cells >= kMinCells;
    }

    // A reference argument goes as a Range object, an omitted one as Missing, others as values.
    Variant callUserFunction(const UserFunction& function, const Node& n) {
        std::vector<Variant> arguments;
        arguments.reserve(n.children().size());
        for (const Node& child : n.children()) {
            if (child.kind == NodeKind::Missing) {
                arguments.push_back(Variant::missing());
            } else if (isReference(child)) {
                const Resolved r = resolve(child);
                if (const auto* e = std::get_if<CellError>(&r)) arguments.emplace_back(*e);
                else arguments.push_back(context_.referenceObject(std::get<ReferenceTarget>(r)));
            } else {
                arguments.push_back(value(child));
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
    bool readsInPlace_;
    NodeStack spine_;  // the operator chains being evaluated, outermost first
};

// A value as a formula's result: numbers as Double (dates stay dates, infinities are #NUM!), blanks
// as 0.
Variant resultValue(Variant v) {
    switch (v.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing: return 0.0;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Currency: return v.toDouble();
    case VarType::Double: return std::isfinite(v.doubleValue()) ? std::move(v) : Variant(CellError::Num);
    case VarType::Object:
    case VarType::Array: return CellError::Value;
    default: return v;
    }
}

}  // namespace

std::optional<Variant> evaluateArithmetic(const Formula& formula, EvalContext& context) {
    const Node& root = formula.root();
    double operands[2];
    for (std::size_t i = 0; i < 2; ++i) {
        const Node& n = root.child(i);
        const Variant* v = n.kind == NodeKind::Constant ? n.constant : context.cellValueInPlace(*n.target);
        if (!v || v->type() != VarType::Double) return std::nullopt;
        operands[i] = v->doubleValue();
    }
    // The operator is the formula's last operation: a sum or difference snaps to 0 as evaluate()'s.
    return applyArithmetic(root.op, operands[0], operands[1], true);
}

Variant evaluate(const Formula& formula, EvalContext& context, bool asArray) {
    Variant v = Evaluator(context, asArray, !formula.callsUserFunction()).result(formula.root());
    if (!v.isArray()) return resultValue(std::move(v));
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
