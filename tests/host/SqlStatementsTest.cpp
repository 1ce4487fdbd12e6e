// The statement guard reads a text the way each server will: a value put into a query may not add a
// statement in any server's reading, and a text that is one complete statement can be embedded.

#include <gtest/gtest.h>

#include <string>

#include "host/odbc/SqlStatements.h"

using namespace host::ado;

namespace {

std::string with(std::string model, const std::string& value) {
    model.replace(model.find("{A}"), 3, value);
    return model;
}

}  // namespace

TEST(SqlStatements, ValuesThatAddStatementsInSomeReading) {
    const std::string quoted = "SELECT * FROM t WHERE x = '{A}'";
    EXPECT_TRUE(addsStatements(quoted, with(quoted, "a'; DELETE FROM v; SELECT 2 WHERE '1'='1")));
    EXPECT_FALSE(addsStatements(quoted, with(quoted, "O'Brien")));
    EXPECT_FALSE(addsStatements(quoted, with(quoted, "a;b -- c /* d")));
    // A backslash escapes a quote for some servers and not for others.
    EXPECT_TRUE(addsStatements(quoted, with(quoted, "a\\'; DELETE FROM v; --")));
    EXPECT_TRUE(addsStatements(quoted, with(quoted, "a\\'; DELETE FROM v; SELECT '")));
    // Brackets quote for some servers and not for others.
    const std::string bare = "SELECT * FROM t WHERE x = {A}";
    EXPECT_TRUE(addsStatements(bare, with(bare, "b[; DELETE FROM v; ]")));
    EXPECT_TRUE(addsStatements("SELECT [{A}] FROM t", with("SELECT [{A}] FROM t", "]; DROP TABLE t; SELECT [")));
    // "--" starts a comment for some servers only.
    EXPECT_TRUE(addsStatements(bare, with(bare, "1 --;DELETE FROM v")));
    // The model's own statements, comments and an empty last statement add nothing.
    const std::string two = "SELECT 1; /* ; */ SELECT x FROM t WHERE y = '{A}'; -- end;";
    EXPECT_FALSE(addsStatements(two, with(two, "z")));
    EXPECT_FALSE(addsStatements(quoted + ";", quoted + ";;"));
    // A model of a comment alone gains a statement from a value even without a ';'.
    EXPECT_TRUE(addsStatements("-- {A}", "-- x\nDELETE FROM v"));
    EXPECT_TRUE(addsStatements("/* {A} */", "/* */ DELETE FROM v /* */"));
    EXPECT_TRUE(addsStatements("# {A}", "# x\nDELETE FROM v"));
}

TEST(SqlStatements, PostgresqlQuotingAndComments) {
    // Dollar quotes hide a quote from readers that know them and show one to readers that do not.
    const std::string two = "SELECT SUM(v) FROM s WHERE region = '{A}' AND year = {A}";
    const std::string changed =
        with(with(two, "North' AND $$'$$ <> '"), "2024; DELETE FROM victim; SELECT 1 WHERE $$'$$ = ''");
    EXPECT_TRUE(addsStatements(two, changed));
    EXPECT_TRUE(addsStatements(two, with(with(two, "x"), "1 AND $tag$'$tag$ = ''; DELETE FROM victim; --'")));
    // A parameter "$1" and a "$" inside a name open no quote; a number ends before one.
    EXPECT_FALSE(addsStatements("SELECT a$b FROM t WHERE x = {A}", "SELECT a$b FROM t WHERE x = $1"));
    EXPECT_TRUE(addsStatements("SELECT {A}", "SELECT 1$$'$$; DELETE FROM victim; SELECT '"));
    // E'...' lets a backslash escape the quote; a one-letter name E before a quote is no such string.
    const std::string e = "SELECT * FROM t WHERE x = E'{A}'";
    EXPECT_TRUE(addsStatements(e, with(e, "\\'; DELETE FROM victim; SELECT '")));
    EXPECT_FALSE(addsStatements(e, with(e, "it''s \\\\ fine; really")));
    // Nested comments: the first "*/" does not end the comment.
    const std::string comment = "SELECT 1 /* {A} */";
    EXPECT_TRUE(addsStatements(comment, with(comment, "/* */; DELETE FROM victim; /*")));
    EXPECT_FALSE(addsStatements(comment, with(comment, "/* nested */ still")));
    // Double-quoted names hide a ';'; a doubled quote stays inside.
    const std::string name = "SELECT \"{A}\" FROM t";
    EXPECT_FALSE(addsStatements(name, with(name, "a;b")));
    EXPECT_TRUE(addsStatements(name, with(name, "a\"\"\"; DELETE FROM victim; SELECT \"")));
    // MySQL runs what /*! ... */ holds, and "--x" is no comment there.
    EXPECT_TRUE(addsStatements(comment, with(comment, "/*!; DELETE FROM victim */")));
    // A carriage return ends a "--" comment for PostgreSQL.
    EXPECT_TRUE(addsStatements("SELECT 1 -- {A}", "SELECT 1 -- x\r; DELETE FROM victim"));
}

