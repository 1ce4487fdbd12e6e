// Saving a user's own workbook keeps everything the platform does not change: a formatted report made
// by openpyxl (styles, merged title, widths, heights, hidden rows and columns, panes, validation,
// conditional colours, a hyperlink, a chart, document properties, a link into another workbook) goes
// through telm's calculation and save, the number-format command and a background archive refresh,
// and comes back with every feature; LibreOffice reads the recalculated values.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/A_Deklaracje.h"
#include "host/files/Zip.h"
#include "support/OfficeFiles.h"
#include "support/SqlCells.h"
#include "support/TelmRun.h"

using testsupport::python;
using testsupport::TempFolder;

namespace {

// Writes the rich workbook named by its argument.
const char* kMakeRichWorkbook = R"PY(
import sys, zipfile, openpyxl
from openpyxl.styles import Font, PatternFill, Border, Side, Alignment
from openpyxl.worksheet.datavalidation import DataValidation
from openpyxl.formatting.rule import CellIsRule
from openpyxl.chart import BarChart, Reference
path = sys.argv[1]
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Report"
ws["A1"] = "Quarterly report"
ws.merge_cells("A1:D1")
ws["A1"].font = Font(bold=True, size=14, color="FF1F3864")
ws["A1"].fill = PatternFill("solid", fgColor="FFDDEBF7")
ws["A1"].alignment = Alignment(horizontal="center")
for r, (name, amount) in enumerate([("North", 10), ("South", 20), ("East", 30)], start=2):
    ws.cell(r, 1, name)
    ws.cell(r, 2, amount).number_format = "#,##0.00"
    ws.cell(r, 2).border = Border(bottom=Side(style="thin"))
ws["B5"] = "=SUM(B2:B4)"
ws["B5"].font = Font(italic=True)
ws["D8"].fill = PatternFill("solid", fgColor="FFFFFF00")
ws["C2"] = "open"
ws.column_dimensions["A"].width = 30
ws.column_dimensions["E"].hidden = True
ws.row_dimensions[2].height = 25
ws.row_dimensions[7].hidden = True
ws.freeze_panes = "B2"
dv = DataValidation(type="list", formula1='"open,closed"', allow_blank=True)
ws.add_data_validation(dv)
dv.add("C2:C4")
ws.conditional_formatting.add("B2:B4", CellIsRule(operator="greaterThan", formula=["15"],
                              fill=PatternFill("solid", bgColor="FFFFC7CE")))
ws["A6"] = "Manual"
ws["A6"].hyperlink = "https://example.com/manual"
chart = BarChart()
chart.add_data(Reference(ws, min_col=2, min_row=2, max_row=4))
ws.add_chart(chart, "F2")
ws.print_options.gridLines = True
ws.page_setup.orientation = "landscape"
other = wb.create_sheet("Totals")
other["A1"] = "=Report!B5*2"
wb.properties.title = "Controller report"
wb.properties.creator = "Controller"
wb.save(path)

# A link into another workbook, with its part, as spreadsheet programs write one.
r = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
src = zipfile.ZipFile(path)
parts = {n: src.read(n).decode() for n in src.namelist()}
src.close()
parts["xl/externalLinks/externalLink1.xml"] = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><externalLink xmlns='
    '"http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="%s"><externalBook r:id="rId1">'
    '<sheetNames><sheetName val="Plan"/></sheetNames><sheetDataSet><sheetData sheetId="0"><row r="1">'
    '<cell r="A1"><v>125</v></cell></row></sheetData></sheetDataSet></externalBook></externalLink>' % r)
parts["xl/externalLinks/_rels/externalLink1.xml.rels"] = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns='
    '"http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" '
    'Type="%s/externalLinkPath" Target="Targets.xlsx" TargetMode="External"/></Relationships>' % r)
parts["xl/_rels/workbook.xml.rels"] = parts["xl/_rels/workbook.xml.rels"].replace("</Relationships>",
    '<Relationship Id="rIdX1" Type="%s/externalLink" Target="externalLinks/externalLink1.xml"/></Relationships>' % r)
