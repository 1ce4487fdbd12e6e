// A workbook read from a file keeps, when saved, what the platform does not model: sheets added,
// removed and renamed, rows removed, comments changed, a macro workbook's project and type.

#include "host/XlsxTestSupport.h"

#include "host/sheet/Comment.h"
#include "support/OfficeFiles.h"

using namespace host;
using namespace host::sheet;
using testsupport::python;
using xlsxtest::XlsxTest;

namespace {

std::string part(const std::string& path, const std::string& name) {
    return files::ZipReader(path).read(name).value_or("(missing)");
}

int partsUnder(const std::string& path, const std::string& folder) {
    int count = 0;
    for (const auto& name : files::ZipReader(path).names()) count += name.starts_with(folder);
    return count;
}

}  // namespace

TEST_F(XlsxTest, SheetsAddedRemovedAndRenamedKeepWhatIsTheirs) {
    const std::string path = file("book.xlsx");
    python(folder.string(), R"PY(
import sys, openpyxl
from openpyxl.chart import BarChart, Reference
from openpyxl.comments import Comment
wb = openpyxl.Workbook()
one = wb.active
one.title = "One"
one["A1"] = 1
chart = BarChart()
chart.add_data(Reference(one, min_col=1, min_row=1, max_row=1))
one.add_chart(chart, "C3")
two = wb.create_sheet("Two")
two["A1"] = "kept"
two.row_dimensions[3].height = 30
two.row_dimensions[4].hidden = True
two.print_area = "A1:B5"
two.merge_cells("A1:B1")
pie = BarChart()
pie.add_data(Reference(two, min_col=1, min_row=1, max_row=1))
wb.create_chartsheet("Chart").add_chart(pie)
three = wb.create_sheet("Three")
three["A1"] = "noted"
three["A1"].comment = Comment("first note", "Ann")
three.column_dimensions["B"].width = 40
wb.save(sys.argv[1])
)PY", {path});
    const std::string copy = file("copy.xlsx");
    auto book = app->workbooks().open(path);
    book->saveAs(copy);
    // Unchanged comments keep the parts that show them.
    EXPECT_EQ(part(copy, "xl/comments/comment1.xml"), part(path, "xl/comments/comment1.xml"));

    book->sheet("One")->remove();
    auto two = book->sheet("Two");
    two->setName("Deux");
    two->removeRows(2, 2);
    book->addSheet(nullptr, book->sheet("Three"), "New")->cellAt(1, 1).value = "added";
    book->sheet("Three")->range("B2")->addComment("second note");
    book->save();

    const std::string shown = python(folder.string(), R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
print(wb.sheetnames)
deux = wb["Deux"]
print(deux["A1"].value, deux.merged_cells.ranges, deux.row_dimensions[2].height, deux.row_dimensions[3].hidden,
      deux.print_area is not None)
three = wb["Three"]
print(three["A1"].comment.text, three["B2"].comment.text, three.column_dimensions["B"].width)
print(wb["New"]["A1"].value)
)PY", {copy});
    EXPECT_EQ(shown, "['Deux', 'Chart', 'Three', 'New']\nkept [<MergedCellRange A1:B1>] 30.0 True True\n"
                     "first note second note 40.0\nadded\n");
    // The removed sheet's chart went with it; the chart sheet's stayed.
    EXPECT_EQ(partsUnder(copy, "xl/charts/"), 1);
    // Another program reads the saved file.
    const std::string csv = testsupport::fileText(testsupport::officeConvert(copy, "csv", folder.string()));
    EXPECT_EQ(csv.substr(0, 4), "kept");
}

