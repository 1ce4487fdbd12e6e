#pragma once
// Selecting the cells of the active sheet by what they show.

#include <string>

namespace telm {

// Selects every cell of the active sheet's used range whose value contains `text` (letter case
// ignored). Without a match, or when the selection cannot be made, the selection stays as it was.
void SelectCellsContaining(const std::string& text);

}  // namespace telm
