#pragma once
// Writing a workbook file (the Office Open XML spreadsheet format, whatever the file's extension).

#include <optional>
#include <string>

#include "host/files/SaveTarget.h"
#include "host/sheet/Workbook.h"

namespace host::files {

// Writes the workbook to the file: sheets with their visibility, values, formulas (A1 style) with
// their last results, array formulas, number formats, comments, defined names and custom document
// properties. A workbook read from a file keeps everything else that file held: the parts the
// platform does not read are copied as they were stored, with their relationships and content
// types; in the parts it writes, what it does not model stays (cell styles, rows' attributes, every
// element of a sheet other than its cells). A number format the platform changed gets a style of its
// own, added to the file's styles. The file is replaced only once the new one is complete; returns
// its stamp. unchangedSince as saveFile (SaveTarget.h) takes it. Raises 1004 naming the file when it
// cannot be written.
FileStamp writeWorkbook(const sheet::Workbook& workbook, const std::string& path,
                        const std::optional<FileStamp>& unchangedSince = std::nullopt);

}  // namespace host::files
