// Random workbooks of several hundred data cells over two SQLite files and the PostgreSQL server,
// calculated with the services off and then on: cell by cell the values agree, but for the answers
// that a batch gives by design, and homogeneous requests still share their statements.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <random>

#include "core/A_Deklaracje.h"
#include "support/ServiceWorkbooks.h"
#include "support/SqliteHooks.h"

using host::Variant;
using testsupport::quote;

namespace {

// What a request's statement returns, which decides how its two answers may differ.
enum class Shape { Value, Rows, OneRowOfFields, RowsOfFields };

struct Request {
    std::string formula;
    Shape shape = Shape::Value;
};

// Rows shared by every database: k, a number (whole, with many digits, NULL, 0) and a text (quotes,
// Unicode, ".", digits, NULL).
const char* const kRows[] = {
    "(1, 10, 'Ala')",         "(2, 0.1, 'O''Neil')",       "(3, NULL, 'Żółw ✓')",  "(4, 100000000000045.5, '.')",
    "(5, -3.25, '012')",      "(6, 0, NULL)",              "(7, 7, 'x\"y')",       "(8, 123456789.125, 'a''b''c')",
    "(9, 9, 'Ćma')",          "(10, 2.5, 'tab\tend')",     "(11, 11, '')",         "(12, 1e-7, 'UNION')",
};

struct Differential : ::testing::Test, testsupport::ServiceWorkbooks {
    std::vector<std::string> connections;
    std::vector<std::string> tables;  // the data table of each connection
    std::optional<testsupport::PostgresServer> server = testsupport::postgresServer();
    std::string pgTable = "diff_" + std::to_string(::getpid());
    std::mt19937 random{20261207};

    Differential() {
        for (const char* file : {"a.db", "b.db"}) {
            std::ofstream(folder.file(file)).close();  // connections open existing database files only
            const std::string c = "Driver={SQLite3};Database=" + folder.file(file) + ";";
            std::vector<std::string> setup = {"CREATE TABLE DiffData (k INTEGER, n REAL, s TEXT)"};
            for (const char* row : kRows) setup.push_back(std::string("INSERT INTO DiffData VALUES ") + row);
            testsupport::runStatements(c, setup);
            connections.push_back(c);
            tables.push_back("DiffData");
        }
        if (server) {
            const std::string c = server->connection("UID=" + server->user + ";PWD=" + server->password + ";");
            std::vector<std::string> setup = {"CREATE TABLE " + pgTable + " (k int, n float8, s text)"};
            for (const char* row : kRows) setup.push_back("INSERT INTO " + pgTable + " VALUES " + row);
            testsupport::runStatements(c, setup);
            connections.push_back(c);
            tables.push_back(pgTable);
        }
    }
    ~Differential() override {
        if (server) testsupport::runStatements(connections.back(), {"DROP TABLE " + pgTable});
    }

    int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); }
    std::string key() { return std::to_string(pick(1, 12)); }

    // A random request of one connection.
    Request request(std::size_t c) {
        const std::string& t = tables[c];
        auto odbc = [&](const std::string& sql, Shape shape = Shape::Value) {
            return Request{"=GETDATAODBC(" + quote(connections[c]) + "," + quote(sql) + ",FALSE)", shape};
        };
        const std::string column = pick(0, 1) ? "n" : "s";
        switch (pick(0, 9)) {
        case 0: return odbc("SELECT " + column + " FROM " + t + " WHERE k = 99");
        case 1: return odbc("SELECT " + column + " FROM " + t + " WHERE k IN (" + key() + ", " + key() + ")", Shape::Rows);
        case 2: return odbc("SELECT " + column + " FROM " + t + " WHERE k >= " + key() + " ORDER BY k DESC LIMIT 1");
        case 3: return odbc("SELECT " + column + " FROM " + t + " WHERE k = " + key() + " UNION SELECT " + column +
                                " FROM " + t + " WHERE k = " + key(),
                            Shape::Rows);
        case 4: return odbc("SELECT s, n FROM " + t + " WHERE k = " + key(), Shape::OneRowOfFields);
        case 5: {
            const int below = pick(2, 6);
            return odbc("SELECT s, n FROM " + t + " WHERE k < " + std::to_string(below),
                        below == 2 ? Shape::OneRowOfFields : Shape::RowsOfFields);
        }
        case 6: return odbc("SELECT k FROM " + t + " WHERE s = 'O''Neil' OR s = 'Żółw ✓'", Shape::Rows);
        case 7: return odbc("SELECT " + column + " FROM " + t + " WHERE k = " + key() + " -- the last one\n");
        default: return odbc("SELECT " + column + " FROM " + t + " WHERE k = " + key());
        }
    }
};

