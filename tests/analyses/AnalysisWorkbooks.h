#pragma once
// The started add-in with a data model of one ODBC variable over a SQLite database, and workbook
// files of GETDATA cells saved in the add-in folder.

#include <filesystem>
#include <fstream>
#include <string>

#include "core/A_Deklaracje.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "support/SqlCells.h"

namespace testsupport {

struct AnalysisWorkbooks : AddInHost {
    std::string database = folder.file("sales.db");
    std::string connection = "Driver={SQLite3};Database=" + database + ";";

    AnalysisWorkbooks() {
        runStatements(connection, {"CREATE TABLE Sales (Region TEXT, Amount REAL)",
                                   "INSERT INTO Sales VALUES ('Anna', 10.5)", "INSERT INTO Sales VALUES ('Adam', 7)"});
        std::ofstream(folder.file("DataModel.par"))
            << "[Measure Amount]\nType=ODBC\nGetDataArguments={region}\nConnectionText=" << connection
            << "\nQueryText=SELECT Amount FROM Sales WHERE Region = '{region}'\n";
        start();
        host::files::attachWorkbookStore(*app);
    }

    // A workbook file whose A1 fetches the region's amount and whose A2 doubles it.
    std::string saveBook(const std::string& name, const std::string& region) {
        auto book = app->workbooks().add();
        book->sheet(1)->range("A1")->setFormula("=GETDATA(\"Amount\",\"" + region + "\")");
        book->sheet(1)->range("A2")->setFormula("=A1*2");
        const std::string path = folder.file(name);
        book->saveAs(path);
        return path;
    }
    void setAmount(const std::string& region, double amount) {
        const std::string update =
            "UPDATE Sales SET Amount = " + std::to_string(amount) + " WHERE Region = '" + region + "'";
        runStatements(connection, {update.c_str()});
    }
    host::sheet::WorkbookPtr book(const std::string& name) const { return app->workbooks().find(name); }
    host::Variant value(const std::string& bookName, const char* address) const {
        return book(bookName)->sheet(1)->range(address)->value();
    }
    // A cell of a workbook file as another program reads it.
    static host::Variant fileValue(const std::string& path, const char* address, int sheet = 1) {
        auto reader = host::sheet::Application::create();
        host::files::attachWorkbookStore(*reader);
        return reader->workbooks().open(path)->sheet(sheet)->range(address)->value();
    }
    std::string messages() const {
        std::string all;
        for (const auto& d : dialogs.record()) all += d.title + ": " + d.prompt + "\n";
        return all;
    }
    void expectIdle() const {
        EXPECT_EQ(app->calculation(), host::sheet::CalculationMode::Automatic);
        EXPECT_EQ(app->statusBar(), host::Variant(false));
        EXPECT_TRUE(app->screenUpdating);
    }
};

}  // namespace testsupport
