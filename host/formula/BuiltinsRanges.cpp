// SUM, MIN, MAX, AVERAGE, COUNT, COUNTA, TRANSPOSE: functions over ranges and arrays.

#include <functional>
#include <optional>

#include "host/formula/BuiltinValues.h"
#include "host/formula/Builtins.h"
#include "host/formula/Operators.h"

namespace host::formula {

namespace {

// Calls take(number) for every number an arithmetic aggregate takes, in order: numbers of ranges and
// arrays (their texts, Booleans and blanks skipped) and every argument given directly (texts
// converted, an omitted one as 0). Errors are the result.
template <class Take>
void forEachNumber(Arguments& args, const Take& take) {
    forEachValue(args, [&](const Variant& v, bool inRange) {
        const VarType type = v.type();
        if (type == VarType::Double) return take(v.doubleValue());  // the usual cell, taken directly
        if (type == VarType::Error) throw ErrorValue{v.errorValue()};
        if (inRange ? v.isNumber() : type != VarType::Empty) take(toNumber(v));
    });
}

Variant sum(Arguments& args, EvalContext&) {
    double total = 0;
    forEachNumber(args, [&](double x) { total += x; });
    return numberResult(total);
}

// The smallest (or largest) number; 0 without any.
template <class Before>
Variant extreme(Arguments& args, const Before& before) {
    std::optional<double> found;
    forEachNumber(args, [&](double x) {
        if (!found || before(x, *found)) found = x;
    });
    return found.value_or(0.0);
}

Variant minimum(Arguments& args, EvalContext&) { return extreme(args, std::less<double>()); }
Variant maximum(Arguments& args, EvalContext&) { return extreme(args, std::greater<double>()); }

Variant average(Arguments& args, EvalContext&) {
    double total = 0;
    long long count = 0;
    forEachNumber(args, [&](double x) {
        total += x;
        ++count;
    });
    if (count == 0) return CellError::Div0;
    return numberResult(total / static_cast<double>(count));
}

// Numbers (ranges) or values that read as numbers (direct arguments); errors are not counted.
Variant count(Arguments& args, EvalContext&) {
    double n = 0;
    forEachValue(args, [&](const Variant& v, bool inRange) {
        const bool counts = v.isNumber() ||
                            (!inRange && (v.isMissing() || v.isBoolean() ||
                                          (v.isString() && numberFromText(v.stringValue()))));
        n += counts ? 1 : 0;
    });
    return n;
}

Variant countNonBlank(Arguments& args, EvalContext&) {
    double n = 0;
    forEachValue(args, [&](const Variant& v, bool) { n += v.isEmpty() ? 0 : 1; });
    return n;
}

Variant transpose(Arguments& args, EvalContext&) {
    const Variant v = args.values(0);
    if (!v.isArray()) return v;
    const Array& source = v.arrayValue();
    const ArrayShape shape = shapeOf(source);
    if (shape.rows == 0 || shape.columns == 0) return CellError::Value;
    Array result = Array::matrix(shape.columns, shape.rows);
    for (long r = 0; r < shape.rows; ++r)
        for (long c = 0; c < shape.columns; ++c) result(c + 1, r + 1) = elementAt(source, r, c);
    return result;
}

// The aggregates give one result for identical references.
constexpr bool kShared = true;

const Builtin kBuiltins[] = {
    {"SUM", 1, kAnyNumber, nullptr, sum, false, false, kShared},
    {"MIN", 1, kAnyNumber, nullptr, minimum, false, false, kShared},
    {"MAX", 1, kAnyNumber, nullptr, maximum, false, false, kShared},
    {"AVERAGE", 1, kAnyNumber, nullptr, average, false, false, kShared},
    {"COUNT", 1, kAnyNumber, nullptr, count, false, false, kShared},
    {"COUNTA", 1, kAnyNumber, nullptr, countNonBlank, false, false, kShared},
    {"TRANSPOSE", 1, 1, nullptr, transpose},
};

}  // namespace

std::span<const Builtin> rangeBuiltins() { return kBuiltins; }

}  // namespace host::formula
