#pragma once
// The add-in started on a temporary add-in folder whose sub-folder "sub" holds closed workbook files
// that cells link to: "Plan.xlsx" written by the platform and "Py.xlsx" written by openpyxl.
//
// Plan.xlsx, sheet "Budget":            Py.xlsx, sheet "Dane" (and "Mój arkusz": B2 = 7):
//        A        B      C      D              A          B          C
//   1    Region   Kwota  Ilość                1  Region     Kwota zł   Ilość
//   2    Północ   100    200    #DIV/0!       2  Północ     10         0
//   3    Południe 300    tekst  #uwaga        3  Południe   -10        0
//   4                                         4  Wschód     (empty)    (empty)
// Py.xlsx defines the names Total (Dane!$B$2) and Kwoty (Dane!$A$1:$C$4).

#include <filesystem>
#include <string>

#include "host/XlsxTestSupport.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"
#include "support/AddInHost.h"
#include "support/SqlCells.h"

namespace testsupport {

inline constexpr const char* kPyBookScript = R"PY(
import sys, openpyxl
from openpyxl.workbook.defined_name import DefinedName
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Dane"
for row in [["Region", "Kwota zł", "Ilość"], ["Północ", 10, 0], ["Południe", -10, 0], ["Wschód"]]:
    ws.append(row)
wb.create_sheet("Mój arkusz")["B2"] = 7
wb.defined_names.append(DefinedName("Total", attr_text="Dane!$B$2"))
wb.defined_names.append(DefinedName("Kwoty", attr_text="Dane!$A$1:$C$4"))
wb.save(sys.argv[1])
)PY";

// Writes Plan.xlsx (above) to `path` through a platform application of its own.
inline void writePlanBook(const std::string& path, double b2 = 100) {
    auto writer = host::sheet::Application::create();
    host::files::attachWorkbookStore(*writer);
    auto book = writer->workbooks().add();
    auto sheet = book->sheet(1);
    sheet->setName("Budget");
    sheet->range("A1:C1")->setValue(host::Array::vector({"Region", "Kwota", "Ilość"}));
    sheet->range("A2:D2")->setValue(host::Array::vector({"Północ", b2, 200.0, host::CellError::Div0}));
    sheet->range("A3:D3")->setValue(host::Array::vector({"Południe", 300.0, "tekst", "#uwaga"}));
    book->saveAs(path);
    book->close();
}

struct LinkBooks : AddInHost {
    std::string sub = folder.file("sub");
    std::string plan = sub + "/Plan.xlsx";
    std::string py = sub + "/Py.xlsx";
    host::sheet::WorksheetPtr sheet;

    LinkBooks() {
        std::filesystem::create_directories(sub);
        writePlanBook(plan);
        xlsxtest::runPython(sub, kPyBookScript, py);
        host::files::attachWorkbookStore(*app);
        start();
        sheet = app->workbooks().add()->sheet(1);
    }

    // The link text of an address of Plan.xlsx's sheet Budget, the folder written natively.
    std::string planLink(const std::string& address) const { return "'" + sub + "\\[Plan.xlsx]Budget'!" + address; }

    host::Variant formula(const char* address, const std::string& text) {
        sheet->range(address)->setFormula(text);
        return sheet->range(address)->value();
    }
    host::Variant link(const std::string& linkText, const char* address = "A1") {
        return formula(address, "=GETDATALINK(" + quote(linkText) + ")");
    }
};

}  // namespace testsupport
