#include <gtest/gtest.h>

#include "core/A_Deklaracje.h"
#include "data/clsF000.h"
#include "host/ado/Errors.h"
#include "support/SqlCells.h"

using host::Array;
using host::Variant;
using telm::SharedState;
using testsupport::quote;

namespace {

// The add-in on a sheet, with the throwaway PostgreSQL server of the test script.
struct PostgresCells : testsupport::SqlCells {
    testsupport::PostgresServer pg;
    std::string bare;  // the server's connection text without credentials
    explicit PostgresCells(const testsupport::PostgresServer& server) : pg(server), bare(server.connection()) {
        SharedState().ErrorReportingLevel = 2;
    }
    // The cells are volatile: every query goes to one cell so that no other cell asks again.
    Variant query(const std::string& connectionText, const std::string& sql) {
        return formula("A1", "=GETDATAODBC(" + quote(connectionText) + "," + quote(sql) + ",FALSE)");
    }
    std::size_t dialogsShown() const { return dialogs.record().size(); }
    std::string cacheEntry(const std::string& password) const { return bare + "(:)" + pg.user + "(::)" + password; }
};

#define REQUIRE_POSTGRES()                                                                  \
    const auto server = testsupport::postgresServer();                                      \
    if (!server) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";          \
    PostgresCells t(*server)

}  // namespace

TEST(Login, RefusedLoginAsksOnceThenUsesTheCache) {
    REQUIRE_POSTGRES();
    t.dialogs.answerInput(t.pg.user).answerInput(t.pg.password);
    EXPECT_EQ(t.query(t.bare, "SELECT 40 + 2"), Variant(42.0));
    ASSERT_EQ(t.dialogsShown(), 2u);
    const auto& user = t.dialogs.record()[0];
    EXPECT_EQ(user.title, "TELM.NET - Login");
    EXPECT_NE(user.prompt.find("Authorisation is required."), std::string::npos);
    EXPECT_NE(user.prompt.find(t.bare), std::string::npos);
    EXPECT_NE(user.prompt.find("User name:"), std::string::npos);
    EXPECT_NE(t.dialogs.record()[1].prompt.find("Password:"), std::string::npos);
    const Array& cache = SharedState().AuthorisationTable.arrayValue();
    ASSERT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache(0), Variant(t.cacheEntry(t.pg.password)));

    EXPECT_EQ(t.query(t.bare, "SELECT 43"), Variant(43.0));
    EXPECT_EQ(t.dialogsShown(), 2u);  // the cache answered
    EXPECT_EQ(SharedState().AuthorisationTable.arrayValue().size(), 1u);

    // A text differing only in letter case is another connection: the dialog comes again.
    std::string otherCase = t.bare;
    otherCase.replace(otherCase.find("Server="), 7, "SERVER=");
    const std::string cancelled = t.query(otherCase, "SELECT 1").toString();
    EXPECT_EQ(t.dialogsShown(), 3u);
    EXPECT_NE(cancelled.find("no password supplied"), std::string::npos) << cancelled;
    EXPECT_NE(cancelled.find(" / Err: " + otherCase), std::string::npos);
}

TEST(Login, WrongPasswordTypedTwiceThenRight) {
    REQUIRE_POSTGRES();
    t.dialogs.answerInput(t.pg.user).answerInput("wrong").answerInput(t.pg.user).answerInput("still wrong");
    t.dialogs.answerInput(t.pg.user).answerInput(t.pg.password);
    EXPECT_EQ(t.query(t.bare, "SELECT 7"), Variant(7.0));
    EXPECT_EQ(t.dialogsShown(), 6u);
    EXPECT_EQ(SharedState().AuthorisationTable.arrayValue()(0), Variant(t.cacheEntry(t.pg.password)));
}

