#include "host/formula/Operators.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/base/DateSerial.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

namespace host::formula {

namespace {

[[noreturn]] void raise(CellError error) { throw ErrorValue{error}; }

// The value behind an object (a Range's values); #VALUE! for an object without one.
Variant dereference(const Variant& value) {
    if (!value.objectValue()) raise(CellError::Value);
    try {
        return value.objectValue()->defaultValue();
    } catch (const RuntimeError&) {
        raise(CellError::Value);
    }
}

// Kinds in comparison order.
enum class CompareClass { Number, Text, Boolean };

CompareClass compareClass(const Variant& v) {
    if (v.isString()) return CompareClass::Text;
    if (v.isBoolean()) return CompareClass::Boolean;
    return CompareClass::Number;
}

Variant comparisonOperand(const Variant& v) {
    if (v.isError()) raise(v.errorValue());
    if (v.isObject()) return comparisonOperand(dereference(v));
    if (v.isArray()) raise(CellError::Value);
    return v;
}

int sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

// The number rounded to 15 significant digits, the precision the spreadsheet compares at.
double significant15(double d) {
    if (d == 0 || !std::isfinite(d)) return d;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", d);
    return std::strtod(buffer, nullptr);
}

// The sum x+y (or difference) as the last operation of a formula: 0 when it is below the 15th
// significant digit of the larger operand.
double snappedSum(double result, double x, double y) {
    const double larger = std::max(std::fabs(x), std::fabs(y));
    if (result == 0 || larger == 0 || !std::isfinite(result)) return result;
    // The unit below is at most larger * 1e-14: a result this large stays without computing it.
    if (std::fabs(result) >= larger * 1e-14) return result;
    const double unit = std::pow(10.0, std::floor(std::log10(larger)) - 14);
    return std::fabs(result) < unit / 2 ? 0.0 : result;
}

Variant power(double base, double exponent) {
    if (base == 0 && exponent == 0) return CellError::Num;
    if (base == 0 && exponent < 0) return CellError::Div0;
    return numberResult(std::pow(base, exponent));
}

bool compares(Operator op, int c) {
    switch (op) {
    case Operator::Equal: return c == 0;
    case Operator::NotEqual: return c != 0;
    case Operator::Less: return c < 0;
    case Operator::Greater: return c > 0;
    case Operator::LessEqual: return c <= 0;
    default: return c >= 0;
    }
}

Variant binary(Operator op, const Variant& a, const Variant& b, bool snapToZero) {
    switch (op) {
    case Operator::Concat: {
        std::string left = toText(a);
        return textResult(left + toText(b));
    }
    case Operator::Equal:
    case Operator::NotEqual:
    case Operator::Less:
    case Operator::Greater:
    case Operator::LessEqual:
    case Operator::GreaterEqual: return compares(op, compareValues(a, b));
    default: break;
    }
    // The left operand first: its error is the result when both are errors.
    const double x = toNumber(a);
    const double y = toNumber(b);
    return applyArithmetic(op, x, y, snapToZero);
}

template <class F>
Variant guarded(const F& f) {
    try {
        return f();
    } catch (const ErrorValue& e) {
        return e.error;
    }
}

}  // namespace

double toNumber(const Variant& value) {
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing: return 0;
    case VarType::Boolean: return value.boolValue() ? 1 : 0;
    case VarType::String:
        if (auto n = numberFromText(value.stringValue())) return *n;
        raise(CellError::Value);
    case VarType::Error: raise(value.errorValue());
    case VarType::Object: return toNumber(dereference(value));
    case VarType::Array: raise(CellError::Value);
    default: return value.toDouble();
    }
}

std::string toText(const Variant& value) {
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
    case VarType::Missing: return {};
    case VarType::Boolean: return value.boolValue() ? "TRUE" : "FALSE";
    case VarType::String: return value.stringValue();
    case VarType::Error: raise(value.errorValue());
    case VarType::Object: return toText(dereference(value));
    case VarType::Array: raise(CellError::Value);
    default: {
        const double number = value.toDouble();
        if (!std::isfinite(number)) raise(CellError::Num);
        return numberText(number);
    }
    }
}

bool toLogical(const Variant& value) {
    if (value.isBoolean()) return value.boolValue();
    if (value.isString()) {
        if (StrComp(value.stringValue(), "TRUE", CompareMethod::Text) == 0) return true;
        if (StrComp(value.stringValue(), "FALSE", CompareMethod::Text) == 0) return false;
        raise(CellError::Value);
    }
    return toNumber(value) != 0;
}

std::optional<double> numberFromText(const std::string& text) {
    std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() == '&') return std::nullopt;
    // "(5)" is -5, as accountants write it.
    if (trimmed.size() > 2 && trimmed.front() == '(' && trimmed.back() == ')') {
        const std::string inner = Trim(trimmed.substr(1, trimmed.size() - 2));
        if (inner.empty() || inner.front() == '-' || inner.front() == '+' || inner.front() == '(') return std::nullopt;
        const auto n = numberFromText(inner);
        return n ? std::optional<double>(-*n) : std::nullopt;
    }
    // A currency sign before the digits, after a sign or not: "$5", "-$5", "$-5".
    const std::size_t dollar = trimmed.find('$');
    if (dollar != std::string::npos) {
        if (dollar > 1 || (dollar == 1 && trimmed[0] != '-' && trimmed[0] != '+')) return std::nullopt;
        trimmed.erase(dollar, 1);
        if (trimmed.empty() || trimmed.find('$') != std::string::npos) return std::nullopt;
        return parseNumber(trimmed);
    }
    if (trimmed.back() == '%') {
        const auto n = parseNumber(std::string_view(trimmed).substr(0, trimmed.size() - 1));
        return n ? std::optional<double>(*n / 100) : std::nullopt;
    }
    if (auto n = parseNumber(trimmed)) return n;
    return parseDate(trimmed);
}

