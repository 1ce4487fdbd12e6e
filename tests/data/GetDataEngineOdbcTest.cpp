// The GETDATA engine end to end over ODBC variables of a data model: the engine, the ADO worker, the
// data primitive and the archive, from cell formulas, over a SQLite file and the PostgreSQL server.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "core/A_Deklaracje.h"
#include "data/F_Dane.h"
#include "data/P_Archiwum.h"
#include "host/sheet/Comment.h"
#include "support/SqlCells.h"

using host::Variant;
using telm::SharedState;

namespace {

constexpr const char* kVictimValue = "a'; DELETE FROM victim; SELECT 2 WHERE '1'='1";

// A data model over the add-in folder's SQLite database of SqlCells (table Sales) and table victim.
struct ModelCells : testsupport::SqlCells {
    explicit ModelCells(const std::string& extraVariables = {}) {
        testsupport::runStatements(connection, {"CREATE TABLE victim (name TEXT)", "INSERT INTO victim VALUES ('x')"});
        std::ofstream(folder.file("DataModel.par"))
            << "[Measure Amount]\nType=odbc\nGetDataArguments={Region}\n"
               "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\\sales.db;\n"
               "QueryText=SELECT Amount FROM Sales WHERE Region = '{region}'\n"
               "[Measure Coded]\nType=ODBC\nGetDataArguments={Code}\n"
               "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\\sales.db;\n"
               "QueryText=SELECT Region FROM Sales WHERE Code = {Code}[ValueFormat=0]\n"
               "[Measure Dated]\nType=ODBC\nGetDataArguments={D}\n"
               "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\\sales.db;\n"
               "QueryText=SELECT COUNT(*) FROM Sales WHERE '{D}[ValueFormat=yyyy-mm-dd]' > '2000'\n"
            << extraVariables;
        telm::LoadDataModel(false);
    }
    std::string description(const std::string& query) const {
        return "s(:)Driver={SQLite3};Database=" + folder.string() + "\\sales.db;(:)" + query;
    }
    long victims() {
        host::ado::Connection c;
        c.open(connection);
        host::ado::Recordset r;
        r.open("SELECT COUNT(*) FROM victim", c);
        return r.getRows().arrayValue()(0, 0).toLong();
    }
};

}  // namespace

TEST(GetDataEngineOdbc, EngineWorkerPrimitiveAndArchive) {
    ModelCells t;
    // The type in small letters selects the ADO worker; the argument names in any letter case.
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Amount\",\"Anna\")"), Variant(10.5));
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Coded\",\"21\")"), Variant("Bartek"));  // a number held as text
    // ":" as the last argument: the request's description, and no query.
    const std::string query = "SELECT Amount FROM Sales WHERE Region = 'Anna'";
    t.sheet->range("B1")->setValue(":");
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"Amount\",\"Anna\",B1)"), Variant(t.description(query)));
    EXPECT_FALSE(SharedState().DescribeModeActive);
    // The archive answers for its own request and refuses another.
    auto twin = t.sheet->parent()->addSheet(nullptr, t.sheet, t.sheet->name() + ".a");
    std::string comment = t.description(query);
    twin->range("A4")->setValue(99.0);
    twin->range("A4")->addComment(telm::EncodeSourceComment(comment) + "\n\nstamp");
    twin->range("A5")->setValue(99.0);
    twin->range("A5")->addComment(comment + "\n\nstamp");
    EXPECT_EQ(t.formula("A4", "=GETDATA(\"Amount\",\"Anna\")"), Variant(99.0));
    EXPECT_EQ(t.formula("A5", "=GETDATA(\"Amount\",\"Adam\")"), Variant("#Arch!"));
    EXPECT_GT(SharedState().ArchiveHitCount, 0);
}

TEST(GetDataEngineOdbc, ACellArgumentAddsNoStatement) {
    ModelCells t;
    t.sheet->range("B1")->setValue(kVictimValue);
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Amount\",B1)"), Variant("#Unexpected error"));
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Amount\",B1)"), Variant(0.0));
    EXPECT_EQ(t.victims(), 1);
    // A quote inside a value that adds no statement still reaches the database.
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"Amount\",\"O'Brien\")"), Variant(0.0));
}