TEST(SqlStatements, SingleCompleteStatements) {
    for (const char* sql : {"SELECT 1", "SELECT a FROM t WHERE s = 'x;y' -- note\n", "SELECT (1 + (2)) /* x */",
                            "SELECT \"a;b\", 'it''s;' FROM t", "SELECT 1 /* /* */ */",
                            "INSERT INTO t VALUES ('2024/01/02', 5 - -1, 8 / 2), ('a-b', 1, 2)"})
        EXPECT_TRUE(isSingleCompleteStatement(sql)) << sql;
    for (const char* sql : {"", "  -- only\n", "SELECT 1;", "SELECT 1; SELECT 2", "SELECT 1 -- note", "SELECT 'a",
                            "INSERT INTO t VALUES ('a;b'), ('c'); DELETE FROM t", "SELECT \"a",
                            "SELECT 1 /* open", "SELECT (1", "SELECT 1) UNION SELECT (2", "SELECT $$a",
                            "SELECT E'\\'"})
        EXPECT_FALSE(isSingleCompleteStatement(sql)) << sql;
    // A ';' that some server reads outside quotes and comments is a doubt, and a doubt is no.
    for (const char* sql : {"SELECT 1 /* ; */", "SELECT $$;$$", "SELECT [a;b] FROM t", "SELECT E'\\';'"})
        EXPECT_FALSE(isSingleCompleteStatement(sql)) << sql;
}

TEST(SqlStatements, ValuesStayInTheirPlace) {
    const std::string like = "FROM K WHERE C like '{konto}%'";
    const std::size_t at = like.find("{konto}");
    EXPECT_TRUE(staysInPlace(like, at, "201%"));
    EXPECT_TRUE(staysInPlace(like, at, "4 0_1 ; -- x"));
    EXPECT_FALSE(staysInPlace(like, at, "201') AS a; DELETE FROM ks; SELECT ('"));
    EXPECT_FALSE(staysInPlace(like, at, "9' OR (SELECT x FROM secret) BETWEEN 5 AND 9 OR 'a'='b"));
    EXPECT_FALSE(staysInPlace(like, at, "9\\"));
    // Outside a literal only a name or a number fits.
    const std::string bare = "FROM K WHERE C = {konto}";
    EXPECT_TRUE(staysInPlace(bare, bare.find("{konto}"), "201"));
    EXPECT_TRUE(staysInPlace(bare, bare.find("{konto}"), "Kwota_zł"));
    EXPECT_FALSE(staysInPlace(bare, bare.find("{konto}"), "201 OR 1=1"));
    EXPECT_FALSE(staysInPlace(bare, bare.find("{konto}"), ""));
    // A place some server reads outside the literal counts as outside.
    const std::string dollar = "FROM K WHERE C = $$'$$ || '{konto}'";
    EXPECT_FALSE(staysInPlace(dollar, dollar.find("{konto}"), "a b"));
}
