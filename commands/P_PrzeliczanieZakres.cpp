#include "commands/P_PrzeliczanieZakres.h"

#include <algorithm>
#include <string>
#include <vector>

#include "commands/CommandSupport.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/NumberFormat.h"
#include "host/base/Text.h"
#include "host/ui/Dialogs.h"

namespace telm {

using host::sheet::RangePtr;

namespace {

// The selection together with the cells `related` finds for it (its dependents or precedents), as one
// range: calculating it takes every formula after the formulas of the range it reads, so the
// selection comes before its dependents and after its precedents.
RangePtr withRelated(const RangePtr& selection, RangePtr (host::sheet::Range::*related)() const) {
    std::vector<host::formula::Area> areas = selection->areas();
    try {
        const RangePtr found = ((*selection).*related)();
        areas.insert(areas.end(), found->areas().begin(), found->areas().end());
    } catch (const host::RuntimeError&) {
        // "No cells were found.": the selection alone
    }
    return std::make_shared<host::sheet::Range>(selection->parent(), std::move(areas));
}

std::string countLine(int id, std::int16_t count) { return GetMessageText(id) + ": " + std::to_string(count); }

// A share in percent with the decimal separator of the current language (a comma in Polish).
std::string share(double part, double whole) {
    const std::string text = host::formatValue(whole > 0 ? part / whole : 0.0, "0.0%");
    return SharedState().LanguageIndex == 0 ? host::Replace(text, ".", ",") : text;
}

}  // namespace

void RecalcSelection() {
    RunCommand([] { SelectedRange()->calculate(); });
}

void RecalcDependents() {
    RunCommand([] { withRelated(SelectedRange(), &host::sheet::Range::dependents)->calculate(); });
}

void RecalcPrecedents() {
    RunCommand([] { withRelated(SelectedRange(), &host::sheet::Range::precedents)->calculate(); });
}

void ShowCountersInfo() {
    RunCommand([] {
        auto& s = SharedState();
        const double total = s.DataFunctionCallCount;
        const std::string prompt =
            GetMessageText(2) + "\n\n" + countLine(11, s.DataFunctionCallCount) + "\n" +
            countLine(3, s.GetDataCallCount) + " (" + share(s.GetDataCallCount, total) + ")\n" +
            countLine(4, s.ArchiveHitCount) + " (" + share(s.ArchiveHitCount, total) + ")\n" +
            countLine(5, s.ExternalQueryCount) + " (" + share(s.ExternalQueryCount, total) + ")\n\n" +
            GetMessageText(6) + ": " + share(s.ArchiveHitCount, total) + "\n" + GetMessageText(12) + ": " +
            share(std::max(0.0, total - s.ExternalQueryCount), total) + "\n\n" + GetMessageText(7);
        const host::Variant answer =
            ReportMessage(prompt, host::ui::vbOKCancel + host::ui::vbInformation, GetMessageText(2000));
        if (answer != host::Variant(host::ui::vbOK)) return;
        s.GetDataCallCount = s.DataFunctionCallCount = s.ExternalQueryCount = s.ArchiveHitCount = 0;
    });
}

}  // namespace telm
