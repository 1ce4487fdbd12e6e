#pragma once
// The commands of an Information Services program: one row of the program sheet, column A the
// command (any letter case), columns B to E its arguments (paths and connection texts may hold the
// folder token):
//   SQL                   B connection text, C statement, D optional cell ("A1" on the program sheet
//                         or "Sheet!A1") that receives the result rows, E TRUE to write the field
//                         names above them
//   DOWNLOAD              B web address, C local file
//   HIDDENARCHIVEREFRESH  B workbook file: its archives refreshed, saved, closed (and reopened in the
//                         host when it was open there)
//   CUBE                  B cube definition file (P_IS_Dane.h), C cube file
//   STARTIS               B workbook file, C sheet: that program is started one second after this
//                         one ends (ISWorkbookName, ISSheetName and the timer macro "AutoStartIS")

#include <string>
#include <vector>

#include "host/sheet/Worksheet.h"

namespace telm {

// Runs one command with its arguments (B to E as texts). Raises the step's failure; an unknown
// command raises 5 naming it.
void RunISCommand(const std::string& command, const std::vector<std::string>& arguments,
                  const host::sheet::WorksheetPtr& programSheet);

}  // namespace telm
