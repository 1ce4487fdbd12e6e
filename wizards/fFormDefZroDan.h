#pragma once
// The data-source definition form: the fields of one data-model variable (name, description, source
// type, add string, connection text, query text, GETDATA arguments, sample function), buttons that
// map a selected part of the connection or query text to a named argument, and Save, which appends
// the variable to the model's custom file ModelName & "Custom.par".

#include <string>

#include "host/ui/Form.h"

namespace telm {

inline constexpr int kDefinitionArguments = 5;

class fFormDefZroDan : public host::ui::Form {
public:
    fFormDefZroDan();

    void SetFormLanguage();
    // Map argument k (1..5): the selected text of the connection or query text (the one that has the
    // focus; message 1033 otherwise) is replaced by the argument's name (message 1034 without one), which joins the GETDATA arguments; its sample value joins the sample function.
    void MapArgument(int k);
    // Save: appends the variable's block to the custom model file, on a line of its own and in the
    // file's line ends, each value so that it reads back exactly (escaped where a plain line cannot
    // hold it); message 1035 when a model file already defines the name, 1036 with the part that
    // cannot be written (a name holding a line break, tab or ":::", an over-long value, characters
    // the file's code page lacks); then message 148 with the file.
    void Command12_Click();
    // Whether Save wrote the variable since the form was last filled.
    bool saved() const { return saved_; }
    void clearSaved() { saved_ = false; }

    host::ui::TextBox& TextBoxName;
    host::ui::TextBox& TextBoxAbout;
    host::ui::TextBox& TextBoxType;
    host::ui::TextBox& TextBoxAddString;
    host::ui::TextBox& TextBoxConnectionText;
    host::ui::TextBox& TextBoxQueryText;
    host::ui::TextBox& TextBoxArguments;
    host::ui::TextBox& TextBoxSample;

private:
    bool saved_ = false;
};

fFormDefZroDan& DataSourceDefinitionForm();

}  // namespace telm
