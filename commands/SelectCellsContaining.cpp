#include "commands/SelectCellsContaining.h"

#include "core/A_Deklaracje.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Range.h"
#include "host/sheet/Worksheet.h"

namespace telm {

void SelectCellsContaining(const std::string& text) {
    try {
        auto& app = ExcelApplication();
        const auto sheet = app.activeSheet();
        if (!sheet) return;
        std::string list;
        // An error value is no text: it contains nothing.
        for (const auto& cell : sheet->usedRange()->storedCellList())
            if (const auto value = cell->value(); !value.isError() &&
                host::InStr(value.toString(), text, host::CompareMethod::Text) > 0)
                list += "," + cell->address(false, false);
        if (!list.empty()) app.range(host::Mid(list, 2))->select();
    } catch (const host::RuntimeError&) {  // an address list the sheet refuses
    }
}

}  // namespace telm
