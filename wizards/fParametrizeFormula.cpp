#include "wizards/fParametrizeFormula.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/sheet/Worksheet.h"
#include "host/ui/Dialogs.h"
#include "wizards/AskForAddress.h"

namespace telm {

using host::ui::CommandButton;
using host::ui::Label;
using host::ui::TextBox;

namespace {

constexpr int kYesNoQuestion = 36;

bool askYes(int message) {
    return ReportMessage(GetMessageText(message), kYesNoQuestion, GetMessageText(2003)) == host::Variant(host::ui::vbYes);
}

}  // namespace

std::string ParametrizeLiteral(const std::string& formula, long start, long length, const std::string& reference) {
    // Find the literal (between double quotes, "" inside counting as a quote) that holds the selection.
    const long size = host::Len(formula);
    long open = -1;
    for (long i = 0; i < size; ++i) {
        if (host::Mid(formula, i + 1, 1) != "\"") continue;
        if (open < 0) {
            open = i;
        } else if (i + 1 < size && host::Mid(formula, i + 2, 1) == "\"") {
            ++i;  // a doubled quote inside the literal
        } else {
            if (start > open && start + length <= i && length > 0) {
                const std::string before = host::Mid(formula, open + 2, start - open - 1);
                const std::string after = host::Mid(formula, start + length + 1, i - start - length);
                std::string joined = reference;
                if (!before.empty()) joined = "\"" + before + "\"&" + joined;
                if (!after.empty()) joined += "&\"" + after + "\"";
                return host::Left(formula, open) + joined + host::Mid(formula, i + 2);
            }
            open = -1;
        }
    }
    return {};
}

fParametrizeFormula::fParametrizeFormula() : Form("fParametrizeFormula"), TextBox1(add<TextBox>("TextBox1")) {
    add<Label>("Label1");
    add<CommandButton>("CommandButton1").onClick = [this] { CommandButton1_Click(); };
    auto& ok = add<CommandButton>("CommandButton2");
    ok.setDefault(true);
    ok.onClick = [this] { CommandButton2_Click(); };
    auto& cancel = add<CommandButton>("CommandButton3");
    cancel.setCancel(true);
    cancel.onClick = [this] { hide(); };
}

void fParametrizeFormula::SetFormLanguage() {
    setCaption(GetMessageText(2003));
    control<Label>("Label1").setCaption(GetMessageText(3100));
    control<CommandButton>("CommandButton1").setCaption(GetMessageText(3101));
    control<CommandButton>("CommandButton2").setCaption(GetMessageText(3102));
    control<CommandButton>("CommandButton3").setCaption(GetMessageText(3103));
}

void fParametrizeFormula::CommandButton1_Click() {
    const std::string formula = TextBox1.text();
    const long start = TextBox1.selStart();
    const long length = TextBox1.selLength();
    const std::string selected = TextBox1.selText();
    if (ParametrizeLiteral(formula, start, length, "A1").empty()) {
        ReportMessage(GetMessageText(1002), 48, GetMessageText(2003));
        return;
    }
    auto cell = AskForAddress();
    if (!cell) return;
    if (cell->value().isEmpty() && askYes(8)) cell->setValue(selected);
    const bool columnAbsolute = askYes(9);  // a row's label: the formula is copied along the row
    const bool rowAbsolute = askYes(10);    // a column's label: the formula is copied down the column
    const auto& target = SharedState().TargetCell;
    const std::string reference = target ? ReferenceFrom(*target, *cell, rowAbsolute, columnAbsolute)
                                         : cell->address(rowAbsolute, columnAbsolute);
    TextBox1.setText(ParametrizeLiteral(formula, start, length, reference));
}

void fParametrizeFormula::CommandButton2_Click() {
    hide();
    if (auto target = SharedState().TargetCell) target->setFormula(TextBox1.text());
}

fParametrizeFormula& ParametrizeFormulaForm() {
    static fParametrizeFormula form;
    return form;
}

}  // namespace telm
