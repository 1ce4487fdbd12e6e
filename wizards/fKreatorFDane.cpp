#include "wizards/fKreatorFDane.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/F_Dane.h"
#include "host/base/Text.h"
#include "host/formula/Formula.h"
#include "host/sheet/Application.h"
#include "host/ui/Dialogs.h"
#include "wizards/P_Formuly.h"
#include "wizards/fKreatorFDane2.h"

namespace telm {

using host::ui::CommandButton;
using host::ui::Label;
using host::ui::ListBox;

namespace {

// The labels that show the chosen variable: caption label, detail label, caption message.
struct DetailLabel {
    const char* caption;
    const char* detail;
    int message;
    std::string DataModelVariable::*field;
};
constexpr DetailLabel kDetails[] = {
    {"Label2", "LabelAbout", 3108, &DataModelVariable::ABOUT},
    {"Label3", "LabelArguments", 3109, &DataModelVariable::GETDATAARGUMENTS},
    {"Label4", "LabelSample", 3110, &DataModelVariable::SAMPLEFUNCTION},
    {"Label6", "LabelType", 3112, &DataModelVariable::TYPE},
    {"Label7", "LabelAddString", 3113, &DataModelVariable::ADDSTRING},
    {"Label8", "LabelConnection", 3114, &DataModelVariable::CONNECTIONTEXT},
    {"Label9", "LabelQuery", 3115, &DataModelVariable::QUERYTEXT},
};

// The chosen variable, or nullptr when none is chosen.
const DataModelVariable* chosenVariable(const ListBox& list) {
    const auto& variables = SharedState().DataModelVariables;
    const int index = list.listIndex();
    return index >= 0 && index < static_cast<int>(variables.size()) ? &variables[index] : nullptr;
}

}  // namespace

std::string SampleFormula(const std::string& sample) {
    std::string formula;
    bool inText = false;
    for (char c : host::Trim(sample)) {
        if (c == '"') inText = !inText;
        formula += !inText && c == ';' ? ',' : c;
    }
    return formula.starts_with("=") ? formula : "=" + formula;
}

std::string GetDataFunctionName() { return GetMessageText(3011); }

std::string WizardArgumentText(const std::string& value) {
    const std::string text = host::Trim(value);
    const bool polish = SharedState().LanguageIndex == 0;
    std::size_t i = text.starts_with('-') ? 1 : 0;
    const std::size_t digits = text.find_first_not_of("0123456789", i);
    const std::size_t integerEnd = digits == std::string::npos ? text.size() : digits;
    bool plain = integerEnd > i && (text[i] != '0' || integerEnd == i + 1);
    if (plain && integerEnd < text.size()) {
        const char separator = text[integerEnd];
        plain = (separator == '.' || (polish && separator == ',')) && integerEnd + 1 < text.size() &&
                text.find_first_not_of("0123456789", integerEnd + 1) == std::string::npos;
    }
    if (!plain) return host::formula::textLiteral(value);
    std::string number = text;
    if (integerEnd < number.size()) number[integerEnd] = '.';
    return number;
}

std::string SampleMessageTitle() { return std::string(kSystemName) + " - " + GetMessageText(3011); }

fKreatorFDane::fKreatorFDane() : Form("fKreatorFDane"), ListBox1(add<ListBox>("ListBox1")) {
    add<Label>("Label1");
    for (const DetailLabel& d : kDetails) {
        add<Label>(d.caption);
        add<Label>(d.detail);
    }
    add<Label>("Label5");
    add<CommandButton>("CommandButton1").onClick = [this] { CommandButton1_Click(); };
    auto& cancel = add<CommandButton>("CommandButton2");
    cancel.setCancel(true);
    cancel.onClick = [this] { hide(); };
    add<CommandButton>("CommandButton3").onClick = [this] { CommandButton3_Click(); };
    auto& next = add<CommandButton>("CommandButton4");
    next.setDefault(true);
    next.onClick = [this] { CommandButton4_Click(); };
    ListBox1.onChange = [this] { ListBox1_Change(); };
}

void fKreatorFDane::SetFormLanguage() {
    setCaption(GetMessageText(2005));
    control<Label>("Label1").setCaption(GetMessageText(3107));
    control<Label>("Label5").setCaption(GetMessageText(3111));
    for (const DetailLabel& d : kDetails) control<Label>(d.caption).setCaption(GetMessageText(d.message));
    control<CommandButton>("CommandButton1").setCaption(GetMessageText(3104));
    control<CommandButton>("CommandButton2").setCaption(GetMessageText(3103));
    control<CommandButton>("CommandButton3").setCaption(GetMessageText(3105));
    control<CommandButton>("CommandButton4").setCaption(GetMessageText(3106));
}

void fKreatorFDane::ListBox1_Change() {
    SharedState().SelectedModelIndex = static_cast<std::int16_t>(ListBox1.listIndex());
    const DataModelVariable* variable = chosenVariable(ListBox1);
    for (const DetailLabel& d : kDetails) control<Label>(d.detail).setCaption(variable ? variable->*d.field : "");
}

void fKreatorFDane::CommandButton1_Click() {
    const DataModelVariable* variable = chosenVariable(ListBox1);
    if (!variable) return;
    if (host::Trim(variable->SAMPLEFUNCTION).empty()) {
        ReportMessage(GetMessageText(3146), 48, SampleMessageTitle());
        return;
    }
    hide();
    ExcelApplication().activeCell()->setFormula(SampleFormula(variable->SAMPLEFUNCTION));
}

void fKreatorFDane::CommandButton3_Click() {
    LoadDataModel(true);
    if (host::ui::MsgBox(GetMessageText(131), 36, "TELM.NET") != host::ui::vbYes) return;
    LoadDataModel(false);
    hide();
    ShowGetDataWizard();
}

void fKreatorFDane::CommandButton4_Click() {
    const int index = ListBox1.listIndex();
    LoadDataModel(false);
    const auto& variables = SharedState().DataModelVariables;
    if (index < 0 || index >= static_cast<int>(variables.size())) return;
    const DataModelVariable variable = variables[index];
    hide();
    auto& step2 = KreatorFDane2();
    step2.SetFormLanguage();
    step2.Fill(variable);
    step2.show();
}

fKreatorFDane& KreatorFDane() {
    static fKreatorFDane form;
    return form;
}

}  // namespace telm