std::string numberText(double value) {
    if (value == 0) return "0";
    if (!std::isfinite(value)) return formatDouble(value);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);  // d.ddddddddddddddde±XX: 15 significant digits
    const std::string s = buffer;
    const std::size_t e = s.find('e');
    const int exponent = std::atoi(s.c_str() + e + 1);
    const bool negative = s[0] == '-';
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i)
        if (s[i] != '.') digits += s[i];
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string text = negative ? "-" : "";
    if (exponent >= 15 || exponent < -9) {
        text += digits.substr(0, 1);
        if (digits.size() > 1) text += "." + digits.substr(1);
        char exponentText[16];
        std::snprintf(exponentText, sizeof exponentText, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return text + exponentText;
    }
    if (exponent < 0) return text + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    const auto integerDigits = static_cast<std::size_t>(exponent + 1);
    if (digits.size() <= integerDigits) return text + digits + std::string(integerDigits - digits.size(), '0');
    return text + digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
}

Variant numberResult(double value) {
    if (!std::isfinite(value)) return CellError::Num;
    return value;
}

Variant textResult(std::string text) {
    if (text.size() > static_cast<std::size_t>(kMaxTextLength) && Len(text) > kMaxTextLength) return CellError::Value;
    return text;
}

int compareValues(const Variant& left, const Variant& right) {
    const Variant a = comparisonOperand(left);
    const Variant b = comparisonOperand(right);
    const bool aBlank = a.isEmpty() || a.isMissing() || a.isNull();
    const bool bBlank = b.isEmpty() || b.isMissing() || b.isNull();
    if (aBlank && bBlank) return 0;
    const CompareClass ca = compareClass(aBlank ? b : a);
    const CompareClass cb = compareClass(bBlank ? a : b);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == CompareClass::Text) return StrComp(toText(a), toText(b), CompareMethod::Text);
    const double x = toNumber(a), y = toNumber(b);
    if (x == y) return 0;
    return sign(significant15(x) - significant15(y));
}

Variant applyArithmetic(Operator op, double x, double y, bool snapToZero) {
    switch (op) {
    case Operator::Add: return numberResult(snapToZero ? snappedSum(x + y, x, y) : x + y);
    case Operator::Subtract: return numberResult(snapToZero ? snappedSum(x - y, x, y) : x - y);
    case Operator::Multiply: return numberResult(x * y);
    case Operator::Divide: return y == 0 ? Variant(CellError::Div0) : numberResult(x / y);
    case Operator::Power: return power(x, y);
    default: return CellError::Value;
    }
}

Variant applyBinary(Operator op, const Variant& a, const Variant& b, bool snapToZero) {
    return guarded([&] { return binary(op, a, b, snapToZero); });
}

Variant applyUnary(Operator op, const Variant& a) {
    return guarded([&]() -> Variant {
        if (op == Operator::Plus) return a;
        return numberResult(-toNumber(a));
    });
}

Variant applyPercent(const Variant& a) {
    return guarded([&] { return numberResult(toNumber(a) / 100); });
}

ArrayShape shapeOf(const Array& array) {
    if (array.dimensions() == 1) return {1, array.count(1)};
    if (array.dimensions() == 2) return {array.count(1), array.count(2)};
    return {0, 0};
}

const Variant& elementAt(const Array& array, long row, long column) {
    if (array.dimensions() == 1) return array.at({array.lbound(1) + column});
    return array.at({array.lbound(1) + row, array.lbound(2) + column});
}

Variant lift(std::span<const Variant> arguments, const ElementFunction& function) {
    ArrayShape result;
    bool anyArray = false;
    for (const Variant& a : arguments) {
        if (!a.isArray()) continue;
        const ArrayShape shape = shapeOf(a.arrayValue());
        if (shape.rows == 0 || shape.columns == 0) return CellError::Value;
        anyArray = true;
        result.rows = std::max(result.rows, shape.rows);
        result.columns = std::max(result.columns, shape.columns);
    }
    if (!anyArray) return guarded([&] { return function(arguments); });

    Array out = Array::matrix(result.rows, result.columns);
    std::vector<Variant> elements(arguments.size());
    for (long r = 0; r < result.rows; ++r) {
        for (long c = 0; c < result.columns; ++c) {
            for (std::size_t k = 0; k < arguments.size(); ++k) {
                if (!arguments[k].isArray()) {
                    elements[k] = arguments[k];
                    continue;
                }
                const Array& a = arguments[k].arrayValue();
                const ArrayShape shape = shapeOf(a);
                const long row = shape.rows == 1 ? 0 : r;
                const long column = shape.columns == 1 ? 0 : c;
                elements[k] = row < shape.rows && column < shape.columns ? elementAt(a, row, column)
                                                                          : Variant(CellError::NA);
            }
            out(r + 1, c + 1) = guarded([&] { return function(elements); });
        }
    }
    return out;
}

}  // namespace host::formula
