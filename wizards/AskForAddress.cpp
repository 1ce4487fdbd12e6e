#include "wizards/AskForAddress.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/RuntimeError.h"
#include "host/formula/Address.h"
#include "host/sheet/Application.h"
#include "host/sheet/Workbook.h"
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

std::string ReferenceFrom(const host::sheet::Range& from, const host::sheet::Range& to, bool rowAbsolute,
                          bool columnAbsolute) {
    const std::string address = to.address(rowAbsolute, columnAbsolute);
    const auto fromSheet = from.parent(), toSheet = to.parent();
    if (fromSheet == toSheet) return address;
    const auto book = toSheet->parent();
    const std::string workbook = book != fromSheet->parent() ? book->name() : std::string();
    return host::formula::sheetPrefix(workbook, toSheet->name()) + address;
}

}  // namespace telm
