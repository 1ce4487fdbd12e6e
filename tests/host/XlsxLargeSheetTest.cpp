// Sheets whose cells are read a run of rows at a time: values across the cuts, prefixed element
// names, rows without numbers, and the sheets whose rows cannot be cut apart safely.

#include "host/XlsxTestSupport.h"

#include <charconv>

using namespace host;
using namespace host::sheet;
using xlsxtest::XlsxTest;

namespace {

const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const int kRows = 40000;  // several megabytes of rows

// The parts of a workbook whose only sheet is the given worksheet element.
std::vector<std::pair<std::string, std::string>> workbookWithSheet(const std::string& worksheet) {
    auto parts = xlsxtest::minimalWorkbook("");
    for (auto& [name, content] : parts)
        if (name == "xl/worksheets/sheet1.xml") content = worksheet;
    parts.emplace_back("xl/styles.xml", "<styleSheet xmlns=\"" + kMain +
                                            R"("><cellXfs count="2"><xf numFmtId="0"/><xf numFmtId="10"/></cellXfs></styleSheet>)");
    return parts;
}

// Rows with the "x:" prefix: a number with all its digits, a text holding what looks like an end tag,
// a boolean and an error; every tenth row has no number and every seventh ends its tag with a blank.
std::string prefixedRows(int rows) {
    std::string xml;
    for (int r = 1; r <= rows; ++r) {
        const std::string n = std::to_string(r);
        xml += r % 10 == 0 && r != rows ? "<x:row>" : "<x:row r=\"" + n + "\"" + (r == rows ? R"( s="1" customFormat="1")" : "") + ">";
        xml += "<x:c r=\"A" + n + "\"><x:v>" + n + ".0000000000000" + std::to_string(r % 10) + "</x:v></x:c>";
        xml += "<x:c r=\"B" + n + "\" t=\"inlineStr\"><x:is><x:t>&lt;/x:row&gt; " + n + "</x:t></x:is></x:c>";
        xml += "<x:c r=\"C" + n + "\" t=\"b\"><x:v>" + std::to_string(r % 2) + "</x:v></x:c>";
        xml += "<x:c r=\"D" + n + "\" t=\"e\"><x:v>#N/A</x:v></x:c>";
        xml += r % 7 == 0 ? "</x:row >" : "</x:row>";
    }
    return xml;
}

std::string prefixedSheet(const std::string& rows) {
    return "<x:worksheet xmlns:x=\"" + kMain + "\"><x:sheetData>" + rows + "</x:sheetData></x:worksheet>";
}

void expectRow(const Worksheet& sheet, int r) {
    SCOPED_TRACE("row " + std::to_string(r));
    const std::string n = std::to_string(r);
    double number = 0;
    const std::string digits = n + ".0000000000000" + std::to_string(r % 10);
    std::from_chars(digits.data(), digits.data() + digits.size(), number);
    ASSERT_NE(sheet.findCell(r, 1), nullptr);
    EXPECT_EQ(sheet.findCell(r, 1)->value, Variant(number));
    EXPECT_EQ(sheet.findCell(r, 2)->value, Variant("</x:row> " + n));
    EXPECT_EQ(sheet.findCell(r, 3)->value, Variant(r % 2 == 1));
    EXPECT_EQ(sheet.findCell(r, 4)->value, Variant(CellError::NA));
}

std::string openError(Application& app, const std::string& path) {
    try {
        app.workbooks().open(path);
    } catch (const RuntimeError& e) {
        return e.description();
    }
    return "";
}

}  // namespace

