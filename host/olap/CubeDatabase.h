#pragma once
// Where cubes live, and the database connection of the cube engine.
//
// An OLAP connection text ("Provider=MSOLAP;Data Source=...;Initial Catalog=...;...", values holding
// ";" enclosed in double quotes) names the database that holds the cubes:
//   - a local cube file: "Location=FILE.cub", or a "Data Source" whose name ends in ".cub"; it is a
//     SQLite database, reached through the SQLite3 ODBC driver ("Initial Catalog" is ignored);
//   - a server: "Data Source" is an ODBC data source name of the machine's odbc.ini, "Initial Catalog"
//     the schema that holds the cubes (the default schema when empty); "User ID" and "Password" log in.
//
// Layout of the cubes in that database (a star schema per cube; <c> is the cube's number):
//   olap_cubes(cube_no, cube_name)                              one row per cube
//   olap_dimensions(cube_no, dim_no, dim_name, all_name, leaf_count)   dim_no from 1, in CREATE CUBE order
//   olap_levels(cube_no, dim_no, level_no, level_name)          level_no from 1 below the All member
//   olap_measures(cube_no, measure_no, measure_name, aggregate, format_text)   aggregate SUM|COUNT|MIN|MAX
//   olap_<c>_dim<d>(leaf, key1, name1, ..., keyN, nameN)        the dimension table: one row per leaf
//                                                               member, one key and name column per level;
//                                                               leaves numbered from 1 in key order (numeric
//                                                               keys by value, before text keys), so the
//                                                               leaves under any member are consecutive
//   olap_<c>_members(dim_no, level_no, first_leaf, last_leaf, member_key, member_name, name_folded)
//                                                               every member (level 0: the All member, its
//                                                               key NULL) with the range of leaves it covers
//                                                               and its name case-folded (CaseFolded);
//                                                               indexed by name, folded name, key and level
//                                                               (cubes built before name_folded lack it)
//   olap_<c>_facts(d1, ..., dK, m1, ..., mM)                    the fact table: one row per combination of
//                                                               leaves, each measure aggregated by its
//                                                               function (COUNT stored as counts); indexed
//                                                               by each dimension
// A member's value is the aggregate of the fact rows whose leaf numbers fall in its range, which the
// database computes.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/odbc/ConnectionText.h"
#include "host/odbc/ResultRows.h"

namespace host::ado::odbc {
class ConnectionHandle;
}

namespace host::olap {

// The items of an OLE DB connection text (values in braces or quotes may hold ";").
std::vector<ado::ConnectionItem> parseProviderText(const std::string& text);
// The value of the last item named `key` (letters in any case), "" when there is none.
std::string providerItem(const std::vector<ado::ConnectionItem>& items, const std::string& key);

class CubeDatabase {
public:
    // Connects to where the text's cubes live. With `create` (to build a cube) the cube file must be a
    // regular file that is absent (it is then created), empty, or a cube database already; it is never
    // reached through a symbolic link, and a FIFO, device or folder is refused without being opened.
    // A user name or password given replaces the text's own. Raises kDriverError for a missing cube
    // file or one that cannot take a cube, the driver's failure otherwise.
    CubeDatabase(const std::vector<ado::ConnectionItem>& items, bool create, const std::string& user,
                 const std::string& password, int loginTimeout);
    // Gives the link back to the pool, unless a statement failed on it.
    ~CubeDatabase();
    CubeDatabase(const CubeDatabase&) = delete;
    CubeDatabase& operator=(const CubeDatabase&) = delete;

    // Runs a statement without rows.
    void execute(const std::string& sql);
    // The rows of a query ([record][field]; Null for SQL NULL).
    std::vector<std::vector<Variant>> rows(const std::string& sql);
    // Bounds every later statement together: all of them must end within `seconds` from now (0: no
    // bound but commandTimeout's). A statement after the bound fails with kTimedOut.
    void limitTotalTime(int seconds);
    // The table name as the statements write it (with its schema on a server).
    std::string table(const std::string& name) const;
    bool isServer() const { return server_; }
    // The cube file when this connection created it ("" otherwise).
    const std::string& createdFile() const { return createdFile_; }
    // The schema of the cubes on a server ("" for the default schema and for a cube file).
    const std::string& schema() const { return schema_; }

    int commandTimeout = 30;

private:
    // Opens the link of an ODBC connection text.
    void connect(const std::string& odbcText, int loginTimeout);
    // The time-out of the next statement, from commandTimeout and the bound.
    int statementTimeout() const;
    // Runs a statement and reads its rows; gives false for a statement without a result. A link on
    // which a statement failed is closed, not pooled.
    bool run(const std::string& sql, ado::odbc::ResultRows& rows);
    // Refuses a target a cube may not be written into; creates an absent one.
    void claimCubeFile(const std::string& file);
    // Refuses an existing non-empty file that holds no cube (after connecting to it).
    void requireCubeDatabase(const std::string& file);

    std::shared_ptr<const ado::ConnectionPlan> plan_;
    std::unique_ptr<ado::odbc::ConnectionHandle> link_;
    std::string poolKey_;  // "" when the link is not pooled
    bool failed_ = false;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::string schema_;
    bool server_ = false;
    std::string createdFile_;
};

// A text as an SQL string literal. Raises for a text holding a NUL character.
std::string sqlText(const std::string& text);
// A number as an SQL literal (shortest form that reads back the same).
std::string sqlNumber(double value);
// An identifier in double quotes.
std::string sqlName(const std::string& name);

}  // namespace host::olap
