#pragma once
// Cell formulas: parsing (A1 and R1C1 syntax), evaluation against an EvalContext, and printing back in
// either syntax. The spreadsheet (host/sheet) owns the cells; this module knows nothing of them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/base/Variant.h"
#include "host/formula/Reference.h"

namespace host::formula {

struct Builtin;

// Cell values handed to an aggregate a run at a time: one call per run, not per value.
using CellValueRun = std::span<const Variant* const>;
using VisitCellValues = std::function<void(CellValueRun)>;

// Visits one value as a run of its own.
inline void visitOne(const VisitCellValues& visit, const Variant& value) {
    const Variant* p = &value;
    visit(CellValueRun(&p, 1));
}

struct Node;         // the syntax tree, private to host/formula
struct FormulaTree;  // its nodes and tables

enum class ReferenceStyle { A1, R1C1 };

// The longest formula the spreadsheet takes, in characters after the leading "=".
inline constexpr std::size_t kMaxFormulaLength = 8192;

// A formula text that does not parse. Raised when a formula is entered: number 1004 with a
// description naming the position (1-based, in characters) and the reason.
class FormulaSyntaxError : public RuntimeError {
public:
    FormulaSyntaxError(std::size_t position, std::string reason);
    std::size_t position() const { return position_; }
    const std::string& reason() const { return reason_; }

private:
    std::size_t position_;
    std::string reason_;
};

// A parsed formula. Relative references are resolved against the cell the formula was entered in,
// so the formula holds absolute coordinates plus the "$" flags needed to print it again.
class Formula {
public:
    // Parses a formula text with or without its leading "=". Raises FormulaSyntaxError, also for a
    // formula longer than kMaxFormulaLength (counted as A1 style writes it).
    // anchorRow/anchorColumn: the cell the formula belongs to (R1C1 relative references need it).
    static Formula parse(std::string_view text, ReferenceStyle style, int anchorRow, int anchorColumn);

    // The formula text with a leading "=", in A1 or R1C1 style relative to the given cell.
    std::string toText(ReferenceStyle style, int anchorRow, int anchorColumn) const;

    // Every reference the formula names (its static precedents), and the defined names it uses.
    std::vector<ReferenceTarget> references() const;
    // The references as written, in order, repeats included (no copy).
    std::span<const ReferenceTarget> writtenReferences() const;
    std::vector<std::string> names() const;
    // True when the formula calls a volatile built-in (NOW, TODAY, RAND).
    bool isVolatile() const { return isVolatile_; }
    // True when the formula calls a function that is not built in (a user-defined function).
    bool callsUserFunction() const { return callsUserFunction_; }
    // True when the formula is one arithmetic operator (+ - * / ^) between two operands, each a
    // constant or a reference to one cell of the formula's own sheet (=A1+1, =B2*C2).
    bool isPlainArithmetic() const { return isPlainArithmetic_; }

    const Node& root() const { return *root_; }
    // Asks the processor to bring the memory an evaluation reads first into its cache, for a caller
    // that knows the formula will be evaluated soon.
    void prefetch() const;

private:
    explicit Formula(std::shared_ptr<const FormulaTree> tree);
    std::shared_ptr<const FormulaTree> tree_;
    const Node* root_;  // in tree_
    std::uint32_t firstBytes_;  // from root_: what prefetch() brings in
    // The tree's flags, kept here too: a calculation asks them of every formula it evaluates.
    bool isVolatile_;
    bool callsUserFunction_;
    bool isPlainArithmetic_;
};

// A user-defined function: receives the arguments as the spreadsheet passes them (a reference as a
// Range object, any other argument as its value, an omitted one as Missing) and returns a value.
using UserFunction = std::function<Variant(std::vector<Variant>& arguments)>;

// What the evaluator needs from the spreadsheet.
class EvalContext {
public:
    virtual ~EvalContext() = default;
    // The cell whose formula is evaluated (for implicit intersection).
    virtual int formulaRow() const = 0;
    virtual int formulaColumn() const = 0;
    // The values of a referenced area: one value for one cell, a rows x columns Array with lower
    // bounds 1 otherwise. An unknown workbook or sheet gives the error value #REF!.
    virtual Variant referenceValues(const ReferenceTarget& target) = 0;
    // The value of a one-cell reference where the context keeps it as referenceValues would give
    // it, to be read in place until the next change of a cell; nullptr where it does not (the caller
    // asks referenceValues). None by default.
    virtual const Variant* cellValueInPlace(const ReferenceTarget& target);
    // The values of the cells of a referenced area, row by row, for functions that aggregate them,
    // a run at a time. Blank cells may be left out. By default every value of referenceValues.
    virtual void visitCells(const ReferenceTarget& target, const VisitCellValues& visit);
    // The result of a built-in whose arguments are all references, such as SUM(A:A): compute() by
    // default; a context that knows the cells read are unchanged may give the result an identical
    // call gave before instead.
    virtual Variant sharedResult(const Builtin& builtin, std::span<const ReferenceTarget> targets,
                                 const std::function<Variant()>& compute);
    // The platform Range object of a referenced area, as handed to user-defined functions.
    virtual Variant referenceObject(const ReferenceTarget& target) = 0;
    // A defined name: the reference it stands for; nullopt for a name that is not defined.
    virtual std::optional<ReferenceTarget> resolveName(const std::string& name) = 0;
    // A user-defined function by name (case-insensitive); nullptr when none is registered.
    virtual const UserFunction* findUserFunction(const std::string& name) = 0;
    // What a call of a function that is neither built in nor registered gives: #NAME?, by default.
    virtual Variant unknownFunction(const std::string& name);
    // Current date and time, for NOW and TODAY.
    virtual Date now() = 0;
    // Formats a value with a number-format code, for the TEXT function.
    virtual std::string formatText(const Variant& value, const std::string& formatCode) = 0;
};

// Evaluates a formula. A single-cell formula gets a single value (implicit intersection applied); an
// array formula (asArray) may get an Array, which the caller spreads over its range. Errors of the
// formula are error values; a run-time error raised by a user-defined function becomes #VALUE!.
Variant evaluate(const Formula& formula, EvalContext& context, bool asArray);
// A plain arithmetic formula (isPlainArithmetic) whose operands are numbers, its cells' values read
// in place: its result as evaluate() gives it outside array formulas, computed directly. nullopt
// for any other operand (evaluate() then).
std::optional<Variant> evaluateArithmetic(const Formula& formula, EvalContext& context);

// A value written as a formula that gives it: "=3", "=""a""" for the text a, "=TRUE", "=#N/A",
// "={1,2;3,4}" for an array (a one-dimensional array is one row).
std::string constantFormulaText(const Variant& value);
// A text as a formula's string literal: "a""b" for the text a"b.
std::string textLiteral(std::string_view text);

// Names of the built-in functions (upper case).
bool isBuiltinFunction(std::string_view name);

}  // namespace host::formula
