#pragma once
// The cell the user points at on a sheet, for the wizards.

#include "host/sheet/Range.h"

namespace telm {

// Asks for a cell (message 3148, title 2003): its top-left cell, or nullptr when the user cancelled
// or pointed at no cell (message 107).
host::sheet::RangePtr AskForAddress();

}  // namespace telm
