#pragma once
// Recalculation of parts of a sheet, and the usage statistics of the data functions.

namespace telm {

// Calculates the selection's formulas.
void RecalcSelection();
// Calculates the selection, then every formula of its sheet that depends on it at any level, each
// after the formulas among them that it reads.
void RecalcDependents();
// Calculates every cell of its sheet that the selection's formulas use at any level, deepest first
// (each after the cells it reads), and then the selection.
void RecalcPrecedents();
// Shows the four usage counters (all external-data function calls, GETDATA calls, values served from
// the archive, queries sent out) with their shares of all calls, the archive's and GETDATA's
// efficiency (message 2 and 11, 3, 4, 5, 6, 12, 7; OK/Cancel, title 2000) through ReportMessage;
// OK sets the counters to 0.
void ShowCountersInfo();

}  // namespace telm
