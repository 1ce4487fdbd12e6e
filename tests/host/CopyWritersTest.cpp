// The spreadsheet XML and web-page writers: what they write reads back, texts are escaped, the page
// stays in proportion to the cells, and files that cannot be written are refused.

#include <sys/stat.h>

#include "host/XlsxTestSupport.h"
#include "host/base/RuntimeError.h"
#include "host/files/HtmlWriter.h"
#include "host/files/SpreadsheetXmlWriter.h"
#include "host/files/XmlWorkbook.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"

using host::Variant;
using host::files::writeHtml;
using host::files::writeSpreadsheetXml;
using xlsxtest::readAll;
using xlsxtest::XlsxTest;

namespace {

host::sheet::WorkbookPtr sampleBook(host::sheet::Application& app) {
    auto book = app.workbooks().add();
    auto sheet = book->sheet(1);
    sheet->setName("Dane & <x>");
    sheet->range("A1")->setValue(0.1);
    sheet->range("B1")->setValue(-1e300);
    sheet->range("C1")->setValue(true);
    sheet->range("D1")->setValue(host::Date{45000.5});
    sheet->range("E1")->setValue(host::CellError::NA);
    sheet->range("A2")->setValue("Zażółć \"gęślą\"\r\njaźń & <b>\x01");
    sheet->range("B3")->setFormula("=A1*2");
    sheet->range("C4:D4")->setFormulaArray("={1,2}");
    auto hidden = book->addSheet(nullptr, nullptr, "Ukryty");
    hidden->range("A1")->setValue("secret");
    hidden->setVisible(host::sheet::SheetVisibility::Hidden);
    return book;
}

}  // namespace

TEST_F(XlsxTest, SpreadsheetXmlWrittenReadsBack) {
    auto book = sampleBook(*app);
    writeSpreadsheetXml(*book, file("copy.xml"));
    auto back = host::files::readXmlWorkbook(*app, file("copy.xml"));
    ASSERT_EQ(back->sheetCount(), 2);
    auto sheet = back->sheet(1);
    EXPECT_EQ(sheet->name(), "Dane & <x>");
    EXPECT_EQ(sheet->range("A1")->value(), Variant(0.1));
    EXPECT_EQ(sheet->range("B1")->value(), Variant(-1e300));
    EXPECT_EQ(sheet->range("C1")->value(), Variant(true));
    EXPECT_EQ(sheet->range("D1")->value(), Variant(host::Date{45000.5}));
    EXPECT_EQ(sheet->range("E1")->value(), Variant(host::CellError::NA));
    EXPECT_EQ(sheet->range("A2")->value(), Variant("Zażółć \"gęślą\"\r\njaźń & <b>"));  // the control character dropped
    EXPECT_EQ(sheet->range("B3")->formula(), Variant("=A1*2"));
    EXPECT_EQ(sheet->range("B3")->value(), Variant(0.2));
    EXPECT_EQ(sheet->range("D4")->value(), Variant(2.0));
    EXPECT_EQ(sheet->range("D4")->hasFormula(), Variant(false));
    EXPECT_EQ(back->sheet(2)->range("A1")->value(), Variant("secret"));
    EXPECT_NE(readAll(file("copy.xml")).find("<Visible>SheetHidden</Visible>"), std::string::npos);
}

TEST_F(XlsxTest, WebPageShowsTheVisibleSheetsAsDisplayed) {
    auto book = sampleBook(*app);
    book->sheet(1)->range("F1")->setValue(1234.5);
    book->sheet(1)->range("F1")->setNumberFormat("#,##0.00");
    writeHtml(*book, file("copy.htm"));
    const std::string page = readAll(file("copy.htm"));
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("<h2>Dane &amp; &lt;x&gt;</h2>"), std::string::npos) << page;
    EXPECT_NE(page.find("<td>Zażółć &quot;gęślą&quot;<br>jaźń &amp; &lt;b&gt;"), std::string::npos) << page;
    EXPECT_NE(page.find("<td align=\"right\">1,234.50</td>"), std::string::npos) << page;
    EXPECT_NE(page.find("<tr><td colspan=\"1\"></td><td align=\"right\">0.2</td></tr>"), std::string::npos) << page;
    EXPECT_EQ(page.find("secret"), std::string::npos);

    // Two cells far apart: two rows of the page, not a grid between them.
    auto sparse = app->workbooks().add();
    sparse->sheet(1)->range("A1")->setValue(1.0);
    sparse->sheet(1)->range("XFD1048576")->setValue(2.0);
    writeHtml(*sparse, file("sparse.htm"));
    EXPECT_LT(readAll(file("sparse.htm")).size(), 1000u);
}

TEST_F(XlsxTest, CopiesThatCannotBeWritten) {
    auto book = sampleBook(*app);
    EXPECT_THROW(writeHtml(*book, file("missing/copy.htm")), host::RuntimeError);
    EXPECT_THROW(writeSpreadsheetXml(*book, file("missing/copy.xml")), host::RuntimeError);
    std::ofstream(file("locked.xml")) << "old";
    ::chmod(file("locked.xml").c_str(), 0444);
    EXPECT_THROW(writeSpreadsheetXml(*book, file("locked.xml")), host::RuntimeError);
    EXPECT_EQ(readAll(file("locked.xml")), "old");
    // A file replaced keeps its permissions.
    std::ofstream(file("kept.htm")) << "old";
    ::chmod(file("kept.htm").c_str(), 0640);
    writeHtml(*book, file("kept.htm"));
    struct stat info {};
    ::stat(file("kept.htm").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}
