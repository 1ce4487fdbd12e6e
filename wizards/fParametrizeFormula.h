#pragma once
// The formula-parametrisation form: TextBox1 holds a formula; the user selects a text inside one of
// its text literals and "Get a parameter" replaces it by a reference to a cell the user points at;
// "OK" writes the formula into TargetCell. One lasting instance (ParametrizeFormulaForm()).

#include "host/ui/Form.h"

namespace telm {

class fParametrizeFormula : public host::ui::Form {
public:
    fParametrizeFormula();

    void SetFormLanguage();
    // Get a parameter: the selected text of a literal becomes a reference to the chosen cell.
    void CommandButton1_Click();
    // OK: the formula into TargetCell; the form closes.
    void CommandButton2_Click();

    host::ui::TextBox& TextBox1;
};

fParametrizeFormula& ParametrizeFormulaForm();

// The formula with the text `selected` at character `start` (from 0, inside a text literal) replaced
// by `reference`: a whole literal becomes the reference, a part of one is joined in with "&".
// Gives "" when the selection is not inside a literal.
std::string ParametrizeLiteral(const std::string& formula, long start, long length, const std::string& reference);

}  // namespace telm