parts["xl/workbook.xml"] = parts["xl/workbook.xml"].replace("</sheets>",
    '</sheets><externalReferences><externalReference xmlns:r="%s" r:id="rIdX1"/></externalReferences>' % r)
parts["[Content_Types].xml"] = parts["[Content_Types].xml"].replace("</Types>",
    '<Override PartName="/xl/externalLinks/externalLink1.xml" ContentType='
    '"application/vnd.openxmlformats-officedocument.spreadsheetml.externalLink+xml"/></Types>')
out = zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED)
for n, data in parts.items():
    out.writestr(n, data)
out.close()
)PY";

// Prints every feature of the rich workbook's report sheet, one a line, and the stored values.
const char* kFeatures = R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb["Report"]
print("merged", sorted(str(r) for r in ws.merged_cells.ranges))
print("columns", ws.column_dimensions["A"].width, ws.column_dimensions["E"].hidden)
print("rows", ws.row_dimensions[2].height, ws.row_dimensions[7].hidden)
print("panes", ws.freeze_panes)
print("validation", [(str(d.sqref), d.type, d.formula1) for d in ws.data_validations.dataValidation])
print("conditional", [(str(cf.sqref), [(r.type, r.operator, r.formula, r.dxf.fill.bgColor.rgb) for r in cf.rules])
                      for cf in ws.conditional_formatting])
print("hyperlink", ws["A6"].hyperlink.target)
print("charts", len(ws._charts))
print("print", ws.print_options.gridLines, ws.page_setup.orientation)
a1 = ws["A1"]
print("title", a1.value, a1.font.b, a1.font.sz, a1.font.color.rgb, a1.fill.fgColor.rgb, a1.alignment.horizontal)
print("amounts", [(ws.cell(r, 2).number_format, ws.cell(r, 2).border.bottom.style) for r in range(2, 5)])
print("total", ws["B5"].value, ws["B5"].font.i, ws["B5"].number_format)
print("blank", ws["D8"].fill.fgColor.rgb)
print("properties", wb.properties.title, wb.properties.creator)
print("links", [l.file_link.Target for l in wb._external_links])
values = openpyxl.load_workbook(sys.argv[1], data_only=True)
print("values", values["Report"]["B5"].value, values["Totals"]["A1"].value)
)PY";

// The parts the save keeps byte for byte.
const std::vector<std::string> kKeptParts = {
    "xl/theme/theme1.xml", "xl/charts/chart1.xml", "xl/drawings/drawing1.xml", "xl/drawings/_rels/drawing1.xml.rels",
    "xl/worksheets/_rels/sheet1.xml.rels", "docProps/core.xml", "docProps/app.xml",
    "xl/externalLinks/externalLink1.xml", "xl/externalLinks/_rels/externalLink1.xml.rels"};

struct TelmLossless : ::testing::Test {
    TempFolder addin{"telm-app"};
    TempFolder work{"telm-work"};
    std::string book = work.file("Report.xlsx");
    std::string original = work.file("Original.xlsx");
    std::string printed, dialogs;

    TelmLossless() {
        testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb"));
        python(work.string(), kMakeRichWorkbook, {original});
        std::filesystem::copy_file(original, book);
    }
    ~TelmLossless() override { telm::ResetSharedState(); }

    void telm(std::vector<std::string> arguments) {
        std::tie(printed, dialogs) = testsupport::runTelm(addin.string(), std::move(arguments));
    }
    std::string features(const std::string& path) { return python(work.string(), kFeatures, {path}); }
    static std::string part(const std::string& path, const std::string& name) {
        return host::files::ZipReader(path).read(name).value_or("(missing)");
    }
    // Every feature line of the original but the listed ones is the same after the save.
    void expectFeaturesKept(const std::string& saved, const std::vector<std::string>& changedLines) {
        std::istringstream before(features(original)), after(features(saved));
        std::string a, b;
        while (std::getline(before, a) && std::getline(after, b)) {
            const std::string key = a.substr(0, a.find(' '));
            if (std::find(changedLines.begin(), changedLines.end(), key) == changedLines.end()) {
                EXPECT_EQ(b, a);
            }
        }
        for (const auto& name : kKeptParts) EXPECT_EQ(part(saved, name), part(original, name)) << name;
    }
};

}  // namespace

