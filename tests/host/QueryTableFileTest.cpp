// Query tables in workbook files written by other programs: read with their SQL and connection, and
// still there, readable by those programs, after a save.

#include "host/XlsxTestSupport.h"
#include "host/files/CellReference.h"

using namespace host;
using xlsxtest::XlsxTest;

namespace {

// openpyxl writes the table of type queryTable; the query table parts, the connections part and a
// second query table related straight from its sheet (as older files hold them) are added by hand.
const char* kQueryTableBook = R"PY(
import sys, zipfile, openpyxl
from openpyxl.worksheet.table import Table
from openpyxl.workbook.defined_name import DefinedName
path = sys.argv[1]
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Sales"
for row in (["Region", "Amount"], ["North", 10], ["South", 20]):
    ws.append(row)
table = Table(displayName="Query_from_Sales", ref="A1:B3", tableType="queryTable", connectionId=1)
table._initialise_columns()
for i, column in enumerate(table.tableColumns):
    column.name = ws.cell(1, i + 1).value
    column.queryTableFieldId = i + 1
ws.add_table(table)
plain = wb.create_sheet("Plan")
for value in ("a", "b", "c"):
    plain.append([value])
wb.defined_names.append(DefinedName("ExternalData_1", localSheetId=1, attr_text="Plan!$A$1:$A$3"))
wb.save(path)

main = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
def query(name, connection, extra=""):
    return ('<queryTable %s name="%s" connectionId="%d"%s autoFormatId="16" applyNumberFormats="0">'
            '<queryTableRefresh nextId="2"><queryTableFields count="1"><queryTableField id="1" name="x"/>'
            '</queryTableFields></queryTableRefresh></queryTable>' % (main, name, connection, extra))
added = {
    "xl/queryTables/queryTable1.xml": query("Query from Sales", 1),
    "xl/queryTables/queryTable2.xml": query("ExternalData_1", 2, ' headers="0"'),
    "xl/tables/_rels/table1.xml.rels":
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="%squeryTable" Target="../queryTables/queryTable1.xml"/></Relationships>' % rel,
    "xl/worksheets/_rels/sheet2.xml.rels":
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="%squeryTable" Target="../queryTables/queryTable2.xml"/></Relationships>' % rel,
    "xl/connections.xml":
        '<connections %s><connection id="1" name="Sales" type="1" refreshedVersion="8">'
        '<dbPr connection="DSN=Sales;UID=anna;" command="SELECT Region, Amount FROM Sales WHERE Amount &gt; 5"/>'
        '</connection><connection id="2" name="Plan" type="5" refreshedVersion="8">'
        '<dbPr connection="Provider=MSDASQL;Data Source=Plan;" command="SELECT Item FROM Plan"/></connection>'
        '<connection id="3" name="Text" type="6"><textPr/></connection></connections>' % main,
}
source = zipfile.ZipFile(path)
parts = {name: source.read(name) for name in source.namelist()}
source.close()
types = parts["[Content_Types].xml"].decode()
for name in ("xl/queryTables/queryTable1.xml", "xl/queryTables/queryTable2.xml"):
    types = types.replace("</Types>", '<Override PartName="/%s" ContentType="application/vnd.openxmlformats-'
                          'officedocument.spreadsheetml.queryTable+xml"/></Types>' % name)
types = types.replace("</Types>", '<Override PartName="/xl/connections.xml" ContentType="application/vnd.'
                      'openxmlformats-officedocument.spreadsheetml.connections+xml"/></Types>')
parts["[Content_Types].xml"] = types.encode()
rels = parts["xl/_rels/workbook.xml.rels"].decode()
parts["xl/_rels/workbook.xml.rels"] = rels.replace(
    "</Relationships>", '<Relationship Id="rIdC" Type="%sconnections" Target="connections.xml"/></Relationships>' % rel).encode()
for name, content in added.items():
    parts[name] = content.encode()
with zipfile.ZipFile(path, "w") as target:
    for name, content in parts.items():
        target.writestr(name, content)
)PY";

