#pragma once
// The general commands of the menus, toolbar, context menus and shortcut keys. Each traps its own
// run-time errors (CommandSupport.h) unless said otherwise.

namespace telm {

// The fixed web addresses of the online help and of the samples' and templates' page.
inline constexpr const char* kHelpPageAddress = "http://www.telm.net/help/";
inline constexpr const char* kSamplesPageAddress = "http://www.telm.net/samples/";
// The number format the toolbar's format button gives.
inline constexpr const char* kDefaultNumberFormat = "#,##0.00";
// The name of the file register's table and of the link register's sheet.
inline constexpr const char* kFileRegisterTable = "FileRegister";
inline constexpr const char* kLinkRegisterSheet = "LinkRegister";

// Shows the about form (pInfo2) with its captions in the current language.
void ShowAboutBox();
// Gives the selection the number format "#,##0.00".
void ApplyDefaultNumberFormat();
// Open the help page and the samples page with the program the desktop gives web addresses to.
void OpenHelpPage();
void OpenSamplesWebPage();
// Pastes the clipboard into the selection as values only; every error is ignored.
void PasteValuesIntoSelection();
// Sends the keys F2 and F9: the host edits the active cell and shows its formula's result in the edit
// line.
void EvaluateFormulaInEditLine();
// Evaluates the active cell's formula and shows the result through ReportMessage.
void ShowFormulaResult();
// Asks for the error-reporting level (message 147, title 2010, the present level offered) until the
// answer is empty (nothing changes) or a whole number 0 to 4, which becomes ErrorReportingLevel.
void AskErrorReportingLevel();
// Asks for the error-reporting channel; a whole number becomes pvErrorReportingWay (as an Integer),
// an empty answer changes nothing, anything else is refused and asked for again.
void AskErrorReportingWay();
// Shows the keyboard-shortcut form (pSkroty) filled from the message catalogue.
void ShowShortcutList();
// Write a folder chosen in a folder dialog, or a file chosen in an open-file dialog (title 2003), into
// the active cell; a cancel writes nothing.
void InsertChosenFolderPath();
void InsertChosenFilePath();
// Let the user pick a workbook in the "Samples" or "Templates" folder under the add-in folder (the
// dialog starts there; the current directory is restored afterwards) and open it.
void OpenSampleWorkbook();
void OpenTemplateWorkbook();

// In every open workbook, makes the links to another copy of "TELM.NET.xla" point to the companion
// add-in file in use; the status bar names each workbook repaired (message 15).
void RepairAddInLinks();
// After confirmation (message 1039, Yes/No), fills the active sheet with the files under the folder
// named in its cell A1 (asked for with a folder dialog, title 2012, when A1 names none): A1 stays, the
// rest of the sheet is cleared, and from A3 down a table named "FileRegister" lists one file a row
// (path, folder, name, extension, size, last change).
void BuildFileRegister();
// Builds the sheet "LinkRegister" in the active workbook (in place of one of that name): one row per
// link of the active workbook and of each workbook it links to (those not open are opened to be read
// and closed again), then sets RepairLinksOnActivate.
void BuildLinkRegister();
// Writes the current region around A1 of the active sheet to a new sheet, one row per cell, row by
// row: the cell's row, its column and its value.
void UnpivotCurrentRegion();

}  // namespace telm