TEST_F(XlsxTest, LargeSheetIsReadWholeAcrossItsRunsAndSavedBack) {
    const std::string path = file("large.xlsx");
    xlsxtest::writePackage(path, workbookWithSheet(prefixedSheet(prefixedRows(kRows))));
    auto book = app->workbooks().open(path);
    auto sheet = book->sheet(1);
    EXPECT_EQ(sheet->allCells().size(), 4u * kRows);
    for (int r : {1, 9, 10, 11, 7000, 13337, 20000, 29999, 30000, kRows - 1, kRows}) expectRow(*sheet, r);
    EXPECT_EQ(sheet->numberFormatAt(kRows, 5), "0.00%");  // the last row's format

    book->save();
    book->close();
    auto again = app->workbooks().open(path);
    EXPECT_EQ(again->sheet(1)->allCells().size(), 4u * kRows);
    for (int r : {1, 10, 20000, kRows}) expectRow(*again->sheet(1), r);
}

TEST_F(XlsxTest, SheetWithCommentsOrCharacterDataAmongItsRowsIsReadWhole) {
    // An end tag inside a comment or character data must not cut the rows there.
    const std::string rows = prefixedRows(kRows / 2) + "<!-- </x:row> -->" + R"(<x:row r="30000"><x:c r="A30000" t="str">)" +
                             "<x:v><![CDATA[</x:row><x:row>]]></x:v></x:c></x:row>";
    const std::string path = file("commented.xlsx");
    xlsxtest::writePackage(path, workbookWithSheet(prefixedSheet(rows)));
    auto sheet = app->workbooks().open(path)->sheet(1);
    for (int r : {1, kRows / 2}) expectRow(*sheet, r);
    EXPECT_EQ(sheet->findCell(30000, 1)->value, Variant("</x:row><x:row>"));
}

TEST_F(XlsxTest, DamageLateInALargeSheetIsReportedAtItsByteInThePart) {
    const std::string good = prefixedRows(kRows);
    const std::string sheetXml = prefixedSheet(good + "<x:row><x:c><x:v>1</x:v></x:d></x:row>");
    const std::string path = file("damaged.xlsx");
    xlsxtest::writePackage(path, workbookWithSheet(sheetXml));
    const std::string error = openError(*app, path);
    ASSERT_NE(error.find("'xl/worksheets/sheet1.xml' is not well-formed XML"), std::string::npos) << error;
    const auto at = error.find("at byte ");
    ASSERT_NE(at, std::string::npos) << error;
    const std::size_t byte = std::stoul(error.substr(at + 8));
    EXPECT_GT(byte, good.size());
    EXPECT_LT(byte, sheetXml.size());
}

TEST_F(XlsxTest, CellsKeepTheirOwnContentWhenTheirNeighboursChange) {
    // Cells sharing a number format, a long text, a value that becomes a formula and back.
    const std::string path = file("changes.xlsx");
    const std::string longText(32767, 'x');
    {
        auto book = app->workbooks().add();
        auto sheet = book->sheet(1);
        sheet->range("A1:A3")->setNumberFormat("0.000");
        sheet->range("A1")->setValue(1.5);
        sheet->range("B1")->setValue(longText);
        sheet->range("C1")->setFormula("=A1*2");
        sheet->range("C2")->setValue(2.0);
        sheet->range("C2")->setFormula("=A1+1");
        sheet->range("C1")->setValue(0.1 + 0.2);
        book->saveAs(path);
        book->close();
    }
    auto book = app->workbooks().open(path);
    auto sheet = book->sheet(1);
    sheet->range("A2")->setNumberFormat("#,##0");
    EXPECT_EQ(sheet->range("A1")->numberFormat(), "0.000");
    EXPECT_EQ(sheet->range("A2")->numberFormat(), "#,##0");
    EXPECT_EQ(sheet->range("A3")->numberFormat(), "0.000");
    EXPECT_EQ(sheet->findCell(1, 2)->value, Variant(longText));
    EXPECT_FALSE(sheet->findCell(1, 3)->formula);
    EXPECT_EQ(sheet->findCell(1, 3)->value, Variant(0.1 + 0.2));  // all 17 digits
    ASSERT_TRUE(sheet->findCell(2, 3)->formula);
    EXPECT_EQ(sheet->range("C2")->formula(), Variant("=A1+1"));
}