TEST(GetDataEngineOdbc, ValueFormatTokensFormatAsTextDoes) {
    ModelCells t;
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Coded\",21)"), Variant("Bartek"));
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Dated\",45000)"), Variant(3.0));
    // A value TEXT rejects takes the level rule: nothing of it reaches the query.
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"Dated\",-1)"), Variant("#Unexpected error"));
    // An error value is no text: the entry answers the runtime's description.
    EXPECT_EQ(t.formula("A4", "=GETDATA(\"Coded\",NA())"), Variant("Type mismatch"));
}

TEST(GetDataEngineOdbc, StackedStatementsOverPostgres) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    const std::string server = pg->connection("UID=" + pg->user + ";PWD=" + pg->password + ";");
    testsupport::runStatements(server, {"DROP TABLE IF EXISTS victim", "CREATE TABLE victim (name TEXT)",
                                        "INSERT INTO victim VALUES ('x')"});
    ModelCells t("[Measure Pg]\nType=ODBC\nGetDataArguments={A}\nConnectionText=" + server +
                 "\nQueryText=SELECT COUNT(*) FROM victim WHERE name <> '{A}'\n"
                 "[Measure Two]\nType=ODBC\nGetDataArguments={A}\nConnectionText=" + server +
                 "\nQueryText=SELECT COUNT(*) FROM victim WHERE name <> '{A}'; SELECT 1\n");
    t.sheet->range("B1")->setValue(kVictimValue);
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Pg\",B1)"), Variant(0.0));
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Pg\",\"y\")"), Variant(1.0));  // the victim table is intact
    // A model query of two statements runs as its author wrote it.
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"Two\",\"y\")"), Variant(1.0));
    EXPECT_EQ(t.formula("A4", "=GETDATA(\"Two\",B1)"), Variant(0.0));
    EXPECT_EQ(t.formula("A5", "=GETDATA(\"Pg\",\"y\")"), Variant(1.0));
    // GETDATAODBC's SQL is typed whole by its author and runs as written.
    EXPECT_EQ(t.formula("A6", "=GETDATAODBC(" + testsupport::quote(server) +
                                  ",\"SELECT COUNT(*) FROM victim; SELECT 5\",FALSE)"),
              Variant(1.0));
}

namespace {

// Runs `work` in a child process whose address space may grow by at most 3 GB, and gives what it
// wrote to its output; "died" when it did not end normally.
std::string underAddressLimit(const std::function<std::string()>& work) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::ifstream status("/proc/self/status");
        long long usedKb = 0;
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmSize:", 0) == 0) usedKb = std::stoll(line.substr(7));
        const rlim_t limit = static_cast<rlim_t>(usedKb) * 1024 + 3ull * 1024 * 1024 * 1024;
        const rlimit bounded{limit, limit};
        ::setrlimit(RLIMIT_AS, &bounded);
        const std::string out = work();
        [[maybe_unused]] const auto written = ::write(pipeEnds[1], out.data(), out.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : "died";
}

std::string shown(const Variant& v) { return v.isString() ? v.stringValue() : host::formatDouble(v.toDouble()); }

}  // namespace

TEST(GetDataEngineOdbc, ATokenThatDoublesTheQueryEndsWithTheLevelRule) {
    std::string manyTokens;
    for (int i = 0; i < 200'000; ++i) manyTokens += "{A}";
    ModelCells t("[Measure Twice]\nType=ODBC\nGetDataArguments={A}\n"
                 "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\\sales.db;\n"
                 "QueryText=SELECT '{A}[ValueFormat=@]'\n"
                 "[Measure Many]\nType=ODBC\nGetDataArguments={A}\n"
                 "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\\sales.db;\n"
                 "QueryText=SELECT '" + manyTokens + "'\n");
    t.sheet->range("B1")->setValue("{A}[ValueFormat=@]{A}[ValueFormat=@]");
    t.sheet->range("B2")->setValue(std::string(32767, 'x'));
    const std::string out = underAddressLimit([&] {
        std::string results;
        for (const char* level : {"1", "2"}) {
            SharedState().ErrorReportingLevel = std::stoi(level);
            results += shown(t.formula("A1", "=GETDATA(\"Twice\",B1,\":\")")) + "|";
        }
        // A long value for a name the query holds many times.
        results += shown(t.formula("A3", "=GETDATA(\"Many\",B2)")) + "|";
        // Describe mode ended with the failed call: the next call answers its value.
        results += shown(t.odbc("SELECT Amount FROM Sales WHERE Code = 1", "FALSE", "A2"));
        return results;
    });
    EXPECT_EQ(out, "0|#Unexpected error|#Unexpected error|10.5");
    EXPECT_FALSE(SharedState().DescribeModeActive);
}
