#pragma once
// host::Variant: the platform's automation variant. Holds one value of the kinds the add-in passes
// around (Empty, Null, Missing, Boolean, Integer, Long, Double, Currency, Date, String, Error, Object,
// Array) and carries the conversions and comparisons of the automation runtime.
//
// Text is UTF-8. Arrays have one or more dimensions, each with its own lower bound, and are copied on
// assignment like the runtime's arrays (the copy is made lazily, on the first write to a shared one).

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/base/SmallVector.h"

namespace host {

class Variant;

// Base of every platform object a Variant can refer to (Range, Workbook, ...).
class Object {
public:
    virtual ~Object() = default;
    // The object's type name as the runtime's TypeName gives it ("Range", "Workbook").
    virtual std::string typeName() const = 0;
    // The default member's value (Range.Value for a range). Objects without one raise error 438.
    virtual Variant defaultValue() const;
};
using ObjectPtr = std::shared_ptr<Object>;

enum class VarType { Empty, Null, Missing, Boolean, Integer, Long, Double, Currency, Date, String, Error, Object, Array };

// Cell error values, numbered as the spreadsheet's CVErr numbers them.
enum class CellError : int {
    Null = 2000,
    Div0 = 2007,
    Value = 2015,
    Ref = 2023,
    Name = 2029,
    Num = 2036,
    NA = 2042,
    GettingData = 2043,
};
// "#N/A", "#VALUE!", ...; and back (nullopt for a text that is no error value).
std::string cellErrorText(CellError e);
std::optional<CellError> parseCellError(std::string_view text);

// Currency: a fixed-point number with four decimals.
struct Currency {
    std::int64_t scaled = 0;  // value * 10000
    static Currency fromDouble(double value);  // rounds half to even; raises Overflow outside the range
    double toDouble() const { return static_cast<double>(scaled) / 10000.0; }
    friend bool operator==(Currency, Currency) = default;
};

// Date: days since 30 December 1899, the fraction being the time of day.
struct Date {
    double serial = 0;
    friend bool operator==(Date, Date) = default;
};

class Array;

class Variant {
public:
    Variant() = default;  // Empty
    static Variant null();
    static Variant missing();
    static Variant integer(std::int16_t value);

    Variant(bool value) : v_(value) {}
    Variant(int value) : v_(static_cast<std::int32_t>(value)) {}  // Long
    Variant(double value) : v_(value) {}
    Variant(Currency value) : v_(value) {}
    Variant(Date value) : v_(value) {}
    Variant(CellError value) : v_(value) {}
    Variant(const char* text) : v_(std::string(text)) {}
    Variant(std::string text) : v_(std::move(text)) {}
    Variant(std::string_view text) : v_(std::string(text)) {}
    Variant(ObjectPtr object) : v_(std::move(object)) {}
    template <class T>
        requires std::is_base_of_v<Object, T>
    Variant(std::shared_ptr<T> object) : v_(ObjectPtr(std::move(object))) {}
    Variant(Array array);

    VarType type() const {
        // By the order of Storage's alternatives.
        static constexpr VarType kTypes[] = {VarType::Empty,   VarType::Null,   VarType::Missing,  VarType::Boolean,
                                             VarType::Integer, VarType::Long,   VarType::Double,   VarType::Currency,
                                             VarType::Date,    VarType::String, VarType::Error,    VarType::Object,
                                             VarType::Array};
        return kTypes[v_.index()];
    }
    bool isEmpty() const { return type() == VarType::Empty; }
    bool isNull() const { return type() == VarType::Null; }
    bool isMissing() const { return type() == VarType::Missing; }
    bool isBoolean() const { return type() == VarType::Boolean; }
    bool isString() const { return type() == VarType::String; }
    bool isError() const { return type() == VarType::Error; }
    bool isObject() const { return type() == VarType::Object; }
    bool isArray() const { return type() == VarType::Array; }
    // Integer, Long, Double, Currency or Date.
    bool isNumber() const;

    // Direct access to the held value; each raises Type mismatch when the Variant holds another kind.
    bool boolValue() const;
    std::int32_t longValue() const;  // Integer or Long
    double doubleValue() const;      // Double only
    const std::string& stringValue() const;
    CellError errorValue() const;
    const ObjectPtr& objectValue() const;
    const Array& arrayValue() const;
    Array& arrayValue();  // copies a shared array first

