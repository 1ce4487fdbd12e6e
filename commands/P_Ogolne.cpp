#include "commands/P_Ogolne.h"

#include <cmath>
#include <filesystem>
#include <string>

#include "commands/CommandSupport.h"
#include "commands/pInfo2.h"
#include "commands/pSkroty.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/FileChoice.h"
#include "core/P_API.h"
#include "core/P_ObslBledow.h"
#include "host/base/NumberFormat.h"
#include "host/base/Path.h"
#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/ui/Dialogs.h"

namespace telm {

using host::Variant;

namespace {

constexpr const char* kWorkbookFilter = "Microsoft Excel (*.xls;*.xlsx;*.xlt),*.xls;*.xlsx;*.xlt";

// A whole number from lowest to highest typed in an input box, or nullopt.
std::optional<int> wholeNumber(const std::string& answer, int lowest, int highest) {
    const auto n = host::parseNumber(host::Trim(answer));
    if (!n || *n != std::floor(*n) || *n < lowest || *n > highest) return std::nullopt;
    return static_cast<int>(*n);
}

// Asks with an input box until the answer is empty (nullopt) or a whole number from lowest to highest.
std::optional<int> askWholeNumber(const std::string& prompt, const std::string& title, const Variant& present,
                                  int lowest, int highest) {
    for (;;) {
        const std::string answer = host::ui::InputBox(prompt, title, present.toString());
        if (host::Trim(answer).empty()) return std::nullopt;
        if (auto n = wholeNumber(answer, lowest, highest)) return n;
    }
}

// A value as the result box shows it: General for single values, array constant form for arrays.
std::string resultText(const Variant& v) {
    if (v.isArray() || v.isError()) return host::formula::constantFormulaText(v).substr(1);
    return host::formatValue(v, "General");
}

void writeIntoActiveCell(const std::string& text) {
    if (!text.empty()) ActiveCellRange()->setValue(CellLiteral(text));
}

// Lets the user pick a workbook, the dialog starting in the add-in's subfolder, and opens it; a
// template gives a new workbook based on it instead.
void openFromAddInSubfolder(const std::string& subfolder, bool templates = false) {
    const std::string folder = host::nativePath(AddInSubfolder(subfolder));
    std::error_code missing;
    if (!std::filesystem::is_directory(folder, missing)) throw host::RuntimeError(host::err::PathNotFound);
    const std::string chosen = ChooseFileToOpen(folder, kWorkbookFilter, {});
    if (chosen.empty()) return;  // cancelled
    std::string file = host::nativePath(chosen);
    if (!file.starts_with("/")) file = folder + "/" + file;
    if (templates)
        ExcelApplication().workbooks().addFromTemplate(file);
    else
        ExcelApplication().workbooks().open(file);
}

}  // namespace

void ShowAboutBox() {
    RunCommand([] {
        pInfo2 form;
        form.SetFormLanguage();
        form.show();
    });
}

void ApplyDefaultNumberFormat() {
    RunCommand([] { SelectedRange()->setNumberFormat(kDefaultNumberFormat); });
}

void OpenHelpPage() {
    RunCommand([] { OpenDocument(kHelpPageAddress); });
}

void OpenSamplesWebPage() {
    RunCommand([] { OpenDocument(kSamplesPageAddress); });
}

void PasteValuesIntoSelection() {
    // nothing on the clipboard, no selection, a paste that does not fit: nothing happens
    IgnoringErrors([] { SelectedRange()->pasteSpecialValues(); });
}

void EvaluateFormulaInEditLine() {
    RunCommand([] { ExcelApplication().sendKeys("{F2}{F9}"); });
}

void ShowFormulaResult() {
    RunCommand([] {
        const std::string formula = ActiveCellRange()->formula().toString();
        ReportMessage(resultText(ExcelApplication().evaluate(formula)), host::ui::vbInformation, kSystemName);
    });
}

void AskErrorReportingLevel() {
    RunCommand([] {
        auto& level = SharedState().ErrorReportingLevel;
        if (auto n = askWholeNumber(GetMessageText(147), GetMessageText(2010), Variant::integer(level), 0, 4))
            level = static_cast<std::int16_t>(*n);
    });
}

void AskErrorReportingWay() {
    RunCommand([] {
        auto& way = SharedState().pvErrorReportingWay;
        if (auto n = askWholeNumber("pvErrorReportingWay", std::string(kSystemName), way, INT16_MIN, INT16_MAX))
            way = Variant::integer(static_cast<std::int16_t>(*n));
    });
}

void ShowShortcutList() {
    RunCommand([] {
        pSkroty form;
        form.SetFormLanguage();
        form.show();
    });
}

void InsertChosenFolderPath() {
    RunCommand([] { writeIntoActiveCell(BrowseFolderDialog().toString()); });
}

void InsertChosenFilePath() {
    RunCommand([] {
        const Variant chosen = host::ui::GetOpenFilename({}, GetMessageText(2003));
        if (chosen.isString()) writeIntoActiveCell(chosen.stringValue());
    });
}

void OpenSampleWorkbook() {
    RunCommand([] { openFromAddInSubfolder("Samples"); });
}

void OpenTemplateWorkbook() {
    RunCommand([] { openFromAddInSubfolder("Templates", true); });
}

}  // namespace telm
