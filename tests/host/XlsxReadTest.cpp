#include "host/XlsxTestSupport.h"

#include "host/base/DateSerial.h"
#include "host/files/XlsxReader.h"
#include "host/sheet/Comment.h"

using namespace host;
using namespace host::sheet;
using xlsxtest::XlsxTest;

namespace {

const char* kOpenpyxlWriter = R"PY(
import sys, datetime, openpyxl
from openpyxl.comments import Comment
from openpyxl.workbook.defined_name import DefinedName
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Dane"
ws["A1"] = 12.5
ws["A2"] = 7
ws["A3"] = "Zażółć gęślą jaźń"
ws["A4"] = True
ws["A5"] = "#N/A"
ws["B1"] = "=SUM(A1:A2)"
ws["B2"] = "=A1*2"
ws["C1"] = "=SUM(A1:A2*2)"
ws.formula_attributes["C1"] = {"t": "array", "ref": "C1"}
ws["D1"] = datetime.datetime(2024, 2, 29, 12, 0)
ws["D2"] = 0.25
ws["D2"].number_format = "0.00%"
ws["A3"].comment = Comment("Uwaga: ąę", "Łukasz")
hidden = wb.create_sheet("Ukryty")
hidden.sheet_state = "hidden"
hidden["A1"] = "ukryty tekst"
very = wb.create_sheet("Bardzo")
very.sheet_state = "veryHidden"
very["B2"] = -1.5e-7
wb.defined_names.append(DefinedName("Suma", attr_text="Dane!$A$1:$A$2"))
wb.save(sys.argv[1])
)PY";

std::string formulaText(const Worksheet& sheet, int row, int column) {
    const auto* cell = sheet.findCell(row, column);
    return cell && cell->formula ? cell->formula->toText(formula::ReferenceStyle::A1, row, column) : std::string();
}

}  // namespace

TEST_F(XlsxTest, ReadsWhatOpenpyxlWrites) {
    const std::string path = file("openpyxl.xlsx");
    xlsxtest::runPython(folder.string(), kOpenpyxlWriter, path);
    auto book = app->workbooks().open(path);
    EXPECT_EQ(book->name(), "openpyxl.xlsx");
    EXPECT_EQ(book->path(), folder.string());
    EXPECT_TRUE(book->saved);
    ASSERT_EQ(book->sheetCount(), 3);
    auto data = book->sheet("Dane");
    EXPECT_EQ(data->visible(), SheetVisibility::Visible);
    EXPECT_EQ(book->sheet("Ukryty")->visible(), SheetVisibility::Hidden);
    EXPECT_EQ(book->sheet("Bardzo")->visible(), SheetVisibility::VeryHidden);
    EXPECT_EQ(book->activeSheet(), data);

    EXPECT_EQ(data->findCell(1, 1)->value, Variant(12.5));
    EXPECT_EQ(data->findCell(2, 1)->value, Variant(7.0));
    EXPECT_EQ(data->findCell(3, 1)->value, Variant("Zażółć gęślą jaźń"));
    EXPECT_EQ(data->findCell(4, 1)->value, Variant(true));
    EXPECT_EQ(data->findCell(5, 1)->value, Variant(CellError::NA));
    EXPECT_EQ(book->sheet("Ukryty")->findCell(1, 1)->value, Variant("ukryty tekst"));
    EXPECT_EQ(book->sheet("Bardzo")->findCell(2, 2)->value, Variant(-1.5e-7));

    EXPECT_EQ(data->findCell(1, 4)->value, Variant(Date{dateSerial(2024, 2, 29, 12)}));
    EXPECT_EQ(data->findCell(1, 4)->numberFormat, "yyyy-mm-dd h:mm:ss");
    EXPECT_EQ(data->findCell(2, 4)->numberFormat, "0.00%");
    EXPECT_EQ(data->findCell(2, 4)->value, Variant(0.25));

    EXPECT_EQ(formulaText(*data, 1, 2), "=SUM(A1:A2)");
    EXPECT_EQ(formulaText(*data, 2, 2), "=A1*2");
    EXPECT_EQ(formulaText(*data, 1, 3), "=SUM(A1:A2*2)");
    EXPECT_EQ(data->findCell(1, 3)->array, formula::Area::cell(1, 3));

    const auto comment = data->findCell(3, 1)->comment;
    ASSERT_TRUE(comment);
    EXPECT_EQ(comment->text(), "Uwaga: ąę");
    EXPECT_EQ(comment->author(), "Łukasz");
    EXPECT_EQ(book->names().item("Suma")->refersTo(), "=Dane!$A$1:$A$2");

    // openpyxl stores formulas without results: they are calculated once the book is open.
    app->calculate();
    EXPECT_EQ(data->range("B1")->value(), Variant(19.5));
    EXPECT_EQ(data->range("B2")->value(), Variant(25.0));
    EXPECT_EQ(data->range("C1")->value(), Variant(39.0));
}

