// Query tables and pivot tables of workbook files written by another program, used as a person uses
// them through telm: a GETDATAODBC formula and a data-source definition made from a query table, an
// offline cube built from the pivot tables over it, and refreshes that run the query's one statement.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TelmProgram.h"

namespace {

using testsupport::Outcome;

// A sales database, and a workbook whose sheet "Query" holds a query table over it (its rows as last
// fetched) and whose sheet "Pivot" holds a pivot table over the same connection: region by amount.
// openpyxl writes the cells and the table of type queryTable; the query table, pivot table, pivot
// cache and connections parts are added as the common spreadsheet programs store them.
const char* kBook = R"PY(
import os, sqlite3, sys, zipfile, openpyxl
from openpyxl.worksheet.table import Table
db = sqlite3.connect('sales.db')
db.execute('CREATE TABLE sales (region TEXT, year INTEGER, amount REAL)')
db.executemany('INSERT INTO sales VALUES (?, ?, ?)',
               [('Północ', 2023, 5), ('Północ', 2024, 7), ('Zachód', 2023, 11), ('Zachód', 2024, 13)])
db.commit()
connection = 'Driver={SQLite3};Database=' + os.path.abspath('sales.db') + ';'
command = sys.argv[1]

wb = openpyxl.Workbook()
query = wb.active
query.title = 'Query'
for row in (['region', 'year', 'amount'], ['Północ', 2023, 5], ['Północ', 2024, 7], ['Zachód', 2023, 11],
            ['Zachód', 2024, 13]):
    query.append(row)
table = Table(displayName='Query_from_sales', ref='A1:C5', tableType='queryTable', connectionId=1)
table._initialise_columns()
for i, column in enumerate(table.tableColumns):
    column.name = query.cell(1, i + 1).value
    column.queryTableFieldId = i + 1
query.add_table(table)
pivot = wb.create_sheet('Pivot')
for row in (['region', 'Sum of amount'], ['Północ', 12], ['Zachód', 24], ['Grand Total', 36]):
    pivot.append(row)
wb.save('book.xlsx')

main = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
rel = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
def relationships(type, target):
    return ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="%s%s" Target="%s"/></Relationships>' % (rel, type, target))
def escaped(text):
    return text.replace('&', '&amp;').replace('"', '&quot;').replace('<', '&lt;').replace('>', '&gt;')
added = {
    'xl/queryTables/queryTable1.xml':
        '<queryTable %s name="Query from sales" connectionId="1" autoFormatId="16" applyNumberFormats="0">'
        '<queryTableRefresh nextId="4"><queryTableFields count="3"><queryTableField id="1" name="region"/>'
        '<queryTableField id="2" name="year"/><queryTableField id="3" name="amount"/></queryTableFields>'
        '</queryTableRefresh></queryTable>' % main,
    'xl/tables/_rels/table1.xml.rels': relationships('queryTable', '../queryTables/queryTable1.xml'),
    'xl/pivotTables/pivotTable1.xml':
        '<pivotTableDefinition %s name="PivotTable1" cacheId="1" dataCaption="Values">'
        '<location ref="A1:B4" firstHeaderRow="1" firstDataRow="1" firstDataCol="1"/>'
        '<pivotFields count="3"><pivotField axis="axisRow" showAll="0"/><pivotField showAll="0"/>'
        '<pivotField dataField="1" showAll="0"/></pivotFields>'
        '<rowFields count="1"><field x="0"/></rowFields>'
        '<dataFields count="1"><dataField name="Sum of amount" fld="2" baseField="0" baseItem="0"/></dataFields>'
        '</pivotTableDefinition>' % main,
    'xl/pivotTables/_rels/pivotTable1.xml.rels': relationships('pivotCacheDefinition', '../pivotCache/pivotCacheDefinition1.xml'),
    'xl/pivotCache/pivotCacheDefinition1.xml':
        '<pivotCacheDefinition %s refreshOnLoad="0" recordCount="0"><cacheSource type="external" connectionId="1"/>'
        '<cacheFields count="3"><cacheField name="region" numFmtId="0"/><cacheField name="year" numFmtId="0"/>'
        '<cacheField name="amount" numFmtId="0"/></cacheFields></pivotCacheDefinition>' % main,
    'xl/worksheets/_rels/sheet2.xml.rels': relationships('pivotTable', '../pivotTables/pivotTable1.xml'),
    'xl/connections.xml':
        '<connections %s><connection id="1" name="sales" type="1" refreshedVersion="8">'
        '<dbPr connection="%s" command="%s"/></connection></connections>' % (main, escaped(connection), escaped(command)),
}
source = zipfile.ZipFile('book.xlsx')
parts = {name: source.read(name) for name in source.namelist()}
source.close()
types = parts['[Content_Types].xml'].decode()
kinds = {'queryTables': 'queryTable', 'pivotTables': 'pivotTable', 'pivotCache': 'pivotCacheDefinition',
         'connections.xml': 'connections'}
for name in added:
    for folder, kind in kinds.items():
        if name.startswith('xl/' + folder) and '_rels' not in name:
            types = types.replace('</Types>', '<Override PartName="/%s" ContentType="application/vnd.openxmlformats-'
                                  'officedocument.spreadsheetml.%s+xml"/></Types>' % (name, kind))
parts['[Content_Types].xml'] = types.encode()
rels = parts['xl/_rels/workbook.xml.rels'].decode()
parts['xl/_rels/workbook.xml.rels'] = rels.replace(
    '</Relationships>', '<Relationship Id="rIdC" Type="%sconnections" Target="connections.xml"/></Relationships>' % rel).encode()
for name, content in added.items():
    parts[name] = content.encode()
with zipfile.ZipFile('book.xlsx', 'w') as target:
    for name, content in parts.items():
        target.writestr(name, content)
)PY";

