#pragma once
// The commands an add-in put on the command bars, as `telm --menus` prints them.

#include <iosfwd>

#include "host/sheet/CommandBars.h"

namespace telm::app {

// Prints, bar by bar, the controls that are not built in: a bar's name, then its controls indented
// two blanks a level, popups with their controls, buttons as caption (toolbar buttons, and buttons
// without a caption, by their tooltip; "&" accelerators removed), a tab and the macro it runs.
void printInstalledCommands(const host::sheet::CommandBars& bars, std::ostream& out);

}  // namespace telm::app