TEST_F(XlsxTest, ReadsEveryKindOfCellTheFormatHas) {
    const std::string sheetData =
        R"(<row r="1"><c r="A1"><v>2</v></c><c r="B1"><f>A1*10</f><v>20</v></c>)"
        R"(<c r="C1" t="str"><f>"x"&amp;A1</f><v>x2</v></c><c r="D1" t="b"><f>A1&gt;1</f><v>1</v></c>)"
        R"(<c r="E1" t="e"><f>1/0</f><v>#DIV/0!</v></c></row>)"
        R"(<row r="2"><c r="A2"><v>3</v></c><c r="B2"><f t="shared" ref="B2:B4" si="0">A2+$A$1</f><v>5</v></c></row>)"
        R"(<row r="3"><c r="A3"><v>4</v></c><c r="B3"><f t="shared" si="0"/><v>6</v></c></row>)"
        R"(<row r="4"><c r="B4"><f t="shared" si="0"/><v>2</v></c></row>)"
        R"(<row r="5"><c r="A5"><f t="array" ref="A5:B6">A2:B3*2</f><v>6</v></c><c r="B5"><v>10</v></c></row>)"
        R"(<row r="6"><c r="A6"><v>8</v></c><c r="B6"><v>12</v></c></row>)"
        R"(<row r="7"><c t="inlineStr"><is><r><t>Rich </t></r><r><rPr><b/></rPr><t>text</t></r></is></c>)"
        R"(<c t="s"><v>0</v></c><c t="s"><v>1</v></c><c t="d"><v>2024-03-01T06:00:00</v></c>)"
        R"(<c s="1"><v>1234.5</v></c><c s="2"><v>45000</v></c><c s="3"><v>0.5</v></c></row>)";
    const std::string strings = R"(<si><t>line_x000D_
two</t></si><si><r><t>ąę </t></r><r><t xml:space="preserve"> ok</t></r><rPh><t>x</t></rPh></si>)";
    auto parts = xlsxtest::minimalWorkbook(sheetData, strings);
    parts.emplace_back("xl/styles.xml",
                       R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
                       R"(<numFmts count="1"><numFmt numFmtId="170" formatCode="0.0&quot; zł&quot;"/></numFmts>)"
                       R"(<cellXfs count="4"><xf numFmtId="0"/><xf numFmtId="3"/><xf numFmtId="14"/><xf numFmtId="170"/></cellXfs></styleSheet>)");
    parts.emplace_back("docProps/custom.xml",
                       R"(<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/custom-properties" )"
                       R"(xmlns:vt="http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes">)"
                       R"(<property fmtid="{D5CDD505-2E9C-101B-9397-08002B2CF9AE}" pid="2" name="Autor"><vt:lpwstr>Zoë</vt:lpwstr></property>)"
                       R"(<property fmtid="{D5CDD505-2E9C-101B-9397-08002B2CF9AE}" pid="3" name="Wersja"><vt:i4>7</vt:i4></property>)"
                       R"(<property fmtid="{D5CDD505-2E9C-101B-9397-08002B2CF9AE}" pid="4" name="Kurs"><vt:r8>4.25</vt:r8></property>)"
                       R"(<property fmtid="{D5CDD505-2E9C-101B-9397-08002B2CF9AE}" pid="5" name="Gotowe"><vt:bool>true</vt:bool></property>)"
                       R"(<property fmtid="{D5CDD505-2E9C-101B-9397-08002B2CF9AE}" pid="6" name="Dnia"><vt:filetime>2024-01-02T03:04:05Z</vt:filetime></property>)"
                       R"(</Properties>)");
    const std::string path = file("kinds.xla");
    xlsxtest::writePackage(path, parts);
    auto book = app->workbooks().open(path);
    auto s = book->sheet(1);

    EXPECT_EQ(s->findCell(1, 2)->value, Variant(20.0));
    EXPECT_EQ(s->findCell(1, 3)->value, Variant("x2"));
    EXPECT_EQ(s->findCell(1, 4)->value, Variant(true));
    EXPECT_EQ(s->findCell(1, 5)->value, Variant(CellError::Div0));
    EXPECT_TRUE(s->calcState().dirty.empty());  // stored results are kept
    EXPECT_EQ(formulaText(*s, 1, 3), "=\"x\"&A1");

    EXPECT_EQ(formulaText(*s, 2, 2), "=A2+$A$1");
    EXPECT_EQ(formulaText(*s, 3, 2), "=A3+$A$1");
    EXPECT_EQ(formulaText(*s, 4, 2), "=A4+$A$1");
    EXPECT_EQ(s->findCell(4, 2)->value, Variant(2.0));

    EXPECT_EQ(formulaText(*s, 5, 1), "=A2:B3*2");
    EXPECT_FALSE(s->findCell(6, 2)->formula);
    for (int r = 5; r <= 6; ++r)
        for (int c = 1; c <= 2; ++c) EXPECT_EQ(s->findCell(r, c)->array, (formula::Area{5, 1, 6, 2}));
    EXPECT_EQ(s->findCell(6, 2)->value, Variant(12.0));

    EXPECT_EQ(s->findCell(7, 1)->value, Variant("Rich text"));
    EXPECT_EQ(s->findCell(7, 2)->value, Variant("line\r\ntwo"));
    EXPECT_EQ(s->findCell(7, 3)->value, Variant("ąę  ok"));
    EXPECT_EQ(s->findCell(7, 4)->value, Variant(Date{dateSerial(2024, 3, 1, 6)}));
    EXPECT_EQ(s->findCell(7, 5)->numberFormat, "#,##0");
    EXPECT_EQ(s->findCell(7, 5)->value, Variant(1234.5));
    EXPECT_EQ(s->findCell(7, 6)->numberFormat, "mm-dd-yy");
    EXPECT_EQ(s->findCell(7, 6)->value, Variant(Date{45000}));
    EXPECT_EQ(s->findCell(7, 7)->numberFormat, "0.0\" zł\"");

    auto& properties = book->customDocumentProperties();
    ASSERT_EQ(properties.count(), 5);
    EXPECT_EQ(properties.item("Autor")->value(), Variant("Zoë"));
    EXPECT_EQ(properties.item("Wersja")->type(), PropertyType::Number);
    EXPECT_EQ(properties.item("Wersja")->value(), Variant(7));
    EXPECT_EQ(properties.item("Kurs")->value(), Variant(4.25));
    EXPECT_EQ(properties.item("Gotowe")->value(), Variant(true));
    EXPECT_EQ(properties.item("Dnia")->value(), Variant(Date{dateSerial(2024, 1, 2, 3, 4, 5)}));
}
