#pragma once
// The recalculation commands of the menus.

namespace telm {

// Recalculates every open workbook: through the services' cycle while they are on, else the host's
// own calculation. No workbook open: message 1000. A failure: message 1999 with its description.
void CalculateAllWorkbooks();

// Recalculates the active sheet: through the services' cycle while they are on, else the sheet's own
// calculation. No workbook open: message 1000. A failure: message 1001.
void CalculateActiveSheet();

}  // namespace telm
