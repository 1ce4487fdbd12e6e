#pragma once
// The started add-in with a sheet for OLAP formulas, a hidden twin sheet for archived values, and a
// stand-in for the sibling buffering add-in "Plendor.xla" that tests switch on when they need it.

#include <fstream>
#include <string>
#include <vector>

#include "core/A_Deklaracje.h"
#include "data/P_Archiwum.h"
#include "host/sheet/Comment.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"
#include "support/AddInHost.h"
#include "support/PrintVariant.h"
#include "support/SqlCells.h"

namespace testsupport {

struct OlapCells : AddInHost {
    host::sheet::WorkbookPtr book;
    host::sheet::WorksheetPtr sheet, twin;
    std::vector<std::string> bufferRequests;

    explicit OlapCells(const std::string& model = {}) {
        if (!model.empty()) std::ofstream(folder.file("DataModel.par")) << model;
        start();
        book = app->workbooks().add();
        sheet = book->sheet(1);
    }

    host::Variant formula(const char* address, const std::string& text) {
        sheet->range(address)->setFormula(text);
        return sheet->range(address)->value();
    }

    // The cell's value after =GETDATAOLAP with the seven texts.
    host::Variant olap(const char* address, const std::vector<std::string>& texts) {
        std::string call = "=GETDATAOLAP(";
        for (std::size_t k = 0; k < texts.size(); ++k) call += (k ? "," : "") + quote(texts[k]);
        return formula(address, call + ")");
    }

    // Freezes `value` with the request `key` in the twin cell of `address` (an empty value leaves the
    // twin cell empty with its comment).
    void archive(const char* address, const host::Variant& value, std::string key) {
        if (!twin) {
            twin = book->addSheet(nullptr, sheet, sheet->name() + ".a");
            twin->setVisible(host::sheet::SheetVisibility::Hidden);
        }
        if (!value.isEmpty()) twin->range(address)->setValue(value);
        twin->range(address)->addComment(telm::EncodeSourceComment(key) + "\n\n2024.05.06 07:08:09, \ruser, company");
    }

    // The sibling buffering add-in, answering that buffering is on and `answer` to every request.
    void bufferAnswers(const host::Variant& answer) {
        app->registerMacro("czyBuforowanie", [](std::vector<host::Variant>&) { return host::Variant(true); });
        app->registerMacro("BUFOR", [this, answer](std::vector<host::Variant>& arguments) {
            bufferRequests.push_back(arguments.at(0).toString());
            return answer;
        });
    }
};

}  // namespace testsupport