// What openpyxl sees of the tables of a saved file.
const char* kTableReader = R"PY(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
for ws in wb.worksheets:
    for table in ws.tables.values():
        print(ws.title, table.displayName, table.ref, table.tableType,
              ",".join(c.name for c in table.tableColumns), table.headerRowCount)
)PY";

struct QueryTableSeen {
    std::string name, connection, sql, range;
    bool fieldNames;
    bool operator==(const QueryTableSeen&) const = default;
};
std::ostream& operator<<(std::ostream& out, const QueryTableSeen& q) {
    return out << q.name << " | " << q.connection << " | " << q.sql << " | " << q.range << " | " << q.fieldNames;
}

std::vector<QueryTableSeen> queryTablesOf(const sheet::Workbook& book) {
    std::vector<QueryTableSeen> seen;
    for (const auto& sheet : book.worksheets())
        for (const auto& q : sheet->queryTables())
            seen.push_back({sheet->name() + "/" + q->name, q->connection, q->commandText,
                            host::files::areaReference(q->resultRange),
                            q->fieldNames});
    return seen;
}

}  // namespace

TEST_F(XlsxTest, QueryTablesAreReadWithTheirConnectionAndKeptBySaving) {
    const std::string path = file("query.xlsx");
    xlsxtest::runPython(folder.string(), kQueryTableBook, path);
    const std::vector<QueryTableSeen> expected = {
        {"Sales/Query from Sales", "ODBC;DSN=Sales;UID=anna;", "SELECT Region, Amount FROM Sales WHERE Amount > 5",
         "A1:B3", true},
        {"Plan/ExternalData_1", "OLEDB;Provider=MSDASQL;Data Source=Plan;", "SELECT Item FROM Plan", "A1:A3", false},
    };
    auto book = app->workbooks().open(path);
    EXPECT_EQ(queryTablesOf(*book), expected);

    // A save keeps them, in the form the other programs read.
    book->sheet(1)->range("D1")->setValue("note");
    book->save();
    book->close();
    book = app->workbooks().open(path);
    EXPECT_EQ(queryTablesOf(*book), expected);
    EXPECT_EQ(book->sheet(1)->range("A2")->value(), Variant("North"));
    EXPECT_EQ(xlsxtest::runPython(folder.string(), kTableReader, path),
              "Sales Query_from_Sales A1:B3 queryTable Region,Amount 1\n");

    // A query table that grew with its last refresh is saved over its new range.
    book->sheet(1)->range("A4")->setValue("West");
    book->sheet(1)->range("B4")->setValue(30.0);
    book->sheet(1)->queryTables().front()->resultRange = formula::Area{1, 1, 4, 2};
    book->sheet(1)->queryTables().front()->commandText = "SELECT Region, Amount FROM Sales";
    book->save();
    book->close();
    book = app->workbooks().open(path);
    auto changed = expected;
    changed[0].range = "A1:B4";
    changed[0].sql = "SELECT Region, Amount FROM Sales";
    EXPECT_EQ(queryTablesOf(*book), changed);
    EXPECT_EQ(xlsxtest::runPython(folder.string(), kTableReader, path),
              "Sales Query_from_Sales A1:B4 queryTable Region,Amount 1\n");

    // A workbook made here: its query table is written as the other programs write one.
    auto made = app->workbooks().add();
    made->sheet(1)->range("A1")->setValue("Item");
    made->sheet(1)->range("A2")->setValue("pen");
    auto query = std::make_shared<sheet::QueryTable>();
    query->name = "Items 2024";
    query->connection = "ODBC;DSN=Shop;";
    query->commandText = "SELECT Item FROM Items";
    query->resultRange = formula::Area{1, 1, 2, 1};
    made->sheet(1)->queryTables().push_back(query);
    made->saveAs(file("made.xlsx"));
    made->close();
    EXPECT_EQ(xlsxtest::runPython(folder.string(), kTableReader, file("made.xlsx")),
              "Sheet1 Items_2024 A1:A2 queryTable Item 1\n");
    EXPECT_EQ(queryTablesOf(*app->workbooks().open(file("made.xlsx"))),
              (std::vector<QueryTableSeen>{{"Sheet1/Items 2024", "ODBC;DSN=Shop;", "SELECT Item FROM Items", "A1:A2", true}}));
}
