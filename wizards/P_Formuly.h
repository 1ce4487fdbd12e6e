#pragma once
// The data-model formula commands: the GETDATA wizard opened on a freshly read data model, the
// active cell's formula handed to the parametrisation form, and the active cell's formula copied
// into the whole selection.

namespace telm {

// Message 1000 when no workbook is open; otherwise reads the data model, lists its variables in the
// wizard (the first selected when none is) and shows it. Any later failure (a model without
// variables included) ends silently without the wizard.
void ShowGetDataWizard();

// Hands the active cell's formula to fParametrizeFormula (TargetCell := the active cell). A plain
// text is offered as a formula returning it (question 106); a formula or text without a double quote,
// or an empty cell, gives message 1002. Any other failure ends silently.
void ParametrizeActiveFormula();

// The selection's Formula := the active cell's Formula, in one assignment. Failures go to the caller.
void FillSelectionWithFormula();

}  // namespace telm