TEST_F(XlsxTest, AMacroWorkbookKeepsItsProjectAndItsType) {
    const std::string path = file("macros.xlsm");
    python(folder.string(), R"PY(
import sys, zipfile, openpyxl
wb = openpyxl.Workbook()
wb.active["A1"] = 1
wb.save(sys.argv[1])
src = zipfile.ZipFile(sys.argv[1])
parts = {n: src.read(n) for n in src.namelist()}
src.close()
parts["xl/vbaProject.bin"] = bytes(range(256)) * 4
parts["customXml/item1.xml"] = b'<?xml version="1.0"?><data xmlns="urn:x">kept</data>'
rels = parts["xl/_rels/workbook.xml.rels"].decode().replace("</Relationships>",
    '<Relationship Id="rIdV" Type="http://schemas.microsoft.com/office/2006/relationships/vbaProject" '
    'Target="vbaProject.bin"/><Relationship Id="rIdC" Type="http://schemas.openxmlformats.org/'
    'officeDocument/2006/relationships/customXml" Target="../customXml/item1.xml"/></Relationships>')
parts["xl/_rels/workbook.xml.rels"] = rels.encode()
types = parts["[Content_Types].xml"].decode()
types = types.replace("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
                      "application/vnd.ms-excel.sheet.macroEnabled.main+xml")
types = types.replace("</Types>", '<Default Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/></Types>')
parts["[Content_Types].xml"] = types.encode()
out = zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED)
for n, data in parts.items():
    out.writestr(n, data)
out.close()
)PY", {path});
    auto book = app->workbooks().open(path);
    book->sheet(1)->range("A2")->setFormula("=A1*2");
    book->save();
    std::string project;
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 256; ++b) project += static_cast<char>(b);
    EXPECT_EQ(part(path, "xl/vbaProject.bin"), project);
    EXPECT_EQ(part(path, "customXml/item1.xml"), R"(<?xml version="1.0"?><data xmlns="urn:x">kept</data>)");
    const std::string types = part(path, "[Content_Types].xml");
    EXPECT_NE(types.find(R"(PartName="/xl/workbook.xml" ContentType="application/vnd.ms-excel.sheet.macroEnabled.main+xml")"),
              std::string::npos) << types;
    EXPECT_NE(part(path, "xl/_rels/workbook.xml.rels").find("vbaProject.bin"), std::string::npos);
    // Saved as a workbook without macros, it is one: other programs refuse an ".xlsx" that says it
    // holds macros.
    const std::string plain = file("plain.xlsx");
    book->saveAs(plain);
    EXPECT_NE(part(plain, "[Content_Types].xml")
                  .find(R"(PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml")"),
              std::string::npos);
    EXPECT_EQ(part(plain, "xl/vbaProject.bin"), "(missing)");
    EXPECT_EQ(part(plain, "customXml/item1.xml"), part(path, "customXml/item1.xml"));
    EXPECT_EQ(testsupport::fileText(testsupport::officeConvert(plain, "csv", folder.string())), "1\n2\n");
}

// A hand-written sheet part: prefixed element names, a comment that mentions the cells' element, an
// attribute holding '>' and a character reference. The cells are written in the part's own prefix and
// the rest stays as it was.
TEST_F(XlsxTest, APrefixedSheetPartKeepsItsElementsAroundNewCells) {
    auto parts = xlsxtest::minimalWorkbook("");
    parts.back().second =
        R"(<?xml version="1.0" encoding="UTF-8"?><!-- made by hand: <sheetData> -->)"
        R"(<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
        R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        R"(<x:sheetViews><x:sheetView workbookViewId="0" tabSelected="1"/></x:sheetViews>)"
        R"(<x:cols><x:col min="1" max="1" width="20" customWidth="1"/></x:cols>)"
        R"(<x:sheetData><x:row r="1" ht="30" customHeight="1"><x:c r="A1"><x:v>1</x:v></x:c></x:row></x:sheetData>)"
        R"(<x:dataValidations count="1"><x:dataValidation type="whole" operator="greaterThan" sqref="B1" )"
        R"(showInputMessage="1" prompt="x > y &amp; &#322;"><x:formula1>0</x:formula1></x:dataValidation>)"
        R"(</x:dataValidations></x:worksheet>)";
    const std::string path = file("prefixed.xlsx");
    xlsxtest::writePackage(path, parts);
    auto book = app->workbooks().open(path);
    book->sheet(1)->range("B1")->setValue(2.0);
    book->sheet(1)->range("B2")->setValue("tekst");
    book->save();
    const std::string shown = python(folder.string(), R"PY(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
v = ws.data_validations.dataValidation[0]
print(ws["A1"].value, ws["B1"].value, ws["B2"].value, ws.column_dimensions["A"].width, ws.row_dimensions[1].height,
      v.prompt, v.sqref)
)PY", {path});
    EXPECT_EQ(shown, "1 2 tekst 20.0 30.0 x > y & ł B1\n");
    const std::string sheet = part(path, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find(R"(<!-- made by hand: <sheetData> --><x:worksheet)"), std::string::npos) << sheet;
}

// A package is held in memory while its workbook is open: a file far larger than any workbook is
// refused before it is read.
TEST_F(XlsxTest, AFileLargerThanAnyWorkbookIsRefusedUnread) {
    const std::string path = file("huge.xlsx");
    xlsxtest::writeAll(path, "");
    std::filesystem::resize_file(path, files::ZipReader::kMaxFileSize + 1);  // sparse: nothing is written
    try {
        app->workbooks().open(path);
        FAIL() << "opened";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 1004);
        EXPECT_NE(e.description().find("larger than 2 GB"), std::string::npos) << e.description();
    }
}
