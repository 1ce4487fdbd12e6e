#pragma once
// Analyses: named sets of workbooks opened, saved and closed together, listed in analysis files
// (".ana", layout in AnalysisList.h) kept in AnalysesFolder; and templates opened from the
// "Templates" folder. The current analysis is CurrentAnalysisName (the full path of its file) with
// CurrentAnalysisWorkbook (the file's name); its workbooks are the ones its file lists.

#include <cstdint>
#include <string>

namespace telm {

// Opens the analysis in `analysisFile` (empty: the user chooses one in AnalysesFolder, and the choice
// is written back) with every workbook it lists that is not open yet, makes it the current analysis,
// recalculates all workbooks (CalculateAllWorkbooks), publishes those marked "P" and activates the one
// marked "A". Unknown option letters are reported (message 1028) and ignored. The files that cannot be
// opened (message 142) and the links of the analysis's workbooks to workbooks outside it (messages
// 143, 144) are reported together under message 141, and that report is written to `openingReport`
// (empty when there is nothing to report). A non-empty `analysisName` is remembered as LastOpenedAnalysis.
// A file that is no analysis: message 1019.
void OpenAnalysis(std::string& analysisFile, std::string& openingReport, std::string& analysisName);
// Saves every open workbook of the current analysis (message 146 in the status bar; a failure: 1031).
// Without a current analysis asks (message 145) and, unless the answer is No, runs SaveAnalysisAs.
void SaveAnalysis();
// Writes a new analysis file listing the open workbooks, chosen with a save dialog in
// AnalysesFolder, and makes it the current analysis. A workbook never saved: message 1030.
void SaveAnalysisAs();
// Ends the current analysis (a non-empty `analysisName` becomes CurrentAnalysisName first):
//   mode 0 closes its workbooks without saving; mode 1 saves and closes them (a
//   workbook that cannot be saved stays open, and message 1032 asks whether it stays in the
//   analysis file); mode 2 leaves them open. Other modes do nothing. Without a current analysis asks
//   (message 145) and, unless the answer is No, runs SaveAnalysisAs.
void CloseAnalysis(std::string& analysisName, std::int16_t& mode);
// Opens the current analysis file itself in the host for editing (without one, the user chooses a
// file in AnalysesFolder).
void EditAnalysis();
// Lets the user choose a template in the "Templates" folder under the add-in folder and opens it;
// the current directory is given back afterwards.
void SelectAndOpenTemplate();

}  // namespace telm
