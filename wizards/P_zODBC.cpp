#include "wizards/P_zODBC.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/Text.h"
#include "host/formula/Formula.h"
#include "host/sheet/Application.h"
#include "host/sheet/Worksheet.h"
#include "wizards/AskForAddress.h"

namespace telm {

namespace {

constexpr long kLiteralLimit = 255;

// The query table whose rows hold the cell, or nullptr.
host::sheet::QueryTablePtr queryTableAt(const host::sheet::RangePtr& cell) {
    for (const auto& table : cell->parent()->queryTables())
        if (table->resultRange.contains(cell->row(), cell->column())) return table;
    return nullptr;
}

}  // namespace

std::string FormulaTextArgument(const std::string& text) {
    if (host::Len(text) <= kLiteralLimit) return host::formula::textLiteral(text);
    std::string parts;
    for (long at = 1; at <= host::Len(text); at += kLiteralLimit)
        parts += (parts.empty() ? "" : ";") + host::formula::textLiteral(host::Mid(text, at, kLiteralLimit));
    return "{" + parts + "}";
}

void InsertGetDataOdbcFormula() {
    auto cell = ExcelApplication().activeCell();
    const auto table = cell ? queryTableAt(cell) : nullptr;
    if (!table) {
        ReportMessage(GetMessageText(107), 48, GetMessageText(2002));
        return;
    }
    const std::string connection = host::sheet::untypedConnection(table->connection);
    if (host::Len(connection) > kLiteralLimit || host::Len(table->commandText) > kLiteralLimit)
        ReportMessage(GetMessageText(113), 64, GetMessageText(2002));
    auto target = AskForAddress();
    if (!target) return;
    const std::string formula = "=GETDATAODBC(" + FormulaTextArgument(connection) + "," +
                                FormulaTextArgument(table->commandText) + "," +
                                (table->fieldNames ? "TRUE" : "FALSE") + ")";
    const auto& area = table->resultRange;
    target->parent()
        ->range(target->cells(1, 1), target->cells(area.rows(), area.columns()))
        ->setFormulaArray(formula);
}

}  // namespace telm
