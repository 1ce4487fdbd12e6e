// Commands over whole rows, columns and the whole sheet: formats given to them are kept as row, column
// and sheet formats, so that the work and the memory follow the stored cells, not the selection.

#include <gtest/gtest.h>

#include "../host/MemoryLimit.h"
#include "CommandHost.h"
#include "host/XlsxTestSupport.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Application.h"
#include "host/sheet/Workbook.h"
#include "support/TempFolder.h"

using host::Variant;

namespace {

struct LargeSelection : ::testing::Test {
    testsupport::CommandHost host;

    void formatSelection(const char* address) {
        host.cell(address)->select();
        host.run("NumberFormat");
    }
};

}  // namespace

TEST_F(LargeSelection, WholeSheetColumnsAndRowsTakeTheFormatWithinLittleMemory) {
    host.cell("C3")->setValue(0.5);
    host.cell("C3")->setNumberFormat("0%");
    const std::string limited = memtest::runWithMemoryLimit(150, [&]() -> std::string {
        formatSelection("A1:XFD1048576");
        formatSelection("A:Z");
        formatSelection("3:200000");
        return host.dialogs.record().empty() ? "" : host.lastDialog().prompt;
    });
    EXPECT_EQ(limited, "");

    formatSelection("A1:XFD1048576");
    EXPECT_EQ(host.cell("C3")->text(), "0.50");  // its own format gave way to the sheet's
    host.cell("XFD1048576")->setValue(1234.5);
    EXPECT_EQ(host.cell("XFD1048576")->text(), "1,234.50");
    EXPECT_LT(host.sheet->allCells().size(), 3u);

    // The format given last wins where a row's and a column's meet; a cell's own beats both.
    host.cell("B:B")->setNumberFormat("0.0");
    host.cell("5:5")->setNumberFormat("0.000");
    host.cell("B5")->setValue(2);
    host.cell("B6")->setValue(2);
    host.cell("B7")->setValue(2);
    host.cell("B7")->setNumberFormat("General");
    EXPECT_EQ(host.cell("B5")->text(), "2.000");
    EXPECT_EQ(host.cell("B6")->text(), "2.0");
    EXPECT_EQ(host.cell("B7")->text(), "2");
    EXPECT_EQ(host.cell("B7")->numberFormat(), "General");
    host.cell("B:B")->setNumberFormat("0.00000");
    EXPECT_EQ(host.cell("B5")->text(), "2.00000");
    // Deleting a row moves the row formats below it up.
    host.cell("2:2")->deleteRows();
    EXPECT_EQ(host.cell("C4")->numberFormat(), "0.000");
    EXPECT_EQ(host.cell("C5")->numberFormat(), "#,##0.00");
    // General over the sheet takes every format away.
    host.cell("A1:XFD1048576")->setNumberFormat("General");
    EXPECT_EQ(host.cell("B4")->text(), "2");
    EXPECT_EQ(host.cell("XFD1048575")->text(), "1234.5");
}

TEST_F(LargeSelection, FillingMoreCellsThanMemoryHoldsIsRefusedBeforeAnythingChanges) {
    host.cell("A1")->setValue(7);
    host.cell("A1")->copy();
    host.cell("B:Z")->select();
    host.run("PasteSpecialOnlyValues");  // refused quietly, as every paste that does not fit
    EXPECT_TRUE(host.cell("B1")->value().isEmpty());
    EXPECT_EQ(host.sheet->allCells().size(), 1u);
    try {
        host.cell("B:Z")->setFormula("=A1");
        ADD_FAILURE() << "no error";
    } catch (const host::RuntimeError& e) {
        EXPECT_EQ(e.number(), host::err::OutOfMemory);
    }
    EXPECT_EQ(host.cell("B:Z")->hasFormula(), Variant(false));

    // A whole column is still filled, and a formula over many cells entered.
    host.cell("B:B")->setValue(3.0);
    EXPECT_EQ(host.cell("B1048576")->value(), Variant(3.0));
    host.cell("C1:C2000")->setFormula("=A1");
    EXPECT_EQ(host.cell("C1:C2000")->hasFormula(), Variant(true));
    EXPECT_EQ(host.cell("C1")->value(), Variant(7.0));
    host.cell("B:C")->clearContents();
    EXPECT_EQ(host.sheet->allCells().size(), 1u);
}

TEST_F(LargeSelection, RowAndColumnFormatsAreSavedAndReadBack) {
    testsupport::TempFolder folder{"telm-formats"};
    const std::string file = folder.file("Formats.xlsx");
    host.cell("B5")->setValue(1234.5);
    host.cell("C4")->setValue(2);
    host.cell("C6")->setValue(3);
    formatSelection("B:B");
    host.cell("4:4")->setNumberFormat("0.000");
    host.sheet->parent()->saveAs(file);

    // Another program sees the formats on the column and the row.
    const std::string seen = xlsxtest::runPython(folder.string(), R"PY(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
print(ws.column_dimensions["B"].number_format, ws.row_dimensions[4].number_format, ws["B5"].number_format, ws["C6"].number_format)
)PY", file);
    EXPECT_EQ(seen, "#,##0.00 0.000 #,##0.00 General\n");

    // Read back: cells entered later take the formats; stored cells keep theirs.
    auto reader = host::sheet::Application::create();
    host::files::attachWorkbookStore(*reader);
    auto sheet = reader->workbooks().open(file)->sheet(1);
    EXPECT_EQ(sheet->range("B5")->text(), "1,234.50");
    EXPECT_EQ(sheet->range("C4")->text(), "2.000");
    EXPECT_EQ(sheet->range("C6")->text(), "3");
    sheet->range("B900")->setValue(5);
    sheet->range("Z4")->setValue(5);
    EXPECT_EQ(sheet->range("B900")->text(), "5.00");
    EXPECT_EQ(sheet->range("Z4")->text(), "5.000");
    EXPECT_EQ(sheet->range("A1")->numberFormat(), "General");
}

TEST_F(LargeSelection, AColumnFormatKeepsTheColumnsWidthAndHiddenState) {
    // Columns as another program wrote them: A wide, C hidden, D with a style attribute that is no
    // style index.
    testsupport::TempFolder folder{"telm-formats-kept"};
    const std::string file = folder.file("Columns.xlsx");
    xlsxtest::runPython(folder.string(), R"PY(
import sys, zipfile, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws["A1"] = 1.5
ws.column_dimensions["A"].width = 30
ws.column_dimensions["C"].hidden = True
ws.column_dimensions["D"].width = 12
wb.save(sys.argv[1])
with zipfile.ZipFile(sys.argv[1]) as z:
    parts = {name: z.read(name) for name in z.namelist()}
sheet = parts["xl/worksheets/sheet1.xml"].decode()
parts["xl/worksheets/sheet1.xml"] = sheet.replace('<col min="4" max="4"', '<col min="4" max="4" style="x"').encode()
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, data in parts.items():
        z.writestr(name, data)
)PY", file);
    auto book = host.app->workbooks().open(file);
    book->sheet(1)->range("A:A")->setNumberFormat("0.000");
    book->sheet(1)->range("D:D")->setNumberFormat("0%");
    book->save();

    const std::string seen = xlsxtest::runPython(folder.string(), R"PY(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
d = ws.column_dimensions
print(d["A"].width, d["A"].number_format, d["C"].hidden, d["D"].width, d["D"].number_format, ws["A1"].number_format)
)PY", file);
    EXPECT_EQ(seen, "30.0 0.000 True 12.0 0% 0.000\n");
}