struct TelmQueryTables : ::testing::Test, testsupport::TelmProgram {
    std::string book = work.file("book.xlsx");
    // Writes the database and the workbook, whose query runs `command`.
    void write(const std::string& command = "SELECT region, year, amount FROM sales") {
        std::ofstream(work.file("book.py")) << kBook;
        python("import subprocess, sys\nsubprocess.run([sys.executable, 'book.py', " + pythonText(command) +
               "], check=True)\n");
    }
    static std::string pythonText(const std::string& text) {
        std::string quoted = "'";
        for (char c : text) quoted += c == '\'' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        return quoted + "'";
    }
    std::string rows(const std::string& sql) const {
        return python("import sqlite3\nprint(sqlite3.connect('sales.db').execute(" + pythonText(sql) + ").fetchall())\n");
    }
};

}  // namespace

TEST_F(TelmQueryTables, AQueryTableGivesAGetDataOdbcFormulaAndADataSourceDefinition) {
    write();
    const std::string connection = "Driver={SQLite3};Database=" + work.file("sales.db") + ";";
    Outcome r = run(book + " --sheet Query --select B3 --run WizardGetdataODBC --answer E1 --print-formulas E1 "
                           "--print E1:G5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "=GETDATAODBC(\"" + connection + "\",\"SELECT region, year, amount FROM sales\",TRUE)\n"
                     "region\tyear\tamount\nPółnoc\t2023\t5\nPółnoc\t2024\t7\nZachód\t2023\t11\nZachód\t2024\t13\n");

    r = run(book + " --sheet Query --select A1 --run DataSourceWizard --answer close");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("TextBoxConnectionText (TextBox): " + connection), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("TextBoxQueryText (TextBox): SELECT region, year, amount FROM sales"), std::string::npos);

    // A cell outside the query table: the command says there is none.
    r = run(book + " --sheet Query --select H9 --run WizardGetdataODBC --answer OK");
    EXPECT_EQ(r.err.find("GETDATAODBC"), std::string::npos);
}

TEST_F(TelmQueryTables, TheCubeWizardBuildsAnOfflineCubeFromThePivotTablesOverTheQuery) {
    write();
    // The cube query file is written and opened: the cube is built and shown as a pivot table.
    const Outcome r = run(book + " --run CubeWizard --answer OK --answer Yes --print A1:B8");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(work.file("book.oqy")));
    EXPECT_TRUE(std::filesystem::exists(work.file("book.cub")));
    EXPECT_NE(r.out.find("Północ\t12\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Zachód\t24\n"), std::string::npos) << r.out;
}

TEST_F(TelmQueryTables, ARefreshRunsTheQueryOnceAndRefusesASecondStatement) {
    write();
    python("import sqlite3\ndb = sqlite3.connect('sales.db')\n"
           "db.execute(\"INSERT INTO sales VALUES ('Wschód', 2024, 3)\")\ndb.commit()\n");
    Outcome r = run(book + " --refresh --sheet Query --print A5:C6 --sheet Pivot --print A1:B5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Zachód\t2024\t13\nWschód\t2024\t3\n"
                     "region\tamount\nPółnoc\t12\nWschód\t3\nZachód\t24\nGrand Total\t39\n");

    // A query that would also delete: refused, the table and the database as they were.
    std::filesystem::remove(work.file("sales.db"));
    write("SELECT region, year, amount FROM sales; DELETE FROM sales");
    r = run(book + " --refresh --sheet Query --print A2:C2");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--refresh: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("more than one statement"), std::string::npos) << r.err;
    EXPECT_EQ(rows("SELECT count(*) FROM sales"), "[(4,)]\n");
}
