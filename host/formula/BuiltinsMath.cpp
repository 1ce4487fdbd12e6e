// ROUND, ABS, INT, MOD, RAND, NOW, TODAY.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "host/formula/Builtins.h"
#include "host/formula/Operators.h"

namespace host::formula {

namespace {

// x rounded to 15 significant digits, so that 1.005 * 100 (stored as 100.49999...) counts as 100.5,
// the decimal number the user sees.
double toDisplayedDigits(double x) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", x);
    return std::strtod(buffer, nullptr);
}

// Half away from zero, at any number of decimals (negative: tens, hundreds, ...).
Variant round(std::span<const Variant> a, EvalContext&) {
    const double x = toNumber(a[0]);
    const double digits = std::trunc(toNumber(a[1]));
    if (std::fabs(digits) > 308) return x;
    const double scale = std::pow(10.0, std::fabs(digits));
    const double scaled = digits >= 0 ? x * scale : x / scale;
    const double rounded = std::round(toDisplayedDigits(scaled));
    return numberResult(digits >= 0 ? rounded / scale : rounded * scale);
}

Variant absolute(std::span<const Variant> a, EvalContext&) { return numberResult(std::fabs(toNumber(a[0]))); }
Variant integer(std::span<const Variant> a, EvalContext&) { return numberResult(std::floor(toNumber(a[0]))); }

// The remainder with the divisor's sign.
Variant modulo(std::span<const Variant> a, EvalContext&) {
    const double x = toNumber(a[0]);
    const double d = toNumber(a[1]);
    if (d == 0) return CellError::Div0;
    return numberResult(x - d * std::floor(x / d));
}

Variant random(std::span<const Variant>, EvalContext&) {
    static std::mt19937_64 engine{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
}

Variant now(std::span<const Variant>, EvalContext& context) { return context.now(); }
Variant today(std::span<const Variant>, EvalContext& context) { return Date{std::floor(context.now().serial)}; }

const Builtin kBuiltins[] = {
    {"ROUND", 2, 2, round},
    {"ABS", 1, 1, absolute},
    {"INT", 1, 1, integer},
    {"MOD", 2, 2, modulo},
    {"RAND", 0, 0, random, nullptr, false, true},
    {"NOW", 0, 0, now, nullptr, false, true},
    {"TODAY", 0, 0, today, nullptr, false, true},
};

}  // namespace

std::span<const Builtin> mathBuiltins() { return kBuiltins; }

}  // namespace host::formula
