#pragma once
// The text of toolbar files (see ToolbarFile.h for the format): command bar descriptions written as
// lines of text and read back.

#include <string>
#include <string_view>
#include <vector>

#include "host/sheet/CommandBars.h"

namespace host::sheet {

// The text of a toolbar file holding these bars.
std::string toolbarText(const std::vector<CommandBarDescription>& bars);

// The bars of a toolbar file's text. Error 1004 when the text is not a valid toolbar file, its
// description naming fileName and the line.
std::vector<CommandBarDescription> parseToolbarText(std::string_view text, const std::string& fileName);

}  // namespace host::sheet
