#include "host/base/Variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "host/base/DateSerial.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

namespace host {

namespace {

constexpr int kInvalidUseOfNull = 94;

[[noreturn]] void typeMismatch() { throw RuntimeError(err::TypeMismatch); }
[[noreturn]] void invalidUseOfNull() { throw RuntimeError(kInvalidUseOfNull, "Invalid use of Null"); }

// Round half to even, as the runtime's CLng and CInt do.
double roundHalfEven(double x) {
    const double r = std::nearbyint(x);  // the default rounding mode is to nearest, ties to even
    return r;
}

struct ErrorName {
    CellError error;
    const char* text;
};
constexpr ErrorName kErrorNames[] = {
    {CellError::Null, "#NULL!"}, {CellError::Div0, "#DIV/0!"}, {CellError::Value, "#VALUE!"},
    {CellError::Ref, "#REF!"},   {CellError::Name, "#NAME?"},  {CellError::Num, "#NUM!"},
    {CellError::NA, "#N/A"},     {CellError::GettingData, "#GETTING_DATA"},
};

}  // namespace

Variant Object::defaultValue() const { throw RuntimeError(err::NoSuchMember); }

std::string cellErrorText(CellError e) {
    for (const auto& n : kErrorNames)
        if (n.error == e) return n.text;
    return "#VALUE!";
}

std::optional<CellError> parseCellError(std::string_view text) {
    for (const auto& n : kErrorNames)
        if (StrComp(text, n.text, CompareMethod::Text) == 0) return n.error;
    return std::nullopt;
}

Currency Currency::fromDouble(double value) {
    const double scaled = roundHalfEven(value * 10000.0);
    if (!(std::fabs(scaled) < 9.2233720368547758e18)) throw RuntimeError(err::Overflow);
    return Currency{static_cast<std::int64_t>(scaled)};
}

// ---- Variant ----

Variant Variant::null() {
    Variant v;
    v.v_ = NullTag{};
    return v;
}

Variant Variant::missing() {
    Variant v;
    v.v_ = MissingTag{};
    return v;
}

Variant Variant::integer(std::int16_t value) {
    Variant v;
    v.v_ = value;
    return v;
}

Variant::Variant(Array array) : v_(std::make_shared<Array>(std::move(array))) {}

bool Variant::isNumber() const {
    switch (type()) {
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date: return true;
    default: return false;
    }
}

bool Variant::boolValue() const {
    if (auto p = std::get_if<bool>(&v_)) return *p;
    typeMismatch();
}

std::int32_t Variant::longValue() const {
    if (auto p = std::get_if<std::int32_t>(&v_)) return *p;
    if (auto p = std::get_if<std::int16_t>(&v_)) return *p;
    typeMismatch();
}

double Variant::doubleValue() const {
    if (auto p = std::get_if<double>(&v_)) return *p;
    typeMismatch();
}

const std::string& Variant::stringValue() const {
    if (auto p = std::get_if<std::string>(&v_)) return *p;
    typeMismatch();
}

CellError Variant::errorValue() const {
    if (auto p = std::get_if<CellError>(&v_)) return *p;
    typeMismatch();
}

const ObjectPtr& Variant::objectValue() const {
    if (auto p = std::get_if<ObjectPtr>(&v_)) return *p;
    typeMismatch();
}

const Array& Variant::arrayValue() const {
    if (auto p = std::get_if<std::shared_ptr<Array>>(&v_)) return **p;
    typeMismatch();
}

Array& Variant::arrayValue() {
    auto p = std::get_if<std::shared_ptr<Array>>(&v_);
    if (!p) typeMismatch();
    if (p->use_count() > 1) *p = std::make_shared<Array>(**p);
    return **p;
}

double Variant::toDouble() const {
    switch (type()) {
    case VarType::Empty: return 0.0;
    case VarType::Null: invalidUseOfNull();
    case VarType::Boolean: return boolValue() ? -1.0 : 0.0;
    case VarType::Integer:
    case VarType::Long: return longValue();
    case VarType::Double: return doubleValue();
    case VarType::Currency: return std::get<Currency>(v_).toDouble();
    case VarType::Date: return std::get<Date>(v_).serial;
    case VarType::String: {
        if (auto n = parseNumber(stringValue())) return *n;
        if (auto d = parseDate(stringValue())) return *d;
        typeMismatch();
    }
    case VarType::Object: {
        const auto& o = objectValue();
        if (!o) throw RuntimeError(err::ObjectNotSet);
        return o->defaultValue().toDouble();
    }
    default: typeMismatch();
    }
}

std::int32_t Variant::toLong() const {
    if (type() == VarType::Long || type() == VarType::Integer) return longValue();
    const double r = roundHalfEven(toDouble());
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw RuntimeError(err::Overflow);
    return static_cast<std::int32_t>(r);
}

std::int16_t Variant::toInteger() const {
    const double r = roundHalfEven(toDouble());
    if (!(r >= -32768.0 && r <= 32767.0)) throw RuntimeError(err::Overflow);
    return static_cast<std::int16_t>(r);
}

bool Variant::toBool() const {
    switch (type()) {
    case VarType::Boolean: return boolValue();
    case VarType::String: {
        const std::string& s = stringValue();
        if (StrComp(Trim(s), "True", CompareMethod::Text) == 0) return true;
        if (StrComp(Trim(s), "False", CompareMethod::Text) == 0) return false;
        if (auto n = parseNumber(s)) return *n != 0.0;
        typeMismatch();
    }
    default: return toDouble() != 0.0;
    }
}

std::string Variant::toString() const {
    switch (type()) {
    case VarType::Empty: return {};
    case VarType::Null: invalidUseOfNull();
    case VarType::Boolean: return boolValue() ? "True" : "False";
    case VarType::Integer:
    case VarType::Long: return std::to_string(longValue());
    case VarType::Double: return formatDouble(doubleValue());
    case VarType::Currency: {
        // Up to four decimals, trailing zeros dropped.
        const std::int64_t s = std::get<Currency>(v_).scaled;
        const std::uint64_t a = s < 0 ? 0 - static_cast<std::uint64_t>(s) : static_cast<std::uint64_t>(s);
        std::string text = (s < 0 ? "-" : "") + std::to_string(a / 10000);
        std::uint64_t frac = a % 10000;
        if (frac != 0) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
            std::string f = buf;
            while (f.back() == '0') f.pop_back();
            text += "." + f;
        }
        return text;
    }
    case VarType::Date: return formatDate(std::get<Date>(v_).serial);
    case VarType::String: return stringValue();
    case VarType::Object: {
        const auto& o = objectValue();
        if (!o) throw RuntimeError(err::ObjectNotSet);
        return o->defaultValue().toString();
    }
    default: typeMismatch();
    }
}

