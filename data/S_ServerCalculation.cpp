#include "data/S_ServerCalculation.h"

#include <functional>
#include <vector>

#include "core/A_Deklaracje.h"
#include "core/F_Pomocnicze.h"
#include "core/P_ObslBledow.h"
#include "data/F_000.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"
#include "host/ui/Dialogs.h"

namespace telm {

using host::Variant;
using host::sheet::CalculationMode;

namespace {

constexpr const char* kWorkbookName = "TelmNetServerCalculation.xls";
constexpr long kMaxSqlCharacters = 10000;

// The opened workbook (held weakly: the user may close it) and the requests since the last write-out.
struct ServerCalculationState {
    std::weak_ptr<host::sheet::Workbook> workbook;
    std::vector<std::string> requests;
};

ServerCalculationState& state() {
    static ServerCalculationState s;
    return s;
}

bool parameterIsOne() {
    const Variant value(GetParamValue("ServerCalculation", SharedState().ModelParameters, ";"));
    return host::isNumeric(value) && value.toDouble() == 1;
}

}  // namespace

void OpenServerCalculationWorkbook() {
    auto& s = SharedState();
    s.ServerCalculationOn = false;
    state() = {};
    IgnoringErrors([&] { s.ServerCalculationOn = parameterIsOne(); });
    if (!s.ServerCalculationOn) return;
    try {
        auto& app = ExcelApplication();
        state().workbook =
            app.workbooks().open(s.AddInFolder + "\\ServerCalculation\\" + kWorkbookName);
        auto window = app.window(kWorkbookName);
        if (!window) throw host::RuntimeError(host::err::SubscriptOutOfRange);
        window->visible = true;
    } catch (const host::RuntimeError&) {
        host::ui::MsgBox(std::string("No Server Calculation Workbook '") + kWorkbookName + "'", host::ui::vbCritical,
                         "TELM.NET");
        s.ServerCalculationOn = false;
        return;
    }
    IgnoringErrors([] { ExcelApplication().setCalculation(CalculationMode::Manual); });
}

void AddServerCalculationRequest(const std::string& request) { state().requests.push_back(request); }

void WriteServerCalculationRequests() {
    const std::vector<std::string> requests = std::move(state().requests);
    state().requests.clear();
    host::sheet::WorksheetPtr sheet;
    try {
        auto& app = ExcelApplication();
        if (app.calculation() != CalculationMode::Manual) host::ui::MsgBox("Manual");
        app.setCalculation(CalculationMode::Manual);
        auto workbook = state().workbook.lock();
        if (!workbook) throw host::RuntimeError(host::err::ObjectNotSet);
        sheet = workbook->sheet("SCData1");
        if (auto used = sheet->usedRange()) used->clearContents();
        int column = 1;
        for (const char* header : {"RecNo", "Args", "Value", "QueryType", "DataSource", "SqlText"})
            sheet->cells(1, column++)->setValue(header);
    } catch (const host::RuntimeError&) {  // no sheet to write to: the requests are dropped
        return;
    }
    for (long i = 1; i <= static_cast<long>(requests.size()); ++i) {
        const std::string& r = requests[static_cast<std::size_t>(i - 1)];
        const long p1 = host::InStr(r, "(:::)");
        const long p2 = host::InStr(r, "(:)");
        const long p3 = host::InStr(r, "(::)");
        const int row = static_cast<int>(i + 1);
        // A cut of negative length (a separator missing) leaves its cell empty.
        auto write = [&](int column, const std::function<Variant()>& value) {
            IgnoringErrors([&] { sheet->cells(row, column)->setValue(value()); });
        };
        write(1, [&] { return Variant(static_cast<std::int32_t>(i)); });
        write(2, [&] { return Variant(host::Left(r, p1 - 1)); });
        write(4, [&] { return Variant(host::Mid(r, p1 + 5, p2 - p1 - 5)); });
        write(5, [&] { return Variant(host::Mid(r, p2 + 3, p3 - p2 - 3)); });
        write(6, [&] { return Variant(host::Mid(r, p3 + 4, kMaxSqlCharacters)); });
    }
}

void HandleServerSheetChange() {}

}  // namespace telm
