#include "commands/CommandSupport.h"

#include <algorithm>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/sheet/Application.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

template <class Ptr>
Ptr required(Ptr p) {
    if (!p) throw host::RuntimeError(host::err::ObjectNotSet);
    return p;
}

}  // namespace

void ReportUnexpectedError(const host::RuntimeError& error) {
    ReportMessage(GetMessageText(1999) + error.description(), host::ui::vbExclamation, kSystemName);
    ExcelApplication().noteCommandFailure(error.description());
}

bool WorkbookIsOpen() {
    auto& app = ExcelApplication();
    if (app.activeWorkbook()) return true;
    ReportMessage(GetMessageText(1000), host::ui::vbExclamation, kSystemName);
    app.noteCommandFailure(GetMessageText(1000));
    return false;
}

host::sheet::RangePtr SelectedRange() { return required(ExcelApplication().selection()); }
host::sheet::RangePtr ActiveCellRange() { return required(ExcelApplication().activeCell()); }
host::sheet::WorksheetPtr ActiveWorksheet() { return required(ExcelApplication().activeSheet()); }

host::Variant CellLiteral(const host::Variant& value) {
    return value.isString() ? host::Variant("'" + value.stringValue()) : value;
}

host::sheet::RangePtr WriteRows(const host::sheet::RangePtr& topLeft, const std::vector<std::vector<host::Variant>>& rows) {
    std::size_t columns = 1;
    for (const auto& row : rows) columns = std::max(columns, row.size());
    host::Array block = host::Array::matrix(static_cast<long>(std::max<std::size_t>(rows.size(), 1)), static_cast<long>(columns));
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            block(static_cast<long>(r + 1), static_cast<long>(c + 1)) = CellLiteral(rows[r][c]);
    auto target = topLeft->resize(static_cast<int>(block.count(1)), static_cast<int>(columns));
    target->setValue(block);
    return target;
}

std::string AddInSubfolder(const std::string& name) { return SharedState().AddInFolder + "\\" + name; }

}  // namespace telm
