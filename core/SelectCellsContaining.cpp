#include "core/SelectCellsContaining.h"

#include <vector>

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
        std::vector<std::string> addresses;
        // An error value is no text: it contains nothing.
        for (const auto& cell : sheet->usedRange()->storedCellList())
            if (const auto value = cell->value(); !value.isError() &&
                host::InStr(value.toString(), text, host::CompareMethod::Text) > 0)
                addresses.push_back(cell->address(false, false));
        if (!addresses.empty()) app.range(host::Join(addresses, ","))->select();
    } catch (const host::RuntimeError&) {  // an address list the sheet refuses
    }
}

}  // namespace telm