Currency Variant::toCurrency() const {
    if (type() == VarType::Currency) return std::get<Currency>(v_);
    return Currency::fromDouble(toDouble());
}

Date Variant::toDate() const {
    switch (type()) {
    case VarType::Date: return std::get<Date>(v_);
    case VarType::String: {
        if (auto d = parseDate(stringValue())) return Date{*d};
        if (auto n = parseNumber(stringValue())) return Date{*n};
        typeMismatch();
    }
    default: return Date{toDouble()};
    }
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.v_.index() != b.v_.index()) return false;
    if (a.isArray()) return a.arrayValue() == b.arrayValue();
    return a.v_ == b.v_;
}

// ---- Array ----

Array::Array(std::span<const Bound> bounds) {
    bounds_.assign(bounds.data(), bounds.data() + bounds.size());
    std::size_t n = bounds_.empty() ? 0 : 1;
    for (const Bound& b : bounds_) {
        if (b.count < 0) throw RuntimeError(err::SubscriptOutOfRange);
        n *= static_cast<std::size_t>(b.count);
    }
    items_.resize(n);
}

Array Array::vector(std::vector<Variant> items, long lower) {
    Array a;
    a.bounds_.push_back(Bound{lower, static_cast<long>(items.size())});
    a.items_ = std::move(items);
    return a;
}

Array Array::matrix(long rows, long columns) { return Array({Bound{1, rows}, Bound{1, columns}}); }

long Array::lbound(int dimension) const {
    if (dimension < 1 || dimension > dimensions()) throw RuntimeError(err::SubscriptOutOfRange);
    return bounds_[dimension - 1].lower;
}

long Array::ubound(int dimension) const {
    if (dimension < 1 || dimension > dimensions()) throw RuntimeError(err::SubscriptOutOfRange);
    return bounds_[dimension - 1].lower + bounds_[dimension - 1].count - 1;
}

long Array::count(int dimension) const {
    if (dimension < 1 || dimension > dimensions()) throw RuntimeError(err::SubscriptOutOfRange);
    return bounds_[dimension - 1].count;
}

std::size_t Array::offset(std::initializer_list<long> indices) const {
    if (static_cast<int>(indices.size()) != dimensions()) throw RuntimeError(err::SubscriptOutOfRange);
    std::size_t result = 0;
    std::size_t stride = 1;
    auto b = bounds_.begin();
    for (long i : indices) {
        const long k = i - b->lower;
        if (k < 0 || k >= b->count) throw RuntimeError(err::SubscriptOutOfRange);
        result += static_cast<std::size_t>(k) * stride;
        stride *= static_cast<std::size_t>(b->count);
        ++b;
    }
    return result;
}