    // Conversions of the runtime (CDbl, CLng, CInt, CBool, CStr, CCur, CDate). Each raises Type
    // mismatch for a value it cannot convert, Overflow for one out of range and error 94 for Null.
    // Objects convert through their default value. An error value converts to no text (Type
    // mismatch), as when the runtime passes it to a text argument.
    double toDouble() const;
    std::int32_t toLong() const;     // rounds half to even
    std::int16_t toInteger() const;  // rounds half to even
    bool toBool() const;
    std::string toString() const;
    Currency toCurrency() const;
    Date toDate() const;

    // Strict identity of kind and value (arrays element by element, objects by reference); for tests
    // and caches, not the runtime's "=" (see compare()).
    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct NullTag {
        friend bool operator==(NullTag, NullTag) = default;
    };
    struct MissingTag {
        friend bool operator==(MissingTag, MissingTag) = default;
    };
    using Storage = std::variant<std::monostate, NullTag, MissingTag, bool, std::int16_t, std::int32_t, double,
                                 Currency, Date, std::string, CellError, ObjectPtr, std::shared_ptr<Array>>;
    Storage v_;
};

// An array of Variants with one or more dimensions, each with its own lower bound. Elements are
// stored with the first index varying fastest, as the runtime stores them.
class Array {
public:
    struct Bound {
        long lower = 0;
        long count = 0;
        friend bool operator==(const Bound&, const Bound&) = default;
    };

    Array() = default;  // no dimensions, no elements (an array that was never dimensioned)
    explicit Array(std::span<const Bound> bounds);
    Array(std::initializer_list<Bound> bounds) : Array(std::span<const Bound>(bounds.begin(), bounds.size())) {}
    // A one-dimensional array of the given items, from the given lower bound.
    static Array vector(std::vector<Variant> items, long lower = 0);
    // A two-dimensional array rows x columns with lower bounds 1, as ranges give their values.
    static Array matrix(long rows, long columns);

    int dimensions() const { return static_cast<int>(bounds_.size()); }
    // Bounds of dimension 1..dimensions(); Subscript out of range for another dimension.
    long lbound(int dimension = 1) const;
    long ubound(int dimension = 1) const;
    long count(int dimension = 1) const;
    std::size_t size() const { return items_.size(); }

    // Element access by one index per dimension; Subscript out of range when an index or the number
    // of indices does not fit.
    const Variant& at(std::initializer_list<long> indices) const;
    Variant& at(std::initializer_list<long> indices);
    const Variant& operator()(long i) const { return at({i}); }
    Variant& operator()(long i) { return at({i}); }
    const Variant& operator()(long i, long j) const { return at({i, j}); }
    Variant& operator()(long i, long j) { return at({i, j}); }

    // ReDim Preserve: changes the upper bound of the last dimension, keeping the elements.
    void redimPreserve(long newUpper);

    // All elements in storage order.
    const std::vector<Variant>& elements() const { return items_; }
    std::vector<Variant>& elements() { return items_; }

    friend bool operator==(const Array&, const Array&) = default;

private:
    std::size_t offset(std::initializer_list<long> indices) const;
    SmallVector<Bound, 2> bounds_;
    std::vector<Variant> items_;
};

enum class CompareMethod { Binary, Text };

// The runtime's comparison of two values: nullopt when either is Null, else -1, 0 or 1.
// Numbers (Boolean, Empty as 0) compare as numbers, texts as texts (Empty as ""); a number is less
// than any text, so a text never equals a number. Errors, arrays and objects without a default value
// raise Type mismatch.
std::optional<int> compare(const Variant& a, const Variant& b, CompareMethod method = CompareMethod::Binary);
// compare() == 0, with Null counting as not equal.
bool equals(const Variant& a, const Variant& b, CompareMethod method = CompareMethod::Binary);

// IsNumeric: numbers, Booleans, Empty and texts that read as a number.
bool isNumeric(const Variant& value);
// Reads a number from a whole text the way the runtime's conversions do (blanks around it, a sign,
// thousands separators, decimals, an exponent, "&H" hexadecimal); nullopt when the text is no number.
std::optional<double> parseNumber(std::string_view text);
// The runtime's text of a double: up to 15 significant digits, "1E+15" style for large and small.
std::string formatDouble(double value);

// The runtime's type name of a value ("Double", "String", "Range", "Variant()").
std::string typeName(const Variant& value);

}  // namespace host
