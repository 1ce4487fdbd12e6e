#include "wizards/P_Formuly.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/F_Dane.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/ui/Dialogs.h"
#include "wizards/fKreatorFDane.h"
#include "wizards/fParametrizeFormula.h"

namespace telm {

namespace {

constexpr int kExclamation = 48;

}  // namespace

void ShowGetDataWizard() {
    if (!ExcelApplication().activeCell()) {
        ReportMessage(GetMessageText(1000), kExclamation, GetMessageText(2002));
        return;
    }
    try {
        LoadDataModel(false);
        const auto& variables = SharedState().DataModelVariables;
        if (variables.empty()) return;
        std::vector<host::Variant> names;
        names.reserve(variables.size());
        for (const auto& v : variables) names.emplace_back(v.Name);
        auto& wizard = KreatorFDane();
        wizard.ListBox1.setList(host::Array::vector(std::move(names), 0));
        wizard.ListBox1.setFocus();
        if (wizard.ListBox1.listIndex() == -1) wizard.ListBox1.setListIndex(0);
        wizard.SetFormLanguage();
        wizard.show();
    } catch (const host::RuntimeError&) {
        // the wizard ends silently
    }
}

void ParametrizeActiveFormula() {
    try {
        auto cell = ExcelApplication().activeCell();
        if (!cell) return;
        std::string formula = cell->formula().toString();
        const bool quoted = host::InStr(formula, "\"") > 0;
        if (!formula.empty() && !formula.starts_with("=") && !quoted) {
            if (ReportMessage(GetMessageText(106), 36, GetMessageText(2002)) != host::Variant(host::ui::vbYes)) {
                ReportMessage(GetMessageText(1002), kExclamation, GetMessageText(2003));
                return;
            }
            formula = "=\"" + formula + "\"";
        } else if (formula.empty() || !quoted) {
            ReportMessage(GetMessageText(1002), kExclamation, GetMessageText(2003));
            return;
        }
        SharedState().TargetCell = cell;
        auto& form = ParametrizeFormulaForm();
        form.TextBox1.setText(formula);
        form.TextBox1.setFocus();
        form.SetFormLanguage();
        form.show();
    } catch (const host::RuntimeError&) {
        // the command ends silently
    }
}

void FillSelectionWithFormula() {
    auto& app = ExcelApplication();
    auto cell = app.activeCell();
    if (!cell) throw host::RuntimeError(host::err::ObjectNotSet, host::standardDescription(host::err::ObjectNotSet));
    app.selection()->setFormula(cell->formula());
}

}  // namespace telm
