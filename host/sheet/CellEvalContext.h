#pragma once
// The evaluation context of a formula in a worksheet cell: resolves its references, names and
// functions against the application.

#include <cstdint>
#include <span>

#include "host/formula/Formula.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

class Application;

class CellEvalContext : public formula::EvalContext {
public:
    // A cell of the formula's sheet that the formula reads, found before the evaluation: its value is
    // read without a look-up while the sheet drops no cells.
    struct KnownCell {
        CellKey key;
        const Cell* cell;
    };

    CellEvalContext(Application& application, Worksheet& sheet, int row, int column,
                    std::span<const KnownCell> known = {})
        : application_(application), sheet_(sheet), row_(row), column_(column), known_(known),
          knownDrops_(sheet.dropCount()) {}

    int formulaRow() const override { return row_; }
    int formulaColumn() const override { return column_; }
    Variant referenceValues(const formula::ReferenceTarget& target) override;
    // Cells of the formula's own sheet.
    const Variant* cellValueInPlace(const formula::ReferenceTarget& target) override;
    void visitCells(const formula::ReferenceTarget& target, const formula::VisitCellValues& visit) override;
    Variant sharedResult(const formula::Builtin& builtin, std::span<const formula::ReferenceTarget> targets,
                         const std::function<Variant()>& compute) override;
    Variant referenceObject(const formula::ReferenceTarget& target) override;
    std::optional<formula::ReferenceTarget> resolveName(const std::string& name) override;
    const formula::UserFunction* findUserFunction(const std::string& name) override;
    // Noted on the calculation, which then keeps the cell's stored value.
    Variant unknownFunction(const std::string& name) override;
    Date now() override;
    std::string formatText(const Variant& value, const std::string& formatCode) override;

private:
    // The cell of the formula's sheet at the key when it is a known one; else nullptr.
    const Cell* knownCell(CellKey key) const;

    Application& application_;
    Worksheet& sheet_;
    int row_;
    int column_;
    std::span<const KnownCell> known_;
    std::uint64_t knownDrops_;
};

}  // namespace host::sheet
