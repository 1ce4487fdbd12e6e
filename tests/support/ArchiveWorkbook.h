#pragma once
// The started add-in with a data model of one ODBC variable over a SQLite database, the "Log" folder,
// workbook files, and a workbook whose first sheet holds two GETDATA cells (one written in lower
// case), a GETDATAODBC cell, a constant and a formula that uses a data cell.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/A_Deklaracje.h"
#include "data/P_Archiwum.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Comment.h"
#include "support/SqlCells.h"

namespace testsupport {

using host::Variant;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct ArchiveWorkbook : testsupport::AddInHost {
    std::string database = folder.file("sales.db");
    std::string connection = "Driver={SQLite3};Database=" + database + ";";
    host::sheet::WorkbookPtr book;
    host::sheet::WorksheetPtr sheet;

    ArchiveWorkbook() {
        runStatements(connection, {"CREATE TABLE Sales (Region TEXT, Amount REAL)",
                                   "INSERT INTO Sales VALUES ('Anna', 10.5)", "INSERT INTO Sales VALUES ('Adam', 7)"});
        std::ofstream(folder.file("DataModel.par"))
            << "[Measure Amount]\nType=ODBC\nGetDataArguments={region}\nConnectionText=" << connection
            << "\nQueryText=SELECT Amount FROM Sales WHERE Region = '{region}'\n";
        std::filesystem::create_directory(folder.file("Log"));
        start();
        host::files::attachWorkbookStore(*app);
        telm::SharedState().ErrorReportingLevel = 2;
        book = app->workbooks().add();
        sheet = book->sheet(1);
        sheet->range("A1")->setFormula("=GETDATA(\"Amount\",\"Anna\")");
        sheet->range("A2")->setFormula("=GETDATAODBC(" + quote(connection) + "," + quote(odbcQuery("Adam")) + ",FALSE)");
        sheet->range("A3")->setFormula("=getdata(\"Amount\",\"Adam\")");
        sheet->range("B1")->setFormula("5");
        sheet->range("B2")->setFormula("=A1*2");
        sheet->range("C1")->select();
    }

    static std::string odbcQuery(const std::string& region) {
        return "SELECT Amount FROM Sales WHERE Region = '" + region + "'";
    }
    std::string key(const std::string& region) const { return "s(:)" + connection + "(:)" + odbcQuery(region); }
    Variant shown(const char* address) const { return sheet->range(address)->value(); }
    host::sheet::WorksheetPtr twin() const { return book->findSheet("Sheet1.a"); }
    Variant twinValue(const char* address) const { return twin()->range(address)->value(); }
    // The request recorded beside a twin cell, "" without a comment.
    std::string recorded(const char* address) const {
        auto comment = twin()->range(address)->comment();
        if (!comment) return "";
        std::string text = comment->text();
        return telm::DecodeSourceComment(text);
    }
    void setAmount(const std::string& region, double amount) {
        const std::string update =
            "UPDATE Sales SET Amount = " + std::to_string(amount) + " WHERE Region = '" + region + "'";
        runStatements(connection, {update.c_str()});
    }
    std::string log() const { return readFile(folder.file("Log/Archiwum.log")); }
    // The busy state of the archive is over and everything it changed is back.
    void expectIdle() const {
        EXPECT_FALSE(telm::SharedState().ArchiveOperationActive);
        EXPECT_FALSE(telm::SharedState().DescribeModeRequested);
        EXPECT_EQ(app->calculation(), host::sheet::CalculationMode::Automatic);
        EXPECT_EQ(app->statusBar(), Variant(false));
        EXPECT_TRUE(app->screenUpdating);
    }
    std::string messages() const {
        std::string all;
        for (const auto& d : dialogs.record()) all += d.title + ": " + d.prompt + "\n";
        return all;
    }
};

}  // namespace testsupport