TEST_F(TelmLossless, CalculatingAndSavingKeepsEveryFeature) {
    telm({book, "--sheet", "Report", "--set", "B2=15", "--calc", "--save"});
    expectFeaturesKept(book, {"values"});
    EXPECT_NE(features(book).find("values 65 130\n"), std::string::npos) << features(book);
    // No style changed: the styles part is the file's own.
    EXPECT_EQ(part(book, "xl/styles.xml"), part(original, "xl/styles.xml"));
    // An independent reader sees the new values.
    const std::string csv = testsupport::fileText(testsupport::officeConvert(book, "csv", work.string()));
    EXPECT_NE(csv.find("North,15"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",65"), std::string::npos) << csv;
    // A second save of the saved file changes nothing more.
    std::filesystem::copy_file(book, work.file("Once.xlsx"));
    telm({book, "--save"});
    for (const auto& name : host::files::ZipReader(book).names())
        EXPECT_EQ(part(book, name), part(work.file("Once.xlsx"), name)) << name;
}

TEST_F(TelmLossless, AWorkbookWrittenByLibreOfficeKeepsEveryFeature) {
    original = testsupport::officeConvert(original, "xlsx", work.file("office"));
    std::filesystem::copy_file(original, book, std::filesystem::copy_options::overwrite_existing);
    telm({book, "--sheet", "Report", "--set", "B2=15", "--calc", "--save"});
    expectFeaturesKept(book, {"values"});
    EXPECT_NE(features(book).find("values 65 130\n"), std::string::npos) << features(book);
}

TEST_F(TelmLossless, TheNumberFormatCommandAddsAStyleAndKeepsTheCellsOwn) {
    telm({book, "--sheet", "Report", "--select", "B5", "--run", "NumberFormat", "--save"});
    expectFeaturesKept(book, {"total", "values"});
    EXPECT_NE(features(book).find("total =SUM(B2:B4) True #,##0.00\n"), std::string::npos) << features(book);
    // The file's styles are all still there, with one more.
    auto styles = [&](const std::string& path) {
        const std::string text = part(path, "xl/styles.xml");
        std::size_t count = 0;
        for (auto at = text.find("<xf "); at != std::string::npos; at = text.find("<xf ", at + 1)) ++count;
        return count;
    };
    EXPECT_EQ(styles(book), styles(original) + 1);
}

TEST_F(TelmLossless, ABackgroundArchiveRefreshKeepsEveryFeature) {
    const std::string connection = "Driver={SQLite3};Database=" + addin.file("sales.db") + ";";
    testsupport::runStatements(connection, {"CREATE TABLE Sales (Region TEXT, Amount REAL)",
                                            "INSERT INTO Sales VALUES ('Anna', 10.5)"});
    std::ofstream(addin.file("DataModel.par"))
        << "[Measure Amount]\nType=ODBC\nGetDataArguments={region}\nConnectionText=" << connection
        << "\nQueryText=SELECT Amount FROM Sales WHERE Region = '{region}'\n";
    telm({book, "--sheet", "Totals", "--set", "B1==GETDATA(\"Amount\",\"Anna\")", "--select", "B1", "--run",
          "MoveToArchive", "--save"});
    testsupport::runStatements(connection, {"UPDATE Sales SET Amount = 77"});
    telm({"--new", "--set", "A1=TELM.NET.IS", "--set", "A3=HIDDENARCHIVEREFRESH", "--set", "B3=" + book, "--run", "StartIS"});
    expectFeaturesKept(book, {"values"});
    const std::string archived = python(work.string(),
                                        "import sys, openpyxl\n"
                                        "print(openpyxl.load_workbook(sys.argv[1], data_only=True)['Totals.a']['B1'].value)\n",
                                        {book});
    EXPECT_EQ(archived, "77\n");
}

