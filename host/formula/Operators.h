#pragma once
// The spreadsheet's operators and value conversions, and the lifting of scalar operations over
// arrays. Private to host/formula.

#include <functional>
#include <optional>
#include <span>
#include <string>

#include "host/base/Variant.h"
#include "host/formula/Node.h"

namespace host::formula {

// Thrown by the conversions below when an operand is (or turns into) an error value; caught where an
// operation's result is made (lift, the evaluator), which then returns the error value.
struct ErrorValue {
    CellError error;
};

// Number of an operand in arithmetic: Booleans 1/0, Empty and Missing 0, texts that read as numbers
// (or dates, or "50%"); any other text is #VALUE!.
double toNumber(const Variant& value);
// Text form of an operand for "&" and the text functions: numbers as the General format shows them,
// TRUE/FALSE, Empty as "".
std::string toText(const Variant& value);
// Truth value of an operand: numbers non-zero, TRUE/FALSE texts; any other text is #VALUE!.
bool toLogical(const Variant& value);

// A number read from a text, as arithmetic reads it ("1,000.5", "$5", "(5)" for -5, "50%", dates);
// nullopt when the text is no number.
std::optional<double> numberFromText(const std::string& text);
// The General format's text of a finite number: up to 15 significant digits, "1E+15" style beyond.
std::string numberText(double value);
// A number result: the Double, or #NUM! when it is not finite.
Variant numberResult(double value);
// The longest text a cell holds, in characters.
inline constexpr long kMaxTextLength = 32767;
// A text result: the text, or #VALUE! when it is longer than kMaxTextLength.
Variant textResult(std::string text);

// Ordering of two scalar values: numbers < texts < Booleans, numbers at 15 significant digits, texts
// ignoring case, Empty taking the other side's kind. -1, 0 or 1; raises ErrorValue for an error operand (the left one first).
int compareValues(const Variant& a, const Variant& b);

// One binary operator (not ":") or unary/percent operator on scalar operands. Never throws: an error
// becomes the result. snapToZero: a sum or difference that is zero at 15 significant digits of its
// operands is 0, as the spreadsheet makes the last operation of a formula.
Variant applyBinary(Operator op, const Variant& a, const Variant& b, bool snapToZero = false);
Variant applyUnary(Operator op, const Variant& a);
// An arithmetic operator (+ - * / ^) on two numbers, as applyBinary gives it for them.
Variant applyArithmetic(Operator op, double x, double y, bool snapToZero = false);
inline bool isArithmetic(Operator op) {
    return op == Operator::Add || op == Operator::Subtract || op == Operator::Multiply || op == Operator::Divide ||
           op == Operator::Power;
}
Variant applyPercent(const Variant& a);

// Applies a scalar function element-wise when any argument is an array: scalars broadcast, an array
// of one row (column) repeats down (across), and cells beyond an array's size get #N/A. Without
// arrays, applies it once. ErrorValue thrown by the function becomes the element's value.
using ElementFunction = std::function<Variant(std::span<const Variant>)>;
Variant lift(std::span<const Variant> arguments, const ElementFunction& function);

// The rows and columns of an array value (a one-dimensional array is one row).
struct ArrayShape {
    long rows = 0;
    long columns = 0;
};
ArrayShape shapeOf(const Array& array);
// Element (row, column), 0-based, of an array of that shape.
const Variant& elementAt(const Array& array, long row, long column);

}  // namespace host::formula
