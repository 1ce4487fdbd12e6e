#pragma once
// The analysis file (".ana"): a workbook whose first sheet lists the workbooks of one analysis.
//
//   A1  "TELM.NET Analysis"              the mark of an analysis file
//   A2  "Workbook"   B2 "Options"        headings
//   A3… the workbook's full path         B3… its option letters
//
// The list ends at the first row whose column A is empty. A path may hold the folder token. Option
// letters, in any letter case, blanks ignored: "P" publish the workbook with its stored publication
// settings once the analysis is open and recalculated; "A" make it the active workbook at the end.

#include <string>
#include <vector>

namespace telm {

inline constexpr const char* kAnalysisMark = "TELM.NET Analysis";

struct AnalysisEntry {
    std::string path;
    std::string options;
};

// Reads the list in a private application. Raises 1004 when the file cannot be read, and error 13
// ("This is not an analyse of TELM.NET." by the caller) when A1 lacks the mark.
std::vector<AnalysisEntry> ReadAnalysisList(const std::string& file);
// Writes the list as a new analysis file, replacing the file once complete. Raises 1004 when it
// cannot be written.
void WriteAnalysisList(const std::string& file, const std::vector<AnalysisEntry>& entries);

// True when the text names the option, in any letter case.
bool HasOption(const std::string& options, char option);
// The letters of the text that are no option (blanks left out).
std::string UnknownOptions(const std::string& options);

}  // namespace telm
