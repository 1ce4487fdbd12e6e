#include "wizards/AskForAddress.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/RuntimeError.h"
#include "host/sheet/Application.h"
#include "host/ui/Dialogs.h"

namespace telm {

host::sheet::RangePtr AskForAddress() {
    const host::Variant answer =
        host::ui::ApplicationInputBox(GetMessageText(3148), GetMessageText(2003), host::Variant(), 8);
    if (answer.isBoolean()) return nullptr;
    try {
        return ExcelApplication().range(answer.toString())->cells(1, 1);
    } catch (const host::RuntimeError&) {
        ReportMessage(GetMessageText(107), 48, GetMessageText(2003));
        return nullptr;
    }
}

}  // namespace telm
