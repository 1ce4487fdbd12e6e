#pragma once
// The archive commands (the archive itself and its lookups: P_Archiwum.h). They move the data-function
// cells of a range into the hidden twin sheet, clear or dot the twin cells, show, hide or delete the
// twin sheet, lay out its comments, refresh every archived value of a workbook file from the requests
// kept in the comments, and select the cells that answer "#Arch!".
//
// While ArchiveRange and EraseArchive run, ArchiveOperationActive is True (every data function
// recalculated meanwhile bypasses the archive), calculation is manual, screen updating is off and the
// status bar shows the command's text; all three are given back as they were when the command ends,
// whatever happened.

#include <string>

#include "host/sheet/Range.h"
#include "host/sheet/Worksheet.h"

namespace telm {

// The range a command works on: with 2 to 99,999 cells selected the user is asked (message 100)
// whether the selection alone (Yes) or the whole sheet (No) is meant; otherwise the sheet's used
// range. Answers the part of the used range inside the choice (nullptr when they do not overlap), the
// used range on any failure. Remembers the active cell in TargetCell.
host::sheet::RangePtr GetWorkRange();

// Archives the data-function cells of `rng` (nullptr: GetWorkRange()) into the twin sheet, created
// hidden right after the sheet when missing. Per cell: the request is read by calculating the cell in
// describe mode, the cell is calculated live again (its formula text untouched), one line goes to
// "Log\Archiwum.log" (lost when the folder is missing), and the twin cell gets the value and the
// archive comment. Left out, live: a cell of an array formula, a cell whose formula is more than one
// data-function call (the call inside an expression), a cell whose request cannot be told. An archive
// sheet is never archived. Refused with a message, and nothing archived: a sheet named like the twin
// that the archive did not make (IsArchiveTwin), a sheet name too long for ".a". Selects TargetCell
// at the end.
void ArchiveRange(host::sheet::RangePtr rng = nullptr);
// ArchiveRange of the work range.
void RefreshArchiveSelection();

// On the twin cells of the work range's GETDATA cells (the function's name in the current language,
// message 3011): removes the comment and clears the value (bClearContents) or writes "." (a point).
// Without a twin sheet: message 1011; the user's own sheet named like a twin is refused.
void EraseArchive(bool bClearContents);
void ClearArchiveCells();
void FillArchiveWithPoints();

// Hides the twin sheet of the active sheet, or shows and selects it; on a twin sheet hides it and
// selects its sheet. Without a twin sheet asks (message 102) whether to archive. Message 1000 when
// there is no active sheet or the step fails. The user's own sheet named like a twin is refused.
void ToggleArchiveSheet();
// Deletes the twin sheet of the active sheet, or the active sheet when it is a twin sheet; message
// 1011 when there is none. The user's own sheet named like a twin is refused and kept.
void DeleteArchiveSheet();

// Enters and leaves the busy state of the archive (see the header comment).
void BeginArchiveOperation(const std::string& statusText);
void EndArchiveOperation();

// Gives the comment shapes of a sheet of the active workbook a readable size (150 x 500 points for
// those under 100 high); refuses, with a message, a sheet one of whose comments holds ">" before a
// line feed.
void FormatArchiveComments(const std::string& sheetName);

// Refreshes every twin sheet of a workbook file in a private application and saves the file; a
// workbook of that name open in the host is saved and closed first and opened again afterwards. Each
// step that fails is skipped, and a file or twin sheet not refreshed completely is noted as the
// command's failure; the file is replaced only by a complete new one. A sheet named like a twin that
// the archive did not make is left alone. A file another program has open (its lock file says so) is
// left alone: 1004. An empty name only reports message 1018. The status bar is the host's own again
// at the end.
void RefreshWorkbookArchives(const std::string& fileName);
// Re-runs the request of every commented cell of a twin sheet (SQL and MDX; a link keeps its value)
// and writes the value with a fresh comment marked " (Auto)". Stops at the first failure, which keeps
// the cell's frozen value; gives False then.
bool RefreshArchiveSheet(const host::sheet::WorksheetPtr& arch);

// Selects the cells of the active sheet that show "#Arch!".
void SelectArchiveMismatches();

// ---- shared by the archive commands ----

// The end of an archive comment: the time as "YYYY.MM.DD hh:mm:ss", ", ", CR, the user's name, ", ",
// the organisation's name.
std::string ArchiveSignature();
// Comment shapes under 100 points high become 150 high and 500 wide.
void EnlargeCommentShapes(host::sheet::Worksheet& sheet);

}  // namespace telm
