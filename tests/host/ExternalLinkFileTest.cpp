// Links into other workbooks as workbook files store them: a formula "[1]Sheet1!B2" names the
// workbook of the file's first external link; the platform sees that workbook's path, and a save
// writes the links back the standard way, for the other programs.

#include "host/XlsxTestSupport.h"
#include "host/sheet/WorkbookLinks.h"

using namespace host;
using xlsxtest::XlsxTest;

namespace {

// data/Source.xlsx (B2 = 42) and Report.xlsx, whose A1 is "=[1]Sheet1!B2*2" with the link to
// data/Source.xlsx added by hand (cached value 41), as the common spreadsheet programs write it.
const char* kLinkedBooks = R"PY(
import os, sys, zipfile, openpyxl
folder = sys.argv[1]
os.makedirs(os.path.join(folder, "data"), exist_ok=True)
source = openpyxl.Workbook()
source.active["B2"] = 42
source.save(os.path.join(folder, "data", "Source.xlsx"))
report = openpyxl.Workbook()
report.active["A1"] = "=[1]Sheet1!B2*2"
report.active["A2"] = "own"
path = os.path.join(folder, "Report.xlsx")
report.save(path)

rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
with zipfile.ZipFile(path) as z:
    parts = {name: z.read(name) for name in z.namelist()}
parts["xl/externalLinks/externalLink1.xml"] = (
    '<externalLink xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
    'xmlns:r="%s"><externalBook r:id="rId1"><sheetNames><sheetName val="Sheet1"/></sheetNames>'
    '<sheetDataSet><sheetData sheetId="0"><row r="2"><cell r="B2"><v>41</v></cell></row></sheetData>'
    '</sheetDataSet></externalBook></externalLink>' % rel[:-1]).encode()
parts["xl/externalLinks/_rels/externalLink1.xml.rels"] = (
    '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
    '<Relationship Id="rId1" Type="%sexternalLinkPath" Target="data/Source.xlsx" TargetMode="External"/>'
    '</Relationships>' % rel).encode()
parts["xl/_rels/workbook.xml.rels"] = parts["xl/_rels/workbook.xml.rels"].decode().replace(
    "</Relationships>", '<Relationship Id="rIdX" Type="%sexternalLink" Target="externalLinks/externalLink1.xml"/>'
    "</Relationships>" % rel).encode()
workbook = parts["xl/workbook.xml"].decode()
parts["xl/workbook.xml"] = workbook.replace(
    "</sheets>", '</sheets><externalReferences><externalReference r:id="rIdX"/></externalReferences>').encode()
parts["[Content_Types].xml"] = parts["[Content_Types].xml"].decode().replace(
    "</Types>", '<Override PartName="/xl/externalLinks/externalLink1.xml" ContentType="application/vnd.'
    'openxmlformats-officedocument.spreadsheetml.externalLink+xml"/></Types>').encode()
sheet = parts["xl/worksheets/sheet1.xml"].decode()
parts["xl/worksheets/sheet1.xml"] = sheet.replace("<f>[1]Sheet1!B2*2</f><v></v>", "<f>[1]Sheet1!B2*2</f><v>82</v>").encode()
with zipfile.ZipFile(path, "w") as z:
    for name, content in parts.items():
        z.writestr(name, content)
)PY";

// The formulas of the first sheet and the targets of the external links, as openpyxl reads them.
const char* kLinkReader = R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
for row in wb.active.iter_rows():
    for c in row:
        if c.data_type == "f":
            print(c.coordinate, c.value)
for link in wb._external_links:
    print("link", link.file_link.Target, ",".join(getattr(s, "val", s) for s in link.externalBook.sheetNames.sheetName))
)PY";

}  // namespace

TEST_F(XlsxTest, LinksIntoOtherWorkbooksNameTheirFilesAndAreWrittenBackTheStandardWay) {
    xlsxtest::runPython(folder.string(), kLinkedBooks, folder.string());
    const std::string source = (folder / "data" / "Source.xlsx").string();
    auto book = app->workbooks().open(file("Report.xlsx"));
    auto sheet = book->sheet(1);
    EXPECT_EQ(sheet->range("A1")->formula(), "='" + (folder / "data").string() + "/[Source.xlsx]Sheet1'!B2*2");
    EXPECT_EQ(sheet::linkSources(*book), std::vector<std::string>{source});
    // The link is not refreshed: the value stored with the formula stands.
    app->calculate();
    EXPECT_EQ(sheet->range("A1")->value(), Variant(82.0));

    // A new link to another workbook joins the list.
    sheet->range("B1")->setFormula("='" + (folder / "data").string() + "/[Other.xlsx]Plan 1'!C3");
    book->save();
    EXPECT_EQ(xlsxtest::runPython(folder.string(), kLinkReader, file("Report.xlsx")),
              "A1 =[1]Sheet1!B2*2\n"
              "B1 ='[2]Plan 1'!C3\n"
              "link data/Source.xlsx Sheet1\n"
              "link " + (folder / "data" / "Other.xlsx").string() + " Plan 1\n");
    book->close();

    // Read again, the links name the same files.
    book = app->workbooks().open(file("Report.xlsx"));
    EXPECT_EQ(sheet::linkSources(*book), (std::vector<std::string>{source, (folder / "data" / "Other.xlsx").string()}));
    EXPECT_EQ(book->sheet(1)->range("A2")->value(), Variant("own"));
}
