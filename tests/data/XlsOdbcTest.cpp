// The XLS_ODBC type of GETDATA: a SUM over a table of a closed workbook file through the Excel driver.

#include <gtest/gtest.h>

#include <fstream>

#include "core/A_Deklaracje.h"
#include "data/F_Dane.h"
#include "data/F_Lacze.h"
#include "host/base/Text.h"
#include "support/LinkBooks.h"

using host::Variant;
using telm::SharedState;

namespace {

constexpr const char* kNoData = "#Brak danych dla zadanych argumentów. Zapytanie jest prawidłowe.";

// Py.xlsx and Plan.xlsx behind variables of the XLS_ODBC type, each summing its add string over the
// table of its link where its query text holds.
struct XlsOdbc : ::testing::Test {
    testsupport::LinkBooks t;

    XlsOdbc() {
        const std::string py = "'" + t.sub + "\\[Py.xlsx]";
        std::ofstream(t.folder.file("DataModel.par"))
            << "PARAMETERS=ServerCalculation=0\n"
            << variable("Py", py + "Dane'!{cell}") << variable("Plan", "'" + t.sub + "\\[Plan.xlsx]Budget'!{cell}")
            << variable("Missing", "'" + t.sub + "\\[Brak.xlsx]Dane'!{cell}")
            << variable("No sheet", py + "Nie ma'!{cell}");
        telm::LoadDataModel(false);
    }
    // A variable summing its first argument over the cells of its link's second argument where its
    // third argument holds.
    static std::string variable(const std::string& name, const std::string& link) {
        return "[Measure " + name + "]\nType=XLS_ODBC\nGetDataArguments={field},{cell},{condition}\nConnectionText=" +
               link + "\nAddString={field}\nQueryText={condition}\n";
    }
    Variant getData(const std::string& arguments) { return t.formula("Z1", "=GETDATA(" + arguments + ")"); }
};

}  // namespace

TEST_F(XlsOdbc, RangeSumsAndTheirZerosAndNulls) {
    EXPECT_EQ(getData(R"("Py","[Kwota zł]","A1:C4","Region = 'Północ'")"), Variant(10.0));
    // A sum of 0 shows ".", whatever the level.
    EXPECT_EQ(getData(R"("Py","[Ilość]","A1:C4","Region = 'Północ'")"), Variant("."));
    EXPECT_EQ(getData(R"x("Py","[Kwota zł]","A1:C4","Region IN ('Północ', 'Południe')")x"), Variant("."));
    // A Null sum (an empty cell, no matching row): no data.
    EXPECT_EQ(getData(R"("Py","[Kwota zł]","A1:C4","Region = 'Wschód'")"), Variant(0.0));
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(getData(R"("Py","[Kwota zł]","A1:C4","Region = 'Wschód'")"), Variant(kNoData));
    EXPECT_EQ(getData(R"("Py","[Kwota zł]","A1:C4","Region = 'Nikt'")"), Variant(kNoData));
    EXPECT_EQ(getData(R"("Py","[Ilość]","A1:C4","Region = 'Północ'")"), Variant("."));
    // A workbook written by the platform.
    EXPECT_EQ(getData(R"("Plan","Kwota","A1:C3","Region LIKE 'P%'")"), Variant(400.0));
}

TEST_F(XlsOdbc, NamedAndSingleCellsAndWholeSheets) {
    // A single cell, by name or address, is one record of the column F1.
    EXPECT_EQ(getData(R"("Py","F1","Total","1=1")"), Variant(10.0));
    EXPECT_EQ(getData(R"("Py","F1 * 2","B3","1=1")"), Variant(-20.0));
    // A defined name of several cells, its first row naming the columns.
    EXPECT_EQ(getData(R"("Py","[Kwota zł] + 1","Kwoty","Region = 'Północ'")"), Variant(11.0));
    // The used range of a sheet.
    EXPECT_EQ(getData(R"("Py","[Kwota zł]","","Region = 'Południe'")"), Variant(-10.0));
}

TEST_F(XlsOdbc, DescriptionInDescribeMode) {
    const std::string connection = "s(:)Driver={Microsoft Excel Driver (*.xls)};Dbq=" + t.sub + "\\Py.xlsx;ReadOnly=False;(:)";
    EXPECT_EQ(getData(R"("Py","[Kwota zł]","A1:C4","Region = 'Północ'",":")"),
              Variant(connection + "SELECT SUM([Kwota zł]) FROM Dane$A1:C4 WHERE Region = 'Północ'"));
    EXPECT_EQ(getData(R"("Py","F1","Total","1=1",":")"),
              Variant(connection + "SELECT SUM(F1) FROM `Dane$Total` `Dane$Total` WHERE 1=1"));
    EXPECT_FALSE(SharedState().DescribeModeActive);
}

TEST_F(XlsOdbc, MissingFileSheetAndLinkByLevel) {
    EXPECT_EQ(getData(R"("Missing","Kwota","A1:C4","1=1")"), Variant(0.0));
    EXPECT_EQ(getData(R"("No sheet","Kwota","A1:C4","1=1")"), Variant(0.0));
    SharedState().ErrorReportingLevel = 2;
    const std::string missing = getData(R"("Missing","Kwota","A1:C4","1=1")").toString();
    EXPECT_EQ(host::Left(missing, 17), "#Brak łącza. / #[") << missing;
    EXPECT_NE(host::InStr(missing, "Brak.xlsx"), 0) << missing;
    const std::string noSheet = getData(R"("No sheet","Kwota","A1:C4","1=1")").toString();
    EXPECT_NE(host::InStr(noSheet, "Nie ma"), 0) << noSheet;
    // A link without "]" cannot be taken apart.
    EXPECT_EQ(telm::GetDataXlsOdbc("no link", "x", "1=1"), Variant("#Brak łącza. / Invalid procedure call or argument"));
}

TEST_F(XlsOdbc, AnArgumentAddsNoStatement) {
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(getData(R"("Plan","Kwota","A1:C3","Region LIKE 'P%'")"), Variant(400.0));
    const Variant refused = getData(R"("Plan","Kwota","A1:C3","1=1; ATTACH DATABASE 'x.db' AS a; SELECT 1 WHERE $$'$$ = ''")");
    EXPECT_EQ(refused, Variant("#Unexpected error")) << refused.toString();
}
