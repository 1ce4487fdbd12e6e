#pragma once
// The GETDATA wizard, step 2: the chosen variable's arguments, each with its value list (ComboBox1 ..
// ComboBox5, filled by PrepareArgumentLists) and a box for a cell address (RefEdit1 .. RefEdit5) that
// takes precedence over the value. Finish writes the GETDATA formula into the active cell.

#include <optional>
#include <string>
#include <vector>

#include "core/A_Deklaracje.h"
#include "host/ui/Form.h"

namespace telm {

inline constexpr int kWizardArguments = 5;

class fKreatorFDane2 : public host::ui::Form {
public:
    fKreatorFDane2();

    void SetFormLanguage();
    // Shows the variable's name, description, sample and argument names, and fills the value lists.
    void Fill(const DataModelVariable& variable);
    // Back: step 1 again.
    void CommandButton1_Click();
    // Finish: the GETDATA formula of the chosen values into the active cell.
    void CommandButton2_Click();
    // "Enter a sample": the variable's sample formula into the active cell (message 3146 without one).
    void CommandButton3_Click();

    // The GETDATA formula of the chosen values: =GETDATA("name",value1,...) (DANE in Polish) with one
    // value per argument name; a cell address is written as a reference, anything else as
    // WizardArgumentText gives it. The form has fields for five arguments: a sixth and later take the
    // argument of the variable's sample at their place; nullopt when the sample has none there.
    std::optional<std::string> GetDataFormula() const;

private:
    DataModelVariable variable_;
    std::vector<std::string> argumentNames_;
};

fKreatorFDane2& KreatorFDane2();

// Fills the value list of each argument field (ARG1 .. ARG5) of the variable: a text beginning with
// "WITH " (any letter case) is an MDX query of the cube named by the first two items of the
// variable's connection text, a text beginning with "SELECT " a SQL query on its connection text
// (the first column), any other text a comma-separated list; a query that gives no array, or an
// empty field, gives the one entry of message 3146.
void PrepareArgumentLists(const DataModelVariable& variable, fKreatorFDane2& form);

}  // namespace telm
