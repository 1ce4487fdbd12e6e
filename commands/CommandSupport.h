#pragma once
// What the general commands share: their error trap and the parts of the host they work on.

#include <new>
#include <string>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/sheet/Range.h"
#include "host/sheet/Worksheet.h"

namespace telm {

// The trap of a command: shows message 1999 followed by the error's description (exclamation icon,
// title "TELM.NET") through ReportMessage, and notes the command's failure on the application.
void ReportUnexpectedError(const host::RuntimeError& error);

// Runs a command's work; a run-time error ends it through ReportUnexpectedError. Running out of
// memory is reported as error 7, so that no command ends the program.
template <class Work>
void RunCommand(Work work) {
    try {
        work();
    } catch (const host::RuntimeError& e) {
        ReportUnexpectedError(e);
    } catch (const std::bad_alloc&) {
        ReportUnexpectedError(host::RuntimeError(host::err::OutOfMemory));
    }
}

// Whether a workbook is open; when none is, shows message 1000 and notes the command's failure.
bool WorkbookIsOpen();

// The selection, the active cell and the active sheet of the host; error 91 when no workbook is open.
host::sheet::RangePtr SelectedRange();
host::sheet::RangePtr ActiveCellRange();
host::sheet::WorksheetPtr ActiveWorksheet();

// A value to write into a cell as it is: a text gets the apostrophe that keeps it a text, so that a
// file name such as "=x" or "12" is never read as a formula or a number.
host::Variant CellLiteral(const host::Variant& value);

// Writes rows of values (CellLiteral applied) from the cell `topLeft` on; gives the range written.
host::sheet::RangePtr WriteRows(const host::sheet::RangePtr& topLeft, const std::vector<std::vector<host::Variant>>& rows);

// A folder under the add-in folder: AddInFolder, "\" and the name.
std::string AddInSubfolder(const std::string& name);

}  // namespace telm
