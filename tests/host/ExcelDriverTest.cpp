// The Excel driver over a real workbook file: the table forms a query may name.

#include <gtest/gtest.h>

#include "XlsxTestSupport.h"
#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/sheet/Names.h"
#include "host/sheet/Range.h"
#include "host/sheet/Worksheet.h"
#include "support/Errors.h"

using host::Variant;
using host::ado::Connection;
using host::ado::kDriverError;
using host::ado::Recordset;
using testsupport::errorNumberOf;

namespace {

// Book.xlsx, sheet "Sales" (A1:B4: Region, Amount; North 10, South 2.5, North 1) and sheet "Notes"
// (B2 = 7), with the names Total (Sales!$B$2), Table (Sales!$A$1:$B$4) and Rate (a constant).
struct ExcelDriver : xlsxtest::XlsxTest {
    Connection connection;

    void SetUp() override {
        XlsxTest::SetUp();
        auto book = app->workbooks().add();
        auto sales = book->sheet(1);
        sales->setName("Sales");
        sales->range("A1:B1")->setValue(host::Array::vector({"Region", "Amount"}));
        sales->range("A2:B2")->setValue(host::Array::vector({"North", 10.0}));
        sales->range("A3:B3")->setValue(host::Array::vector({"South", 2.5}));
        sales->range("A4:B4")->setValue(host::Array::vector({"North", 1.0}));
        auto notes = book->addSheet(nullptr, sales);
        notes->setName("Notes");
        notes->range("B2")->setValue(7.0);
        book->names().add("Total", "=Sales!$B$2");
        book->names().add("Table", "=Sales!$A$1:$B$4");
        book->names().add("Rate", "=0.23");
        book->saveAs(file("Book.xlsx"));
        book->close();
        connection.open("Driver={Microsoft Excel Driver (*.xls)};DBQ=" + file("Book.xlsx") + ";");
    }
    Variant first(const std::string& sql) {
        Recordset r;
        r.open(sql, connection);
        return r.getRows().arrayValue()(0, 0);
    }
};

}  // namespace

TEST_F(ExcelDriver, SheetsCellsAndNames) {
    // The used range of a sheet, bracketed or backquoted.
    EXPECT_EQ(first("SELECT SUM(Amount) FROM [Sales$] WHERE Region = 'North'"), Variant(11.0));
    EXPECT_EQ(first("SELECT COUNT(*) FROM `Sales$`"), Variant(3));
    // A single cell by address or name, given twice as table and alias: one record of the column F1.
    EXPECT_EQ(first("SELECT SUM(F1) FROM `Sales$B3` `Sales$B3` WHERE 1=1"), Variant(2.5));
    EXPECT_EQ(first("SELECT SUM(F1) FROM `Sales$Total` `Sales$Total`"), Variant(10.0));
    EXPECT_EQ(first("SELECT F1 FROM [Notes$B2]"), Variant(7.0));
    // A defined name of a range, however it is written.
    EXPECT_EQ(first("SELECT SUM(Amount) FROM Table"), Variant(13.5));
    EXPECT_EQ(first("SELECT SUM(t.Amount) FROM [Table] t JOIN table u ON t.Region = u.Region WHERE u.Amount = 1"),
              Variant(11.0));
    EXPECT_EQ(first("SELECT COUNT(*) FROM `Table`"), Variant(3));
    // Texts in quotes and column names in brackets are left alone.
    EXPECT_EQ(first("SELECT '[Sales$] `Table`' FROM Sales$A1:B2"), Variant("[Sales$] `Table`"));
    EXPECT_EQ(first("SELECT [Amount] FROM [Sales$A1:B2]"), Variant(10.0));
}

TEST_F(ExcelDriver, BadTablesFailAsDriverErrors) {
    Recordset r;
    EXPECT_EQ(errorNumberOf([&] { r.open("SELECT * FROM [Nope$]", connection); }), kDriverError);
    EXPECT_EQ(errorNumberOf([&] { r.open("SELECT * FROM `Sales$NoSuchName`", connection); }), kDriverError);
    EXPECT_EQ(errorNumberOf([&] { r.open("SELECT * FROM [Rate]", connection); }), kDriverError);
    // A range far beyond any data is refused before anything is read.
    EXPECT_EQ(errorNumberOf([&] { r.open("SELECT * FROM [Sales$A1:XFD1048576]", connection); }), kDriverError);
    // Long texts and brackets do not exhaust the stack.
    const std::string longText(100000, 'x');
    EXPECT_EQ(errorNumberOf([&] { r.open("SELECT '" + longText + "' FROM [" + longText + "]", connection); }),
              kDriverError);
    EXPECT_EQ(first("SELECT LENGTH('" + longText + "') FROM [Sales$A1:B2]"), Variant(100000));

    Connection missing;
    missing.open("Driver={Microsoft Excel Driver (*.xls)};DBQ=" + file("None.xlsx") + ";");
    EXPECT_EQ(errorNumberOf([&] { r.open("SELECT * FROM [Sales$]", missing); }), kDriverError);
}
