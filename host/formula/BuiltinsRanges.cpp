// SUM, MIN, MAX, AVERAGE, COUNT, COUNTA, TRANSPOSE: functions over ranges and arrays.

#include <algorithm>
#include <numeric>
#include <vector>

#include "host/formula/BuiltinValues.h"
#include "host/formula/Builtins.h"
#include "host/formula/Operators.h"

namespace host::formula {

namespace {

// The numbers an arithmetic aggregate takes: numbers of ranges and arrays (their texts, Booleans and
// blanks skipped) and every argument given directly (texts converted, an omitted one as 0). Errors
// are the result.
std::vector<double> numbers(Arguments& args) {
    std::vector<double> result;
    forEachValue(args, [&](const Variant& v, bool inRange) {
        if (v.isError()) throw ErrorValue{v.errorValue()};
        if (inRange ? v.isNumber() : !v.isEmpty()) result.push_back(toNumber(v));
    });
    return result;
}

Variant sum(Arguments& args, EvalContext&) {
    const auto n = numbers(args);
    return numberResult(std::accumulate(n.begin(), n.end(), 0.0));
}

Variant minimum(Arguments& args, EvalContext&) {
    const auto n = numbers(args);
    return n.empty() ? 0.0 : *std::min_element(n.begin(), n.end());
}

Variant maximum(Arguments& args, EvalContext&) {
    const auto n = numbers(args);
    return n.empty() ? 0.0 : *std::max_element(n.begin(), n.end());
}

Variant average(Arguments& args, EvalContext&) {
    const auto n = numbers(args);
    if (n.empty()) return CellError::Div0;
    return numberResult(std::accumulate(n.begin(), n.end(), 0.0) / static_cast<double>(n.size()));
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

const Builtin kBuiltins[] = {
    {"SUM", 1, kAnyNumber, nullptr, sum},
    {"MIN", 1, kAnyNumber, nullptr, minimum},
    {"MAX", 1, kAnyNumber, nullptr, maximum},
    {"AVERAGE", 1, kAnyNumber, nullptr, average},
    {"COUNT", 1, kAnyNumber, nullptr, count},
    {"COUNTA", 1, kAnyNumber, nullptr, countNonBlank},
    {"TRANSPOSE", 1, 1, nullptr, transpose},
};

}  // namespace

std::span<const Builtin> rangeBuiltins() { return kBuiltins; }

}  // namespace host::formula