const Variant& Array::at(std::initializer_list<long> indices) const { return items_[offset(indices)]; }
Variant& Array::at(std::initializer_list<long> indices) { return items_[offset(indices)]; }

void Array::redimPreserve(long newUpper) {
    if (bounds_.empty()) throw RuntimeError(err::SubscriptOutOfRange);
    Bound& last = bounds_.back();
    const long newCount = newUpper - last.lower + 1;
    if (newCount < 0) throw RuntimeError(err::SubscriptOutOfRange);
    // The last dimension varies slowest, so its elements form whole blocks at the end.
    std::size_t block = items_.size() / static_cast<std::size_t>(last.count == 0 ? 1 : last.count);
    if (last.count == 0) {
        block = 1;
        for (std::size_t i = 0; i + 1 < bounds_.size(); ++i) block *= static_cast<std::size_t>(bounds_[i].count);
    }
    last.count = newCount;
    items_.resize(block * static_cast<std::size_t>(newCount));
}

// ---- comparisons and numbers ----

namespace {

// The default value of an object operand, so that a Range compares by its value.
Variant operandValue(const Variant& v) {
    if (!v.isObject()) return v;
    const auto& o = v.objectValue();
    if (!o) throw RuntimeError(err::ObjectNotSet);
    return o->defaultValue();
}

int sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

}  // namespace

std::optional<int> compare(const Variant& left, const Variant& right, CompareMethod method) {
    const Variant a = operandValue(left);
    const Variant b = operandValue(right);
    if (a.isNull() || b.isNull()) return std::nullopt;
    for (const Variant* v : {&a, &b})
        if (v->isError() || v->isArray() || v->isObject() || v->isMissing()) typeMismatch();

    if (a.isEmpty() && b.isEmpty()) return 0;
    if (a.isString() || b.isString()) {
        if (a.isString() && b.isString()) return StrComp(a.stringValue(), b.stringValue(), method);
        if (a.isEmpty()) return StrComp("", b.stringValue(), method);
        if (b.isEmpty()) return StrComp(a.stringValue(), "", method);
        return a.isString() ? 1 : -1;  // a number is less than any text
    }
    if (a.type() == VarType::Currency && b.type() == VarType::Currency) {
        const auto x = a.toCurrency().scaled, y = b.toCurrency().scaled;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return sign(a.toDouble() - b.toDouble());
}

bool equals(const Variant& a, const Variant& b, CompareMethod method) {
    const auto c = compare(a, b, method);
    return c && *c == 0;
}

std::optional<double> parseNumber(std::string_view text) {
    std::string_view s = text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s.empty()) return std::nullopt;

    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
        std::string hex(s.substr(2));
        char* end = nullptr;
        const unsigned long long v = std::strtoull(hex.c_str(), &end, 16);
        if (*end != '\0' || hex.size() > 8) return std::nullopt;
        // Up to four digits is an Integer, up to eight a Long; both are signed.
        if (hex.size() <= 4) return static_cast<double>(static_cast<std::int16_t>(v));
        return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    }

    std::string clean;
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') clean += s[i++];
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            clean += c;
            digits = true;
        } else if (c == ',' && digits && !point) {
            // thousands separator: ignored
        } else if (c == '.' && !point) {
            clean += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        clean += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) clean += s[i++];
        bool expDigits = false;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            clean += s[i];
            expDigits = true;
        }
        if (!expDigits) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    const double v = std::strtod(clean.c_str(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

bool isNumeric(const Variant& value) {
    switch (value.type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency: return true;
    case VarType::String: return parseNumber(value.stringValue()).has_value();
    default: return false;
    }
}

std::string formatDouble(double value) {
    if (value == 0.0) return "0";
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    char buf[40];
    // A whole number of up to 15 digits is its digits; others as "%.15G" writes them ("1E+15",
    // "1E-05", "0.1"): to_chars with a precision formats exactly as printf does, trailing zeros
    // dropped, only the exponent's letter lower-case.
    if (std::abs(value) < 1e15 && value == std::trunc(value))
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value)).ptr);
    char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15).ptr;
    std::string s(buf, end);
    if (const auto e = s.find('e'); e != std::string::npos) s[e] = 'E';
    return s;
}

std::string typeName(const Variant& value) {
    switch (value.type()) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Missing: return "Error";
    case VarType::Boolean: return "Boolean";
    case VarType::Integer: return "Integer";
    case VarType::Long: return "Long";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Error: return "Error";
    case VarType::Object: return value.objectValue() ? value.objectValue()->typeName() : "Nothing";
    case VarType::Array: return "Variant()";
    }
    return "Variant";
}

}  // namespace host
