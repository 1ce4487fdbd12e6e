// IF, IFERROR, AND, OR, NOT, ISERROR, ISNUMBER, ISTEXT, ISBLANK, NA.

#include "host/formula/BuiltinValues.h"
#include "host/formula/Builtins.h"
#include "host/formula/Operators.h"

namespace host::formula {

namespace {

// The condition decides which branch is evaluated; an array condition takes both, element-wise.
Variant ifFunction(Arguments& args, EvalContext&) {
    const Variant condition = args.value(0);
    auto branch = [&](bool which) -> Variant {
        const std::size_t index = which ? 1 : 2;
        if (index < args.count()) return args.value(index);
        return which ? Variant(true) : Variant(false);
    };
    if (!condition.isArray()) return branch(toLogical(condition));
    const Variant operands[] = {condition, branch(true), branch(false)};
    return lift(operands, [](std::span<const Variant> a) { return toLogical(a[0]) ? a[1] : a[2]; });
}

Variant ifError(Arguments& args, EvalContext&) {
    const Variant v = args.value(0);
    if (v.isError()) return args.value(1);
    if (!v.isArray()) return v;
    const Variant operands[] = {v, args.value(1)};
    return lift(operands, [](std::span<const Variant> a) { return a[0].isError() ? a[1] : a[0]; });
}

// The truth values of AND and OR's arguments: Booleans and numbers; texts and blanks in ranges are
// skipped. #VALUE! when there is none.
template <class Combine>
Variant combineLogicals(Arguments& args, bool start, Combine combine) {
    bool result = start, any = false;
    forEachValue(args, [&](const Variant& v, bool inRange) {
        if (v.isError()) throw ErrorValue{v.errorValue()};
        if (inRange && !v.isBoolean() && !v.isNumber()) return;
        if (v.isEmpty()) return;
        result = combine(result, !v.isMissing() && toLogical(v));
        any = true;
    });
    if (!any) return CellError::Value;
    return result;
}

Variant andFunction(Arguments& args, EvalContext&) {
    return combineLogicals(args, true, [](bool a, bool b) { return a && b; });
}
Variant orFunction(Arguments& args, EvalContext&) {
    return combineLogicals(args, false, [](bool a, bool b) { return a || b; });
}

Variant notFunction(std::span<const Variant> a, EvalContext&) { return !toLogical(a[0]); }
Variant isError(std::span<const Variant> a, EvalContext&) { return a[0].isError(); }
Variant isNumber(std::span<const Variant> a, EvalContext&) { return a[0].isNumber(); }
Variant isText(std::span<const Variant> a, EvalContext&) { return a[0].isString(); }
Variant isBlank(std::span<const Variant> a, EvalContext&) { return a[0].isEmpty(); }
Variant notAvailable(std::span<const Variant>, EvalContext&) { return CellError::NA; }

const Builtin kBuiltins[] = {
    {"IF", 2, 3, nullptr, ifFunction},
    {"IFERROR", 2, 2, nullptr, ifError},
    {"AND", 1, kAnyNumber, nullptr, andFunction},
    {"OR", 1, kAnyNumber, nullptr, orFunction},
    {"NOT", 1, 1, notFunction},
    {"ISERROR", 1, 1, isError, nullptr, true},
    {"ISNUMBER", 1, 1, isNumber, nullptr, true},
    {"ISTEXT", 1, 1, isText, nullptr, true},
    {"ISBLANK", 1, 1, isBlank, nullptr, true},
    {"NA", 0, 0, notAvailable},
};

}  // namespace

std::span<const Builtin> logicalBuiltins() { return kBuiltins; }

}  // namespace host::formula