// Whether the two answers of a request agree, or differ only as a batch answers by design.
bool agree(const Variant& off, const Variant& on, Shape shape) {
    if (on == off) return true;
    // Services off, one cell cannot hold several values: "."; a batch gives the first value of one row
    // of several fields, and ">>" with the statement's position for several rows of several fields.
    if (off == Variant(".") && shape == Shape::OneRowOfFields) return true;
    if (off == Variant(".") && shape == Shape::RowsOfFields)
        return on.isString() && on.stringValue().starts_with(">>");
    // Several rows of one field whose first value is ".": 0 alone (a "." value reads as 0), "." in a batch.
    if (shape == Shape::Rows && on == Variant(".")) return off.isNumber() && off.toDouble() == 0;
    return false;
}

}  // namespace

TEST_F(Differential, ServicesOnAgreeWithServicesOffCellByCell) {
    startWithModel("PARAMETERS=X=1\n[Measure Number]\nType=ODBC\nGetDataArguments={k}\nConnectionText=" +
                   connections[0] + "\nQueryText=SELECT n FROM DiffData WHERE k = {k}\n");
    std::vector<std::vector<Request>> columns(6);
    for (int i = 0; i < 360; ++i) {
        const std::size_t c = static_cast<std::size_t>(pick(0, static_cast<int>(connections.size()) - 1));
        columns[static_cast<std::size_t>(i) % columns.size()].push_back(
            pick(0, 7) == 0 ? Request{"=GETDATA(\"Number\"," + key() + ")"} : request(c));
    }
    auto formulas = [&](std::size_t c) {
        std::vector<std::string> out;
        for (const Request& r : columns[c]) out.push_back(r.formula);
        return out;
    };
    // Manual calculation while the workbooks are written and opened: the commands calculate them.
    app->setCalculation(host::sheet::CalculationMode::Manual);
    report("Random1.xlsx", {formulas(0), formulas(1), formulas(2)});
    report("Random2.xlsx", {formulas(3), formulas(4), formulas(5)});
    // The shapes in the order of formulaCells: book by book, row by row.
    std::vector<Shape> shapes;
    for (std::size_t book = 0; book < 2; ++book)
        for (std::size_t row = 0; row < columns[0].size(); ++row)
            for (std::size_t col = 0; col < 3; ++col) shapes.push_back(columns[book * 3 + col][row].shape);
    const auto cells = formulaCells();
    ASSERT_EQ(cells.size(), shapes.size());

    command("CalculateAll2");
    const auto off = valuesOf(cells);
    command("SetServicesOn");
    command("CalculateAll2");
    const auto on = valuesOf(cells);
    int differences = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (on[i] != off[i]) ++differences;
        EXPECT_TRUE(agree(off[i], on[i], shapes[i]))
            << cells[i]->parent()->parent()->name() << "!" << cells[i]->address() << " " << cells[i]->formula().toString()
            << "\n off: " << ::testing::PrintToString(off[i]) << "\n on:  " << ::testing::PrintToString(on[i]);
    }
    EXPECT_GT(differences, 0);  // the prescribed differences did occur
}

TEST_F(Differential, HomogeneousRequestsShareTheirStatements) {
    startWithModel("PARAMETERS=X=1\n");
    auto& statements = testsupport::StatementCounter::instance();
    statements.watch("DiffData");
    std::vector<std::string> cells;
    for (int i = 0; i < 120; ++i)
        cells.push_back("=GETDATAODBC(" + quote(connections[0]) + "," +
                        quote("SELECT n FROM DiffData WHERE k = " + std::to_string(1 + i % 12) + " AND " +
                              std::to_string(i) + " = " + std::to_string(i)) +
                        ",FALSE)");
    report("Homogeneous.xlsx", {cells});
    command("SetServicesOn");
    statements.reset();
    statusTexts.clear();
    command("CalculateAll2");
    // 120 statements of about 50 characters in batches of at most 2000: a few statements, no more.
    EXPECT_EQ(statements.count(), adoBatches());
    EXPECT_LE(adoBatches(), 4);
}