// A cell whose formula calls a function the platform does not have keeps the value its file stored;
// the cells that depend on it calculate from it.
TEST_F(TelmLossless, FormulasThePlatformCannotCalculateKeepTheirStoredValues) {
    python(work.string(), R"PY(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws["A1"] = 3
for r, (k, v) in enumerate([(1, "one"), (2, "two"), (3, "five")], start=1):
    ws.cell(r, 4, k); ws.cell(r, 5, v)
ws["B1"] = "=VLOOKUP(A1,D1:E3,2,FALSE)"
ws["C1"] = '=B1&"!"'
ws["B2"] = "=IFERROR(MATCH(3,D1:D3,0),0)*10"
ws["C2"] = "=B2+A1"
wb.save(sys.argv[1])
)PY", {work.file("made.xlsx")});
    // LibreOffice stores the results with the formulas, as spreadsheet programs do.
    const std::string lookup = testsupport::officeConvert(work.file("made.xlsx"), "xlsx", addin.string());
    telm({lookup, "--set", "A1=3", "--calc", "--print", "B1:C2", "--save"});
    EXPECT_EQ(printed, "five\tfive!\n30\t33\n");
    EXPECT_NE(dialogs.find("MATCH, VLOOKUP\n"), std::string::npos) << dialogs;
    const std::string stored = python(work.string(),
                                      "import sys, openpyxl\n"
                                      "ws = openpyxl.load_workbook(sys.argv[1], data_only=True).active\n"
                                      "print(ws['B1'].value, ws['C1'].value, ws['B2'].value, ws['C2'].value)\n",
                                      {lookup});
    EXPECT_EQ(stored, "five five! 30 33\n");
    // Said once, though the step after calculates them again.
    telm({lookup, "--calc", "--calc"});
    const auto first = dialogs.find("VLOOKUP");
    EXPECT_NE(first, std::string::npos) << dialogs;
    EXPECT_EQ(dialogs.find("VLOOKUP", first + 1), std::string::npos) << dialogs;
    // A formula typed here with such a function has no stored value: it shows #NAME?.
    telm({lookup, "--set", "F1==VLOOKUP(1,D1:E3,2,FALSE)", "--print", "F1", "--save"});
    EXPECT_EQ(printed, "#NAME?\n");
    // That guess is not stored as the formula's result.
    EXPECT_EQ(python(work.string(),
                     "import sys, openpyxl\n"
                     "print(openpyxl.load_workbook(sys.argv[1], data_only=True).active['F1'].value)\n",
                     {lookup}),
              "None\n");
}

// The command the README shows: the example workbook's formatting survives a calculation and save.
TEST(TelmLosslessExample, TheSampleWorkbookKeepsItsFormatting) {
    TempFolder addin{"telm-example"};
    std::filesystem::copy(std::string(TELM_SOURCE_DIR) + "/examples", addin.path(),
                          std::filesystem::copy_options::recursive);
    const char* formatting = R"PY(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
print(ws.merged_cells.ranges, ws["A1"].font.b, ws["A1"].fill.fgColor.rgb, ws.row_dimensions[1].height,
      ws.column_dimensions["A"].width, ws.column_dimensions["B"].width, ws.freeze_panes, ws["B3"].border.bottom.style)
)PY";
    const std::string before = python(addin.string(), formatting, {addin.file("Sample.xlsx")});
    testsupport::runTelm(addin.string(), {addin.file("Sample.xlsx"), "--calc", "--save"});
    EXPECT_EQ(python(addin.string(), formatting, {addin.file("Sample.xlsx")}), before);
    EXPECT_EQ(before, "[<MergedCellRange A1:B1>] True FFDDEBF7 24.0 36.0 56.0 A2 thin\n");
}
