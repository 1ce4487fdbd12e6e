#pragma once
// The text converter: report listings and other text files loaded into a database table, with a
// preview workbook of what was loaded. Its definition sheet: TextConverterDefinition.h.

#include <string>

namespace telm {

// The preview workbook, under the add-in folder.
inline constexpr const char* kPreviewWorkbook = "Temp\\TELM.NET.TC.LastPreview.xls";

// Runs the converter defined on the active sheet: the table is created when missing (text fields
// TEXT, number fields DOUBLE PRECISION), every matching file's lines after the skipped ones are
// appended to it, and the preview workbook (the field names, then the rows) is written and opened one
// second later through the timer macro "OpenPreviewFile". Progress in the status bar (messages 132 to
// 137); calculation and screen updating are given back at the end. A sheet that is no definition:
// message 1021; no matching file: 1022; a failure: its description with the file and line (title
// 2009), nothing of the failing file written.
void RunTextConverter();
// Opens the preview workbook (closing an open copy of it first, without saving). Unless `silent`, a
// preview that cannot be opened is reported (message 1024).
void OpenLastPreviewWorkbook(bool& silent);

}  // namespace telm
