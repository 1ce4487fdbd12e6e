// TEXT, CONCATENATE, LEFT, RIGHT, MID, LEN, UPPER, LOWER, VALUE. Lengths and positions count Unicode
// characters.

#include <cmath>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "host/base/RuntimeError.h"
#include "host/formula/Builtins.h"
#include "host/formula/Operators.h"
#include "host/base/Text.h"

namespace host::formula {

namespace {

// A character count argument: truncated, #VALUE! when negative.
std::size_t characterCount(const Variant& v) {
    const double n = std::trunc(toNumber(v));
    if (n < 0) throw ErrorValue{CellError::Value};
    return n > 1e9 ? std::size_t{1000000000} : static_cast<std::size_t>(n);
}

std::size_t optionalCount(std::span<const Variant> a) { return a.size() > 1 ? characterCount(a[1]) : 1; }

// The number-format code applies to numbers, also to texts that read as numbers.
Variant text(std::span<const Variant> a, EvalContext& context) {
    Variant value = a[0];
    if (value.isString())
        if (auto n = numberFromText(value.stringValue())) value = *n;
    try {
        return textResult(context.formatText(value, toText(a[1])));
    } catch (const RuntimeError&) {
        return CellError::Value;  // a format code the formatter rejects
    }
}

Variant concatenate(std::span<const Variant> a, EvalContext&) {
    std::string joined;
    for (const Variant& v : a) {
        joined += toText(v);
        if (joined.size() > static_cast<std::size_t>(4 * kMaxTextLength)) return CellError::Value;
    }
    return textResult(std::move(joined));
}

Variant left(std::span<const Variant> a, EvalContext&) {
    return Left(toText(a[0]), static_cast<long>(optionalCount(a)));
}

Variant right(std::span<const Variant> a, EvalContext&) {
    return Right(toText(a[0]), static_cast<long>(optionalCount(a)));
}

Variant mid(std::span<const Variant> a, EvalContext&) {
    const double start = std::trunc(toNumber(a[1]));
    if (start < 1) return CellError::Value;
    const long first = start > 1e9 ? 1000000000L : static_cast<long>(start);
    return Mid(toText(a[0]), first, static_cast<long>(characterCount(a[2])));
}

Variant length(std::span<const Variant> a, EvalContext&) { return static_cast<double>(Len(toText(a[0]))); }

template <bool Upper>
Variant changeCase(std::span<const Variant> a, EvalContext&) {
    const std::string s = toText(a[0]);
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
    if (Upper) u.toUpper(icu::Locale::getRoot());
    else u.toLower(icu::Locale::getRoot());
    std::string out;
    return u.toUTF8String(out);
}

Variant value(std::span<const Variant> a, EvalContext&) {
    const Variant& v = a[0];
    if (v.isBoolean()) return CellError::Value;
    if (!v.isString()) return numberResult(toNumber(v));
    if (auto n = numberFromText(v.stringValue())) return *n;
    return CellError::Value;
}

const Builtin kBuiltins[] = {
    {"TEXT", 2, 2, text},
    {"CONCATENATE", 1, kAnyNumber, concatenate},
    {"LEFT", 1, 2, left},
    {"RIGHT", 1, 2, right},
    {"MID", 3, 3, mid},
    {"LEN", 1, 1, length},
    {"UPPER", 1, 1, changeCase<true>},
    {"LOWER", 1, 1, changeCase<false>},
    {"VALUE", 1, 1, value},
};

}  // namespace

std::span<const Builtin> textBuiltins() { return kBuiltins; }

}  // namespace host::formula
