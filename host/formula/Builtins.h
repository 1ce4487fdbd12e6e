#pragma once
// The built-in functions: a table from upper-case name to implementation. Private to host/formula.

#include <cstddef>
#include <functional>
#include <limits>
#include <span>
#include <string_view>

#include "host/base/Variant.h"
#include "host/formula/Formula.h"

namespace host::formula {

// The arguments of a built-in that handles them itself, evaluated on demand so that IF and IFERROR
// evaluate only what they use.
class Arguments {
public:
    virtual ~Arguments() = default;
    virtual std::size_t count() const = 0;
    // The argument as an operand: outside array formulas a multi-cell reference is intersected with
    // the formula's row or column. Missing for an omitted argument.
    virtual Variant value(std::size_t index) = 0;
    // The argument in full: every value of a reference (an Array for several cells), else value().
    virtual Variant values(std::size_t index) = 0;
    // True when the argument is a reference, so its values are cell values.
    virtual bool isReference(std::size_t index) const = 0;
    // The values of the cells a reference argument holds, row by row; blank cells may be left out,
    // so that a whole column costs only the cells that exist. An error instead of a reference is
    // visited as that error.
    virtual void visitCells(std::size_t index, const VisitCellValues& visit) = 0;
};

// A built-in applied to scalar arguments; the evaluator lifts it over array arguments.
using ScalarBody = Variant (*)(std::span<const Variant> arguments, EvalContext& context);
// A built-in that takes its arguments itself (ranges, laziness).
using RawBody = Variant (*)(Arguments& arguments, EvalContext& context);

inline constexpr int kAnyNumber = std::numeric_limits<int>::max();

struct Builtin {
    std::string_view name;
    int minArguments = 0;
    int maxArguments = 0;
    ScalarBody scalar = nullptr;  // exactly one of scalar and raw is set
    RawBody raw = nullptr;
    bool receivesErrors = false;  // scalar: error arguments reach the body instead of being the result
    bool isVolatile = false;
    // raw: called with references alone, the result depends only on their cells' values, so
    // identical calls may share one result.
    bool sharesResult = false;
};

// The built-in of that name (any case); nullptr when there is none.
const Builtin* findBuiltin(std::string_view name);

// The table of each group of built-ins.
std::span<const Builtin> logicalBuiltins();   // IF, IFERROR, AND, OR, NOT, IS..., NA
std::span<const Builtin> mathBuiltins();      // ROUND, ABS, INT, MOD, RAND, NOW, TODAY
std::span<const Builtin> rangeBuiltins();     // SUM, MIN, MAX, AVERAGE, COUNT, COUNTA, TRANSPOSE
std::span<const Builtin> textBuiltins();      // TEXT, CONCATENATE, LEFT, RIGHT, MID, LEN, UPPER, LOWER, VALUE

}  // namespace host::formula
