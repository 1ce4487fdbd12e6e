#pragma once
// The add-in started on a data model whose variables query a data source, with workbooks of data
// cells saved to files and opened again as a user's reports are: the ground on which the services'
// recalculation cycle is compared with the plain one.

#include <fstream>
#include <string>
#include <vector>

#include "host/files/XlsxStore.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"
#include "support/AddInHost.h"
#include "support/Odbc.h"
#include "support/PrintVariant.h"
#include "support/SqlCells.h"

namespace testsupport {

struct ServiceWorkbooks : AddInHost {
    std::vector<std::string> statusTexts;

    // Writes the data model, attaches the workbook files and starts the add-in.
    void startWithModel(const std::string& model) {
        std::ofstream(folder.file("DataModel.par")) << model;
        host::files::attachWorkbookStore(*app);
        start();
        app->onStatusBar = [this](const host::Variant& v) {
            if (v.isString()) statusTexts.push_back(v.stringValue());
        };
    }

    // A workbook whose first sheet holds the formulas (row by row from A1, one column per list), saved
    // under `name` in the add-in folder, closed and opened again.
    host::sheet::WorkbookPtr report(const std::string& name, const std::vector<std::vector<std::string>>& columns) {
        auto book = app->workbooks().add();
        auto sheet = book->sheet(1);
        for (std::size_t c = 0; c < columns.size(); ++c)
            for (std::size_t r = 0; r < columns[c].size(); ++r)
                sheet->cells(static_cast<int>(r + 1), static_cast<int>(c + 1))->setFormula(columns[c][r]);
        const std::string file = folder.file(name);
        book->saveAs(file);
        book->close();
        return app->workbooks().open(file);
    }

    // Every cell holding a formula in the open workbooks, in a fixed order.
    std::vector<host::sheet::RangePtr> formulaCells() const {
        std::vector<host::sheet::RangePtr> cells;
        for (const auto& book : app->workbooks().list())
            for (const auto& sheet : book->worksheets())
                if (auto used = sheet->usedRange())
                    for (int r = 1; r <= used->rowCount(); ++r)
                        for (int c = 1; c <= used->columnCount(); ++c)
                            if (auto cell = used->cells(r, c); cell->hasFormula().toBool()) cells.push_back(cell);
        return cells;
    }
    static std::vector<host::Variant> valuesOf(const std::vector<host::sheet::RangePtr>& cells) {
        std::vector<host::Variant> values;
        for (const auto& cell : cells) values.push_back(cell->value());
        return values;
    }

    // Runs a menu command by its macro name, as the menu does.
    void command(const std::string& macro) { app->run(macro); }
    // The prompt of the last message shown.
    std::string lastMessage() const {
        return dialogs.record().empty() ? std::string() : dialogs.record().back().prompt;
    }
    int adoBatches() const {
        int n = 0;
        for (const auto& text : statusTexts)
            if (text.rfind("ADO Service /", 0) == 0) ++n;
        return n;
    }
};

}  // namespace testsupport
