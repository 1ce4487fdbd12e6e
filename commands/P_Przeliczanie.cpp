#include "commands/P_Przeliczanie.h"

#include <functional>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/S_ServiceManager.h"
#include "host/base/RuntimeError.h"
#include "host/sheet/Worksheet.h"

namespace telm {

namespace {

constexpr int kExclamation = 48;

// Runs a recalculation unless no workbook is open (message 1000); a failure is reported with the
// text that `failureText` makes of its description.
void recalculate(const std::function<void()>& calculation,
                 const std::function<std::string(const std::string&)>& failureText) {
    try {
        if (ExcelApplication().workbooks().count() == 0) {
            ReportMessage(GetMessageText(1000), kExclamation, GetMessageText(2000));
            return;
        }
        calculation();
    } catch (const host::RuntimeError& e) {
        ReportMessage(failureText(e.description()), kExclamation, GetMessageText(2000));
    }
}

}  // namespace

void CalculateAllWorkbooks() {
    recalculate(
        [] {
            if (SharedState().ServicesOff)
                ExcelApplication().calculate();
            else
                CalculateWithServices(true);
        },
        [](const std::string& description) { return GetMessageText(1999) + description; });
}

void CalculateActiveSheet() {
    recalculate(
        [] {
            if (!SharedState().ServicesOff) return CalculateWithServices(false);
            auto sheet = ExcelApplication().activeSheet();
            if (!sheet) throw host::RuntimeError(host::err::ObjectNotSet);
            sheet->calculate();
        },
        [](const std::string&) { return GetMessageText(1001); });
}

}  // namespace telm
