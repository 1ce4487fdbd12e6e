// The error-reporting level, set through its command, decides what a failing GETDATA cell shows:
// 0 at level 1, the failure's text at level 2, and at level 3 the time-out's message goes to
// "Errors.log" instead of a box.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "host/ui/Dialogs.h"
#include "support/SqlCells.h"

using host::Variant;

namespace {

struct ErrorLevel : testsupport::SqlCells {
    // Loads a data model of one variable `Amount` over the sales database and one more variable.
    void loadModel(const std::string& more) {
        std::ofstream(folder.file("DataModel.par"))
            << "[Measure Amount]\nType=ODBC\nGetDataArguments={k}\n"
               "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]/sales.db;\n"
               "QueryText=SELECT Amount FROM Sales WHERE Code = {k}\n"
            << more;
        app->run("RefreshDataModel");
        dialogs.reset();
    }
    void setLevelByCommand(const std::string& level) {
        dialogs.answerInput(level);
        app->run("SwithErrorReportingLevel");
        ASSERT_EQ(telm::SharedState().ErrorReportingLevel, std::stoi(level));
    }
    std::string errorLog() const {
        std::ifstream in(folder.file("Errors.log"), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

}  // namespace

TEST(ErrorReportingLevel, FailingGetDataCellAtLevelsOneAndTwo) {
    ErrorLevel t;
    t.loadModel("[Measure Broken]\nType=ODBC\nGetDataArguments={k}\n"
                "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]/sales.db;\n"
                "QueryText=SELECT Amount FROM NoSuchTable WHERE Code = {k}\n");
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Amount\",1)"), Variant(10.5));

    t.setLevelByCommand("1");
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Broken\",1)"), Variant(0.0));
    t.setLevelByCommand("2");
    t.sheet->calculate();
    const Variant shown = t.sheet->range("A2")->value();
    ASSERT_TRUE(shown.isString()) << shown.toString();
    EXPECT_NE(shown.stringValue().find("no such table: NoSuchTable"), std::string::npos) << shown.stringValue();
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(10.5));
    t.setLevelByCommand("0");
    t.sheet->calculate();
    EXPECT_EQ(t.sheet->range("A2")->value(), Variant(0.0));
    EXPECT_EQ(t.dialogs.record().size(), 3u);  // the three questions, no message
}

TEST(ErrorReportingLevel, LevelThreeWritesTheTimeOutIntoTheErrorLog) {
    const auto server = testsupport::postgresServer();
    if (!server) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    ErrorLevel t;
    t.loadModel("[Measure Sleep]\nType=ODBC\nGetDataArguments={s}\nConnectionText=" +
                server->connection("UID=" + server->user + ";PWD=" + server->password + ";") +
                "\nQueryText=SET statement_timeout = 200; SELECT pg_sleep({s})\n");
    t.setLevelByCommand("3");
    t.formula("A1", "=GETDATA(\"Sleep\",3)");
    EXPECT_EQ(t.dialogs.record().size(), 1u);  // only the question of the level
    const std::string log = t.errorLog();
    EXPECT_NE(log.find(" - ,0,TimeOut Error\"\r\n"), std::string::npos) << log;

    t.setLevelByCommand("1");
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Sleep\",3)"), Variant(0.0));
    EXPECT_EQ(t.errorLog(), log);
    EXPECT_EQ(t.dialogs.record().back().prompt, "TimeOut Error");
}
