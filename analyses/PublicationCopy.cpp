#include "analyses/PublicationCopy.h"

#include "core/A_Deklaracje.h"
#include "data/P_Archiwum.h"
#include "host/base/RuntimeError.h"
#include "host/formula/Formula.h"
#include "host/sheet/Cell.h"
#include "host/sheet/Range.h"
#include "host/sheet/Worksheet.h"

namespace telm {

namespace {

using host::sheet::Cell;
using host::sheet::Worksheet;

void copyCells(const Worksheet& from, Worksheet& to, bool keepPlainFormulas) {
    for (const auto& [key, cell] : from.allCells()) {
        const int row = host::sheet::keyRow(key), column = host::sheet::keyColumn(key);
        auto target = to.cells(row, column);
        if (!cell.numberFormat.empty()) target->setNumberFormat(cell.numberFormat);
        if (keepPlainFormulas && cell.formula && !cell.array && !cell.formula->callsUserFunction())
            target->setFormula(cell.formula->toText(host::formula::ReferenceStyle::A1, row, column));
        else if (!cell.value.isEmpty())
            target->setValue(cell.value);
    }
}

}  // namespace

PublicationCopy MakePublicationCopy(const host::sheet::Workbook& source) {
    PublicationCopy copy{host::sheet::Application::create(), nullptr};
    copy.application->setCalculation(host::sheet::CalculationMode::Manual);
    copy.book = copy.application->workbooks().add();
    copy.book->setLocation("", source.name());
    auto blank = copy.book->sheet(1);
    std::vector<std::pair<host::sheet::WorksheetPtr, host::sheet::SheetVisibility>> hidden;
    for (const auto& sheet : source.worksheets()) {
        if (IsArchiveSheetName(sheet->name())) continue;
        auto target = blank ? blank : copy.book->addSheet(nullptr, nullptr, sheet->name());
        if (blank) target->setName(sheet->name());
        blank.reset();
        copyCells(*sheet, *target, SharedState().PublishFormulaOption);
        if (sheet->visible() != host::sheet::SheetVisibility::Visible) hidden.emplace_back(target, sheet->visible());
    }
    for (const auto& [sheet, visibility] : hidden) {
        try {
            sheet->setVisible(visibility);
        } catch (const host::RuntimeError&) {
            // the last visible sheet of the copy stays visible
        }
    }
    copy.application->setCalculation(host::sheet::CalculationMode::Automatic);
    return copy;
}

}  // namespace telm
