#include "host/XlsxTestSupport.h"

#include "host/base/DateSerial.h"
#include "host/files/XmlWorkbook.h"
#include "host/sheet/Comment.h"
#include "host/sheet/Workbook.h"

using namespace host;
using namespace host::sheet;
using xlsxtest::XlsxTest;

namespace {

Variant valueAt(const Worksheet& sheet, int row, int column) {
    const auto* cell = sheet.findCell(row, column);
    return cell ? cell->value : Variant();
}

// The sheet's stored cells, row by row, as "A1=value" texts joined with "|".
std::string cellsOf(const Worksheet& sheet, int rows, int columns) {
    std::string text;
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= columns; ++c)
            if (const auto* cell = sheet.findCell(r, c))
                text += (text.empty() ? "" : "|") + std::to_string(r) + "," + std::to_string(c) + "=" +
                        cell->value.toString();
    return text;
}

const char* kOrders = R"(<?xml version="1.0" encoding="UTF-8"?>
<export xmlns="urn:example" generated="today">
  <orders>
    <order id="1" status="new">
      <customer><name>Żabka</name><city>Kraków</city></customer>
      <amount>12.50</amount>
    </order>
    <order id="2">
      <customer><name>Acme</name></customer>
      <amount>n/a</amount>
      <note>first</note><note>second</note>
    </order>
    <order id="003"><ship date="2024-01-02"/><amount> 7 </amount></order>
  </orders>
</export>)";

const char* kSpreadsheet = R"(<?xml version="1.0"?>
<?mso-application progid="Excel.Sheet"?>
<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"
 xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet" xmlns:html="http://www.w3.org/TR/REC-html40">
 <ExcelWorkbook xmlns="urn:schemas-microsoft-com:office:excel"><ActiveSheet>1</ActiveSheet></ExcelWorkbook>
 <Worksheet ss:Name="Pierwszy">
  <Table>
   <Row>
    <Cell><Data ss:Type="String">Nazwa</Data></Cell>
    <Cell ss:Index="3"><Data ss:Type="Number">1.5</Data></Cell>
   </Row>
   <Row ss:Index="4">
    <Cell ss:MergeAcross="1"><Data ss:Type="Boolean">1</Data></Cell>
    <Cell><Data ss:Type="DateTime">2024-02-29T12:00:00.000</Data></Cell>
    <Cell><Data ss:Type="Error">#N/A</Data></Cell>
    <Cell ss:Formula="=R[-3]C[-2]*2"><Data ss:Type="Number">3</Data></Cell>
    <Cell ss:Formula="=R1C3+1"/>
   </Row>
   <Row>
    <Cell><ss:Data ss:Type="String" xmlns="http://www.w3.org/TR/REC-html40"><B>bold</B> text</ss:Data>
     <Comment ss:Author="Ala"><ss:Data>uwaga</ss:Data></Comment></Cell>
   </Row>
  </Table>
 </Worksheet>
 <Worksheet ss:Name="Drugi"><Table>
  <Row><Cell><Data ss:Type="DateTime">1899-12-31T06:00:00.000</Data></Cell></Row>
 </Table></Worksheet>
</Workbook>)";

// Reads the file; returns the error's description, or "" when it was read.
std::string readError(Application& app, const std::string& path) {
    try {
        files::readXmlWorkbook(app, path);
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::InvalidArgument) << e.description();
        EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
        return e.description();
    }
    return "";
}

}  // namespace

TEST_F(XlsxTest, AnyXmlOpensAsATableOfItsRecords) {
    const std::string path = file("Orders list.XML");  // the extension in any letter case
    xlsxtest::writeAll(path, kOrders);
    auto book = app->workbooks().open(path);
    EXPECT_EQ(book->name(), "Orders list.XML");
    ASSERT_EQ(book->sheetCount(), 1);
    const auto& sheet = *book->sheet(1);
    EXPECT_EQ(sheet.name(), "Orders list");
    EXPECT_EQ(cellsOf(sheet, 1, 8), "1,1=@id|1,2=@status|1,3=customer/name|1,4=customer/city|1,5=amount|1,6=note|"
                                    "1,7=ship/@date");
    EXPECT_EQ(valueAt(sheet, 2, 1), Variant(1.0));
    EXPECT_EQ(valueAt(sheet, 2, 3), Variant("Żabka"));
    EXPECT_EQ(valueAt(sheet, 2, 5), Variant(12.5));
    EXPECT_EQ(valueAt(sheet, 3, 5), Variant("n/a"));
    EXPECT_EQ(valueAt(sheet, 3, 6), Variant("first"));  // a repeated field keeps its first value
    EXPECT_TRUE(valueAt(sheet, 3, 2).isEmpty());        // a field the record lacks
    EXPECT_EQ(valueAt(sheet, 4, 1), Variant(3.0));
    EXPECT_EQ(valueAt(sheet, 4, 5), Variant(7.0));
    EXPECT_EQ(valueAt(sheet, 4, 7), Variant("2024-01-02"));
    EXPECT_EQ(sheet.allCells().size(), 7u + 12u);

    // Leaf records are one field each; a lone record is found below single children; a file name
    // becomes a valid sheet name.
    xlsxtest::writeAll(file("names.xml"), "<names><name>x</name><name>2</name></names>");
    EXPECT_EQ(cellsOf(*files::readXmlWorkbook(*app, file("names.xml"))->sheet(1), 3, 2), "1,1=name|2,1=x|3,1=2");
    xlsxtest::writeAll(file("'a[1]?.xml"), "<config><section><setting a='1' b='x'/></section></config>");
    auto single = files::readXmlWorkbook(*app, file("'a[1]?.xml"));
    EXPECT_EQ(single->sheet(1)->name(), "a_1__");
    EXPECT_EQ(cellsOf(*single->sheet(1), 2, 2), "1,1=@a|1,2=@b|2,1=1|2,2=x");
}

