#include "wizards/fKreatorFDane2.h"

#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/F_000.h"
#include "data/F_Publiczne.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/formula/Formula.h"
#include "host/sheet/Application.h"
#include "wizards/P_DataSources.h"
#include "wizards/fKreatorFDane.h"

namespace telm {

using host::Variant;
using host::ui::ComboBox;
using host::ui::CommandButton;
using host::ui::Label;
using host::ui::TextBox;

namespace {

std::string numbered(const char* name, int k) { return name + std::to_string(k); }

std::string DataModelVariable::*const kArgumentFields[kWizardArguments] = {
    &DataModelVariable::ARG1, &DataModelVariable::ARG2, &DataModelVariable::ARG3, &DataModelVariable::ARG4,
    &DataModelVariable::ARG5};

// The entries of a query's result: the items of a list, or the first field of each record of a
// [field, record] table (an MDX result's row captions, a SQL result's first column); nullopt when
// the result is no array.
std::optional<std::vector<std::string>> firstField(const Variant& result) {
    if (!result.isArray()) return std::nullopt;
    const host::Array& a = result.arrayValue();
    std::vector<std::string> entries;
    if (a.dimensions() == 1) {
        for (long i = a.lbound(1); i <= a.ubound(1); ++i) entries.push_back(a(i).toString());
    } else {
        for (long r = a.lbound(2); r <= a.ubound(2); ++r) entries.push_back(a(a.lbound(1), r).toString());
    }
    return entries;
}

// The value list of one argument field.
std::optional<std::vector<std::string>> valueList(const std::string& field, const DataModelVariable& variable) {
    const std::string trimmed = host::Trim(field);
    if (trimmed.empty()) return std::nullopt;
    const std::string head = host::UCase(host::Left(trimmed, 7));
    try {
        if (head.starts_with("WITH ")) {
            const auto parts = host::Split(variable.CONNECTIONTEXT, ",");
            std::string mdx = trimmed;
            return firstField(OlapListForWizardPublic(parts.empty() ? "" : parts[0], parts.size() > 1 ? parts[1] : "", mdx));
        }
        if (head == "SELECT ") {
            // The primitive answers a failure with a list of one text, rows with a [field, record] table.
            const Variant rows = DispatchFunkcjaADO000(variable.CONNECTIONTEXT, trimmed);
            if (!rows.isArray() || rows.arrayValue().dimensions() != 2) return std::nullopt;
            return firstField(rows);
        }
    } catch (const host::RuntimeError&) {
        return std::nullopt;
    }
    std::vector<std::string> entries;
    for (const std::string& item : host::Split(trimmed, ",")) entries.push_back(host::Trim(item));
    return entries;
}

// The arguments after the variable's name in its sample function.
std::vector<std::string> sampleArguments(const std::string& sample) {
    const std::string formula = SampleFormula(sample);
    for (const char* name : {"GETDATA", "DANE"})
        if (auto arguments = FunctionArguments(formula, name); !arguments.empty()) {
            arguments.erase(arguments.begin());
            return arguments;
        }
    return {};
}

}  // namespace

fKreatorFDane2::fKreatorFDane2() : Form("fKreatorFDane2") {
    for (const char* label : {"Label1", "LabelName", "Label2", "LabelAbout", "Label3", "Label4", "Label5",
                              "LabelSample", "Label6", "Label7"})
        add<Label>(label);
    for (int k = 1; k <= kWizardArguments; ++k) {
        add<Label>(numbered("LabelArg", k));
        add<ComboBox>(numbered("ComboBox", k));
        add<TextBox>(numbered("RefEdit", k));
    }
    add<CommandButton>("CommandButton1").onClick = [this] { CommandButton1_Click(); };
    auto& finish = add<CommandButton>("CommandButton2");
    finish.setDefault(true);
    finish.onClick = [this] { CommandButton2_Click(); };
    add<CommandButton>("CommandButton3").onClick = [this] { CommandButton3_Click(); };
    auto& cancel = add<CommandButton>("CommandButton4");
    cancel.setCancel(true);
    cancel.onClick = [this] { hide(); };
}

void fKreatorFDane2::SetFormLanguage() {
    setCaption(GetMessageText(2005));
    const std::pair<const char*, int> captions[] = {{"Label1", 3116}, {"Label2", 3119}, {"Label3", 3117},
                                                    {"Label4", 3120}, {"Label5", 3110}, {"Label6", 3121},
                                                    {"Label7", 3123}};
    for (const auto& [name, message] : captions) control<Label>(name).setCaption(GetMessageText(message));
    control<CommandButton>("CommandButton1").setCaption(GetMessageText(3124));
    control<CommandButton>("CommandButton2").setCaption(GetMessageText(3125));
    control<CommandButton>("CommandButton3").setCaption(GetMessageText(3126));
    control<CommandButton>("CommandButton4").setCaption(GetMessageText(3103));
}

void fKreatorFDane2::Fill(const DataModelVariable& variable) {
    variable_ = variable;
    control<Label>("LabelName").setCaption(GetMessageText(3118) + " " + variable.Name);
    control<Label>("LabelAbout").setCaption(variable.ABOUT);
    control<Label>("LabelSample").setCaption(variable.SAMPLEFUNCTION);
    argumentNames_ = host::Trim(variable.GETDATAARGUMENTS).empty() ? std::vector<std::string>{}
                                                                    : host::Split(variable.GETDATAARGUMENTS, ",");
    const auto& names = argumentNames_;
    for (int k = 1; k <= kWizardArguments; ++k) {
        const bool used = k <= static_cast<int>(names.size());
        auto& label = control<Label>(numbered("LabelArg", k));
        label.setCaption(used ? GetMessageText(3122) + " " + std::to_string(k) + ": " + host::Trim(names[k - 1]) : "");
        for (host::ui::Control* c : {static_cast<host::ui::Control*>(&label), &control(numbered("ComboBox", k)),
                                     &control(numbered("RefEdit", k))})
            c->setVisible(used);
        control<TextBox>(numbered("RefEdit", k)).setText("");
    }
    PrepareArgumentLists(variable, *this);
}

void PrepareArgumentLists(const DataModelVariable& variable, fKreatorFDane2& form) {
    for (int k = 1; k <= kWizardArguments; ++k) {
        auto& list = form.control<ComboBox>(numbered("ComboBox", k));
        list.clear();
        list.setText("");
        const auto entries = valueList(variable.*kArgumentFields[k - 1], variable);
        if (!entries) {
            list.addItem(GetMessageText(3146));
            continue;
        }
        for (const std::string& entry : *entries) list.addItem(entry);
        if (list.listCount() > 0) list.setListIndex(0);
    }
}

std::optional<std::string> fKreatorFDane2::GetDataFormula() const {
    std::string formula = "=" + GetDataFunctionName() + "(" + host::formula::textLiteral(variable_.Name);
    const std::vector<std::string> sample = sampleArguments(variable_.SAMPLEFUNCTION);
    for (int k = 1; k <= static_cast<int>(argumentNames_.size()); ++k) {
        if (k > kWizardArguments) {
            if (k > static_cast<int>(sample.size()) || sample[k - 1].empty()) return std::nullopt;
            formula += "," + sample[k - 1];
            continue;
        }
        const std::string cell = host::Trim(control<TextBox>(numbered("RefEdit", k)).text());
        formula += "," + (cell.empty() ? WizardArgumentText(control<ComboBox>(numbered("ComboBox", k)).text()) : cell);
    }
    return formula + ")";
}

void fKreatorFDane2::CommandButton1_Click() {
    hide();
    auto& step1 = KreatorFDane();
    step1.SetFormLanguage();
    step1.show();
}

void fKreatorFDane2::CommandButton2_Click() {
    const auto formula = GetDataFormula();
    if (!formula) {
        ReportMessage(GetMessageText(3146), 48, SampleMessageTitle());
        return;
    }
    ExcelApplication().activeCell()->setFormula(*formula);  // a reference that does not parse keeps the form open
    hide();
}

void fKreatorFDane2::CommandButton3_Click() {
    if (host::Trim(variable_.SAMPLEFUNCTION).empty()) {
        ReportMessage(GetMessageText(3146), 48, SampleMessageTitle());
        return;
    }
    hide();
    ExcelApplication().activeCell()->setFormula(SampleFormula(variable_.SAMPLEFUNCTION));
}

fKreatorFDane2& KreatorFDane2() {
    static fKreatorFDane2 form;
    return form;
}

}  // namespace telm
