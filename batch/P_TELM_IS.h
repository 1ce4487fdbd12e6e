#pragma once
// Information Services programs: batch programs laid out on a worksheet.
//
//   A1  "TELM.NET.IS"                  the mark of a program sheet
//   row 3 on: A the command, B to E its arguments (P_IS_Program.h), one step per row
//
// The program ends at the first row whose column A is empty.

#include <string>

namespace telm {

inline constexpr const char* kISProgramMark = "TELM.NET.IS";

// Runs the program on the active sheet row by row, ISProgramRunning True meanwhile (level-1 messages
// stay silent), calculation manual, screen updating off and "Step <row>: <command>" (message 117) in
// the status bar, all given back at the end. A failing row ends the program: its number and failure
// are reported (title 2006) once ISProgramRunning is False again. A sheet without the mark: message
// 1021. Each of these reports notes the command's failure on the application.
void RunISProgram();
// Opens the workbook ISWorkbookName (unless open), activates its sheet ISSheetName and runs the
// workbook's ProgramStart: the program on that sheet (RunISProgram). A missing sheet: message 1021;
// a workbook that cannot be opened: message 1017.
void StartISWorkbook();

}  // namespace telm
