#include <gtest/gtest.h>

#include "host/ado/Connection.h"
#include "host/ado/ConnectionText.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "support/Errors.h"
#include "support/Odbc.h"
#include "support/TempFolder.h"

using namespace host::ado;
using host::Variant;
using testsupport::errorNumberOf;

namespace {

// A SQLite database file with table T(Name TEXT, Amount REAL, Code INTEGER).
struct SqliteFile {
    testsupport::TempFolder folder{"telm-ado"};
    std::string path = folder.file("data.db");
    std::string text = "Driver={SQLite3};Database=" + path + ";";
    SqliteFile() {
        Connection c;
        c.open(text);
        for (const char* sql : {"CREATE TABLE T (Name TEXT, Amount REAL, Code INTEGER)",
                                "INSERT INTO T VALUES ('Anna', 10.5, 1)", "INSERT INTO T VALUES ('Bartek', NULL, 2)",
                                "INSERT INTO T VALUES ('Zażółć', 0, 3)"}) {
            Recordset r;
            r.open(sql, c);
            EXPECT_EQ(r.state(), adStateClosed);
        }
    }
};

}  // namespace

TEST(Ado, RowsAsFieldByRecordWithNullAndFieldNames) {
    SqliteFile db;
    Connection c;
    c.open(db.text);
    EXPECT_EQ(c.state(), adStateOpen);
    Recordset r;
    r.open("SELECT Name, Amount, Code, 1 + 1 AS Two FROM T ORDER BY Code", c, adOpenDynamic, adLockBatchOptimistic);
    r.updateBatch();
    ASSERT_EQ(r.fields().Count(), 4);
    EXPECT_EQ(r.fields().Name(0), "Name");
    EXPECT_EQ(r.fields().Name(3), "Two");
    const Variant rows = r.getRows();
    const host::Array& a = rows.arrayValue();
    EXPECT_EQ(a.count(1), 4);
    EXPECT_EQ(a.count(2), 3);
    EXPECT_EQ(a(0, 0), Variant("Anna"));
    EXPECT_EQ(a(1, 0), Variant(10.5));
    EXPECT_EQ(a(2, 0), Variant(1));
    EXPECT_EQ(a(3, 0), Variant(2));
    EXPECT_TRUE(a(1, 1).isNull());
    EXPECT_EQ(a(0, 2), Variant("Zażółć"));
    c.close();
    EXPECT_EQ(c.state(), adStateClosed);
}
