#pragma once
// The GETDATA wizard, step 1: the list of the data model's variables (ListBox1) with the details of
// the chosen one, and buttons that write its sample formula into the active cell, open the model
// files for editing, or go on to step 2 (fKreatorFDane2). One lasting instance (KreatorFDane()).

#include "host/ui/Form.h"

namespace telm {

class fKreatorFDane : public host::ui::Form {
public:
    fKreatorFDane();

    // Captions in the current language.
    void SetFormLanguage();
    // A variable was chosen: its index goes to SelectedModelIndex and its details to the labels.
    void ListBox1_Change();
    // "Enter function with sample arguments": the chosen variable's sample formula into the active cell.
    void CommandButton1_Click();
    // "Edit a data model definition's file": the model files in the editor, then question 131; on Yes
    // the model is read again and the wizard reopened on it.
    void CommandButton3_Click();
    // Next: the model read again, step 2 filled from the chosen variable and shown.
    void CommandButton4_Click();

    host::ui::ListBox& ListBox1;
};

fKreatorFDane& KreatorFDane();

// The formula a data model's sample function stands for: "=" in front when missing, and ";"
// between arguments (the Polish list separator model files use) read as ",".
std::string SampleFormula(const std::string& sample);

// The name of the worksheet function GETDATA as the current language writes it (message 3011: DANE in
// Polish, GETDATA in English).
std::string GetDataFunctionName();

// A value typed or chosen in the wizards as a formula argument: a number when the text is a plain
// number (a sign, digits without leading zeros, a decimal point, or in Polish a decimal comma);
// anything else ("007", "1e3", "&H10", "1,5" in English) a quoted text, exactly as written.
std::string WizardArgumentText(const std::string& value);

// The title of the wizards' message boxes about samples: "TELM.NET - " and message 3011.
std::string SampleMessageTitle();

}  // namespace telm
