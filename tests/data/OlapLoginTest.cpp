// Cube cells on a password-protected server: OLAP2's "Prompt=1" opens the login dialog, the answer
// is kept per server for the session, and one server's login never reaches another.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "data/OlapCells.h"
#include "host/ado/Connection.h"
#include "host/base/Text.h"

using host::Variant;
using telm::SharedState;

namespace {

constexpr const char* kModel = R"([Measure Ledger]
Type=OLAP2
GetDataArguments=Expr
AddString=[
ConnectionText=TelmCubeLoginA,{schema},[Konta]
QueryText=Expr,[a02].&[]
[Measure LedgerB]
Type=OLAP2
GetDataArguments=Expr
AddString=[
ConnectionText=TelmCubeLoginB,{schema},[Konta]
QueryText=Expr,[a02].&[]
)";

// A two-position account cube in a schema of the server, reached through data sources A and B that
// carry no credentials; its SELECT (with the server's "%") goes to the server as written.
struct ServerCube {
    testsupport::PostgresServer pg;
    std::string schema = "cube_login_" + std::to_string(::getpid());
    std::string source;

    explicit ServerCube(const testsupport::PostgresServer& server)
        : pg(server), source(server.connection("UID=" + server.user + ";PWD=" + server.password + ";")) {
        for (const char* dsn : {"TelmCubeLoginA", "TelmCubeLoginB"})
            testsupport::addDataSource(dsn, {"Driver=PostgreSQL Unicode", "Servername=" + pg.host, "Port=" + pg.port,
                                             "Database=" + pg.database});
        testsupport::runStatements(source, {("CREATE SCHEMA " + schema).c_str(),
                                            ("CREATE TABLE " + schema + ".ks (konto TEXT, wn REAL)").c_str(),
                                            ("INSERT INTO " + schema + ".ks VALUES ('1', 10), ('2', 20), ('3', 40)").c_str()});
        host::ado::Connection build;
        build.open("Provider=MSOLAP;Data Source=TelmCubeLoginA;Initial Catalog=" + schema + ";User ID=" + pg.user +
                   ";Password=" + pg.password + ";SOURCE_DSN=\"" + source +
                   "\";CREATECUBE=CREATE CUBE [Konta] (DIMENSION [a01], LEVEL [z01], DIMENSION [a02], LEVEL [z02], "
                   "MEASURE [Wn] FUNCTION SUM);INSERTINTO=INSERT INTO [Konta] ([a01].[z01], [a02].[z02], [Measures].[Wn]) "
                   "SELECT substr(konto, 1, 1), substr(konto, 2, 1), wn + length(konto) % 1 FROM " + schema + ".ks");
    }
    ~ServerCube() { testsupport::runStatements(source, {("DROP SCHEMA " + schema + " CASCADE").c_str()}); }
};

struct LoginCells : testsupport::OlapCells {
    explicit LoginCells(const std::string& schema) : OlapCells(host::Replace(kModel, "{schema}", schema)) {
        SharedState().ErrorReportingLevel = 2;
    }
    // The cells are volatile: a later cell recalculates the earlier ones (through the kept login).
    std::size_t dialogsShown() const { return dialogs.record().size(); }
};

}  // namespace

TEST(OlapLogin, PromptAsksOncePerServerAndKeepsTheAnswer) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    ServerCube server(*pg);
    LoginCells t(server.schema);

    t.dialogs.answerInput(pg->user).answerInput(pg->password);
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Ledger\",\"Wn/1\")"), Variant(10.0));
    ASSERT_EQ(t.dialogsShown(), 2u);
    EXPECT_NE(t.dialogs.record()[0].prompt.find("Authorisation is required."), std::string::npos);
    EXPECT_NE(t.dialogs.record()[0].prompt.find("TelmCubeLoginA"), std::string::npos);
    // A second cell of the same server asks nothing.
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Ledger\",\"Wn/2>3\")"), Variant(60.0));
    EXPECT_EQ(t.dialogsShown(), 2u);

    // Server B gets its own dialog: A's login is not sent there. A wrong password is asked again.
    t.dialogs.answerInput(pg->user).answerInput("wrong").answerInput(pg->user).answerInput(pg->password);
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"LedgerB\",\"Wn/3\")"), Variant(40.0));
    EXPECT_EQ(t.dialogsShown(), 6u);
    EXPECT_EQ(t.formula("A4", "=GETDATA(\"LedgerB\",\"Wn/1\")"), Variant(10.0));
    EXPECT_EQ(t.formula("A5", "=GETDATA(\"Ledger\",\"Wn/3\")"), Variant(40.0));
    EXPECT_EQ(t.dialogsShown(), 6u);
}

TEST(OlapLogin, AnEmptyAnswerLeavesTheRefusal) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    ServerCube server(*pg);
    LoginCells t(server.schema);
    t.dialogs.answerInput("");
    const std::string refused = t.formula("A1", "=GETDATA(\"Ledger\",\"Wn/1\")").toString();
    EXPECT_NE(refused.find("no password supplied"), std::string::npos) << refused;
    SharedState().ErrorReportingLevel = 1;
    t.dialogs.cancelInput();
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Ledger\",\"Wn/1\")"), Variant(0.0));
    EXPECT_EQ(t.dialogsShown(), 2u);
}
