#pragma once
// A workbook store that holds one sheet, "Data", of any workbook file: what the Excel driver reads.

#include <string>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/base/Variant.h"
#include "host/formula/Address.h"
#include "host/sheet/Application.h"

namespace testsupport {

// Gives the values of one sheet of one workbook file, as the file layer would.
class SheetStore : public host::sheet::WorkbookStore {
public:
    std::vector<std::vector<host::Variant>> cells;  // rows of the sheet "Data" from A1
    std::string lastFolder, lastBook;
    host::sheet::WorkbookPtr open(host::sheet::Application&, const std::string&) override { return nullptr; }
    void save(const host::sheet::Workbook&, const std::string&) override {}
    host::sheet::WorkbookPtr closedWorkbook(const std::string&) override { return nullptr; }
    host::Variant readClosed(const std::string& folder, const std::string& workbook, const std::string& sheet,
                             const host::formula::Area& area) override {
        if (sheet != "Data") throw host::RuntimeError(host::err::SubscriptOutOfRange);
        lastFolder = folder;
        lastBook = workbook;
        host::Array a = host::Array::matrix(area.rows(), area.columns());
        for (int r = area.top; r <= area.bottom; ++r)
            for (int c = area.left; c <= area.right; ++c)
                if (r - 1 < static_cast<int>(cells.size()) && c - 1 < static_cast<int>(cells[r - 1].size()))
                    a(r - area.top + 1, c - area.left + 1) = cells[r - 1][c - 1];
        return a;
    }
};

}  // namespace testsupport