TEST(Login, EmptyAnswerCancels) {
    REQUIRE_POSTGRES();
    t.dialogs.answerInput("");
    const std::string noUser = t.query(t.bare, "SELECT 1").toString();
    EXPECT_EQ(t.dialogsShown(), 1u);
    EXPECT_EQ(noUser.rfind("#[PostgreSQL Unicode]", 0), 0u) << noUser;
    EXPECT_NE(noUser.find("no password supplied / Err: " + t.bare), std::string::npos) << noUser;

    t.dialogs.answerInput(t.pg.user).answerInput("wrong").answerInput(t.pg.user).answerInput("");
    const std::string noPassword = t.query(t.bare, "SELECT 1").toString();
    EXPECT_EQ(t.dialogsShown(), 5u);
    EXPECT_NE(noPassword.find("password authentication failed"), std::string::npos) << noPassword;
    SharedState().ErrorReportingLevel = 1;
    t.dialogs.cancelInput();
    EXPECT_EQ(t.query(t.bare, "SELECT 1"), Variant(0.0));
}

TEST(Login, LaterCacheEntryWins) {
    REQUIRE_POSTGRES();
    SharedState().AuthorisationTable =
        Array::vector({Variant(t.cacheEntry("wrong")), Variant(t.cacheEntry(t.pg.password))});
    EXPECT_EQ(t.query(t.bare, "SELECT 5"), Variant(5.0));
    EXPECT_EQ(t.dialogsShown(), 0u);
    SharedState().AuthorisationTable =
        Array::vector({Variant(t.cacheEntry(t.pg.password)), Variant(t.cacheEntry("wrong"))});
    t.dialogs.cancelInput();
    const std::string refused = t.query(t.bare, "SELECT 5").toString();
    EXPECT_EQ(t.dialogsShown(), 1u);
    EXPECT_NE(refused.find("password authentication failed"), std::string::npos) << refused;
}

TEST(Login, ServerTimeOut) {
    REQUIRE_POSTGRES();
    // The statement sets the server's time-out of the session before it sleeps.
    const std::string timed = t.pg.connection("UID=" + t.pg.user + ";PWD=" + t.pg.password + ";");
    const std::string sleep = "SET statement_timeout = 200; SELECT pg_sleep(3)";
    SharedState().ErrorReportingLevel = 2;  // level 2 shows the text in the cell, and the box too
    const std::string text = t.query(timed, sleep).toString();
    EXPECT_NE(text.find("statement timeout;"), std::string::npos) << text;
    EXPECT_NE(text.find(" / Err: " + sleep), std::string::npos) << text;
    ASSERT_EQ(t.dialogsShown(), 1u);
    SharedState().ErrorReportingLevel = 1;
    SharedState().ServiceDirectCall = false;  // no box while the services run their batches
    SharedState().ServicesOff = true;
    EXPECT_EQ(t.query(timed, sleep), Variant(0.0));
    ASSERT_EQ(t.dialogsShown(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, "TimeOut Error");
}

TEST(Login, OnlyRefusalsOfNamedServersOpenTheDialog) {
    using telm::IsRefusedLoginOfKnownServer;
    EXPECT_TRUE(IsRefusedLoginOfKnownServer(host::ado::kDriverError, "[MySQL][ODBC 8.0 Driver]Access denied"));
    EXPECT_TRUE(IsRefusedLoginOfKnownServer(host::ado::kLoginRefused, "[Microsoft][SQL Server]Login failed"));
    EXPECT_TRUE(IsRefusedLoginOfKnownServer(host::ado::kLoginRefused, "ORA-01017 [oracle] invalid logon"));
    EXPECT_TRUE(IsRefusedLoginOfKnownServer(host::ado::kLoginRefused, "[PostgreSQL Unicode]password authentication failed"));
    EXPECT_FALSE(IsRefusedLoginOfKnownServer(host::ado::kLoginRefused, "[SQLite]access denied"));
    EXPECT_FALSE(IsRefusedLoginOfKnownServer(host::ado::kDriverError, "[PostgreSQL Unicode]could not connect"));
    EXPECT_FALSE(IsRefusedLoginOfKnownServer(host::ado::kTimedOut, "[SQL Server]Query timeout expired"));
}