TEST_F(XlsxTest, SpreadsheetXmlOpensAsItsSheets) {
    const std::string path = file("book.xml");
    xlsxtest::writeAll(path, kSpreadsheet);
    auto book = app->workbooks().open(path);
    ASSERT_EQ(book->sheetCount(), 2);
    EXPECT_EQ(book->activeSheet()->name(), "Drugi");
    const auto& first = *book->sheet("Pierwszy");
    EXPECT_EQ(valueAt(first, 1, 1), Variant("Nazwa"));
    EXPECT_EQ(first.findCell(1, 2), nullptr);
    EXPECT_EQ(valueAt(first, 1, 3), Variant(1.5));
    EXPECT_EQ(first.findCell(2, 1), nullptr);
    EXPECT_EQ(valueAt(first, 4, 1), Variant(true));
    EXPECT_EQ(first.findCell(4, 2), nullptr);  // covered by the merged cell before it
    EXPECT_EQ(valueAt(first, 4, 3), Variant(Date{dateSerial(2024, 2, 29, 12, 0, 0)}));
    EXPECT_EQ(valueAt(first, 4, 4), Variant(CellError::NA));
    EXPECT_EQ(first.findCell(4, 5)->formula->toText(formula::ReferenceStyle::A1, 4, 5), "=C1*2");
    EXPECT_EQ(valueAt(first, 4, 5), Variant(3.0));  // the stored result
    EXPECT_TRUE(valueAt(first, 4, 6).isEmpty());    // no stored result: calculated when asked
    app->calculate();
    EXPECT_EQ(valueAt(first, 4, 6), Variant(2.5));
    EXPECT_EQ(valueAt(first, 5, 1), Variant("bold text"));
    ASSERT_TRUE(first.findCell(5, 1)->comment);
    EXPECT_EQ(first.findCell(5, 1)->comment->text(), "uwaga");
    EXPECT_EQ(first.findCell(5, 1)->comment->author(), "Ala");
    EXPECT_EQ(valueAt(*book->sheet("Drugi"), 1, 1), Variant(Date{0.25}));  // a time without a date
}

TEST_F(XlsxTest, BadXmlIsRefusedWithTheReason) {
    EXPECT_NE(readError(*app, file("missing.xml")).find("could not be found"), std::string::npos);

    xlsxtest::writeAll(file("bad.xml"), "<a><b></a>");
    const std::string malformed = readError(*app, file("bad.xml"));
    EXPECT_NE(malformed.find("not well-formed XML"), std::string::npos) << malformed;
    EXPECT_NE(malformed.find("at byte 8"), std::string::npos) << malformed;

    auto spreadsheet = [](const std::string& rows) {
        return R"(<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"><Worksheet Name="S"><Table>)" + rows +
               "</Table></Worksheet></Workbook>";
    };
    const std::string badNumber = R"(<Row><Cell Index="2"><Data Type="Number">x1</Data></Cell></Row>)";
    xlsxtest::writeAll(file("number.xml"), spreadsheet(badNumber));
    EXPECT_NE(readError(*app, file("number.xml")).find("the cell S!B1 holds 'x1', which is no Number"),
              std::string::npos);
    xlsxtest::writeAll(file("row.xml"), spreadsheet(R"(<Row Index="0"/>)"));
    EXPECT_NE(readError(*app, file("row.xml")).find("the row 0 of the sheet 'S' is out of range"), std::string::npos);
    xlsxtest::writeAll(file("empty.xml"), R"(<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"/>)");
    EXPECT_NE(readError(*app, file("empty.xml")).find("no worksheet"), std::string::npos);
}
