#pragma once
// Toolbar files: command bars with their controls saved as UTF-8 text and loaded back, so that a
// user's toolbars outlive the session and an add-in can ship its own.
//
// The format, one line each:
//   TELM command bars 1                                      first line: the format and its version
//   bar name="My Bar" type=toolbar position=top visible=true
//     control type=popup caption="&Data"                     two spaces per level of nesting
//       control type=button caption="Say \"hi\"; a=b" onaction="Hello" tag="hi"
// Fields are key=value; texts are quoted with \" \\ \n \r \t escapes; numbers, true/false and names
// of types, positions and styles are bare. A field left out has its default value. Blank lines and
// lines starting with "#" are ignored.

#include <string>
#include <vector>

#include "host/sheet/CommandBars.h"

namespace host::sheet {

// Writes the named bars (error 5 for a name that is no bar) to the file at path ("\" or "/" as
// separators). The text goes to a temporary file in the same folder that then replaces the file, so
// a failure leaves the old file as it was. Errors: 76 for a missing folder, 70 when access is denied,
// 75 for other failures.
void saveToolbars(const CommandBars& bars, const std::vector<std::string>& barNames, const std::string& path);

// Reads the bars of a toolbar file: a bar that exists gets the file's state and controls, a bar that
// does not is added. Nothing changes when the file is bad. Errors: 53 for a missing file, 70 when
// access is denied, 1004 naming the file and the line for a file that is not a valid toolbar file.
void loadToolbars(CommandBars& bars, const std::string& path);

}  // namespace host::sheet
