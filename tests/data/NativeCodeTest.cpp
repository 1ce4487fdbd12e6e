// No cell, model variable or connection text loads native code: SQLite's load_extension() on every
// SQLite route, the SQLite driver's LoadExt item, and drivers given as files; nor does a statement
// make SQLite create a file. Each refusal next to the ordinary use it must leave working.

#include <gtest/gtest.h>

#include <fstream>

#include "core/A_Deklaracje.h"
#include "data/F_Dane.h"
#include "host/base/Text.h"
#include "support/LinkBooks.h"
#include "support/Payload.h"
#include "support/SqlCells.h"

using host::Variant;
using telm::SharedState;
using testsupport::quote;

namespace {

struct NativeCells : testsupport::SqlCells {
    testsupport::Payload payload;
    std::string load = "load_extension('" + payload.library + "')";

    NativeCells() {
        std::ofstream(folder.file("DataModel.par"))
            << "[Measure ByCode]\nType=ODBC\nGetDataArguments={code}\n"
               "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\\sales.db;\n"
               "QueryText=SELECT SUM(Amount) FROM Sales WHERE Code = {code}\n"
               "[Measure Access]\nType=ODBC\nGetDataArguments={code}\n"
               "ConnectionText=Driver={Microsoft Access Driver (*.mdb)};DBQ=[TELM.NET.Folder]\\sales.db;\n"
               "QueryText=SELECT SUM(Amount) FROM Sales WHERE Code = {code}\n";
        telm::LoadDataModel(false);
        SharedState().ErrorReportingLevel = 2;
    }
    Variant odbcWith(const std::string& connectionText, const std::string& sql, const char* address = "A1") {
        return formula(address, "=GETDATAODBC(" + quote(connectionText) + "," + quote(sql) + ",FALSE)");
    }
    std::string failureOf(const Variant& v) { return v.isString() ? v.stringValue() : "(a value)"; }
};

}  // namespace

TEST(NativeCode, LoadExtensionFailsOnEverySqliteRoute) {
    NativeCells t;
    // A GETDATA argument on a model variable, on the SQLite3 route and on the Access route.
    const std::string argument = quote("1 AND " + t.load + " IS NULL");
    for (const char* variable : {"ByCode", "Access"}) {
        EXPECT_EQ(t.formula("A1", std::string("=GETDATA(\"") + variable + "\",1)"), Variant(10.5)) << variable;
        const Variant refused = t.formula("A2", std::string("=GETDATA(\"") + variable + "\"," + argument + ")");
        EXPECT_NE(t.failureOf(refused).find("load_extension"), std::string::npos) << variable << ": " << t.failureOf(refused);
    }
    // GETDATAODBC's own SQL, in both argument counts of the function and through the Access route.
    EXPECT_EQ(t.odbc("SELECT SUM(Amount) FROM Sales"), Variant(17.5));
    t.odbc("SELECT " + t.load);
    t.odbc("SELECT load_extension('" + t.payload.library + "', 'sqlite3_extension_init')");
    t.odbcWith("Driver={Microsoft Access Driver (*.mdb)};DBQ=" + t.database + ";", "SELECT " + t.load);
    // The Excel route's in-memory database.
    const std::string book = t.folder.file("plan.xlsx");
    testsupport::writePlanBook(book);
    const std::string excel = "Driver={Microsoft Excel Driver (*.xls)};DBQ=" + book + ";";
    EXPECT_EQ(t.odbcWith(excel, "SELECT SUM(Kwota) FROM [Budget$]", "A3"), Variant(400.0));
    t.odbcWith(excel, "SELECT " + t.load + " FROM [Budget$]", "A4");
    EXPECT_FALSE(t.payload.loaded());
}

TEST(NativeCode, ConnectionTextsNamingLibrariesAreRefused) {
    NativeCells t;
    // The SQLite driver's LoadExt item, also hidden where the driver's own reading of the text finds it.
    for (const std::string& text :
         {t.connection + "LoadExt=" + t.payload.library + ";", "Driver={SQLite3};LOADEXT=" + t.payload.library + ";Database=" + t.database,
          "Driver={SQLite3};Database={" + t.database + ";LoadExt=" + t.payload.library + "};"}) {
        const Variant refused = t.odbcWith(text, "SELECT 1");
        EXPECT_NE(t.failureOf(refused).find("LoadExt"), std::string::npos) << text << ": " << t.failureOf(refused);
    }
    // A driver given as a file; the registered driver by its name, braced or not.
    const Variant path = t.odbcWith("Driver=" + t.payload.library + ";Database=" + t.database + ";", "SELECT 1");
    EXPECT_NE(t.failureOf(path).find("odbcinst.ini"), std::string::npos) << t.failureOf(path);
    EXPECT_EQ(t.odbcWith("Driver=SQLite3;Database=" + t.database + ";", "SELECT 2"), Variant(2.0));
    // A file DSN names a driver file of its own.
    std::ofstream(t.folder.file("x.dsn")) << "[ODBC]\nDriver=" << t.payload.library << "\n";
    const Variant fileDsn = t.odbcWith("FILEDSN=" + t.folder.file("x.dsn") + ";", "SELECT 1");
    EXPECT_NE(t.failureOf(fileDsn).find("FILEDSN"), std::string::npos) << t.failureOf(fileDsn);
    const Variant attribute = t.odbcWith(t.connection + "DMConnAttr=[105]=" + t.folder.file("t.log") + ";", "SELECT 1");
    EXPECT_NE(t.failureOf(attribute).find("DMConnAttr"), std::string::npos) << t.failureOf(attribute);
    // The driver's trace file is a file of the text's choosing.
    const Variant trace = t.odbcWith(t.connection + "Tracefile=" + t.folder.file("trace.txt") + ";", "SELECT 1");
    EXPECT_NE(t.failureOf(trace).find("Tracefile"), std::string::npos) << t.failureOf(trace);
    EXPECT_FALSE(std::filesystem::exists(t.folder.file("trace.txt")));
    EXPECT_FALSE(t.payload.loaded());
}

TEST(NativeCode, NoStatementCreatesAFile) {
    NativeCells t;
    // VACUUM INTO and ATTACH create the file they name, the connection's NoCreat notwithstanding;
    // the Excel route's database in memory has no NoCreat at all.
    const std::string book = t.folder.file("plan.xlsx");
    testsupport::writePlanBook(book);
    const std::string excel = "Driver={Microsoft Excel Driver (*.xls)};DBQ=" + book + ";";
    const auto refused = [&](const Variant& v) { return t.failureOf(v).find("authoriz") != std::string::npos; };
    EXPECT_TRUE(refused(t.odbc("VACUUM INTO '" + t.folder.file("copy.db") + "'")));
    EXPECT_TRUE(refused(t.odbc("ATTACH DATABASE '" + t.folder.file("new.db") + "' AS a")));
    EXPECT_TRUE(refused(t.odbcWith(excel, "ATTACH DATABASE '" + t.folder.file("excel.db") + "' AS a")));
    for (const char* file : {"copy.db", "new.db", "excel.db"}) EXPECT_FALSE(std::filesystem::exists(t.folder.file(file))) << file;
    // A database in memory may still be attached (the statement runs and gives no rows).
    EXPECT_FALSE(refused(t.odbc("ATTACH DATABASE ':memory:' AS m")));
}
