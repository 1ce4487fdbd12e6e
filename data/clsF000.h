#pragma once
// clsF000: the in-process back-end of the three data primitives (a link's value, an MDX result, an
// SQL result) and the login cache of SQL sources. A primitive never raises: it answers its failure
// text "#" & ErrorDetail & " / " & ErrorText (for SQL inside a one-item array), ErrorText naming the
// step that failed. Only a failing login dialog escapes funkcjaADO000 and zOLAP000 (as LoginDialogFailed).

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/base/Variant.h"

namespace host::sheet {
class Application;
}

namespace telm {

// How many times a dBase failure is retried without credentials before its failure text is returned.
inline constexpr int kDbaseRetries = 3;

// The login dialog itself failed (the companion add-in's macros are missing).
class LoginDialogFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True for a refused login of a server whose refusals open the login dialog: MySQL (driver error
// naming "MySQL"), SQL Server, Oracle and PostgreSQL (refused login naming the server); the names in
// any letter case.
bool IsRefusedLoginOfKnownServer(int number, const std::string& description);

class clsF000 {
public:
    clsF000();
    ~clsF000();
    clsF000(const clsF000&) = delete;
    clsF000& operator=(const clsF000&) = delete;

    // The value of an external reference such as 'folder\[Book.xlsx]Sheet1'!R1C1, read from the closed
    // workbook's file by the object's private application (started on first use, then kept).
    host::Variant lacze000(std::string& link);
    // The result of an MDX statement: the first value when numeric (else 0), or with asArray all rows
    // with Null as ".". A server text with "Prompt=1" logs in through the login cache, under the
    // server's data source, and the login dialog, as funkcjaADO000 does.
    host::Variant zOLAP000(const std::string& connection, const std::string& mdx, bool asArray);
    // The rows of an SQL statement as a [field, record] array from 0, through the login cache and the
    // login dialog; on failure a one-item array holding the failure text.
    //
    // With `eachResult`, `sql` may hold several statements, which the source runs in one round trip
    // and answers one by one: the rows of each (Empty for a statement without rows) go into it, in
    // order, and the answer is Empty. When the source answers a text with one result only, nothing
    // runs and eachResult stays empty.
    host::Variant funkcjaADO000(const std::string& connection, const host::Variant& sql,
                                std::vector<host::Variant>* eachResult = nullptr);
    // The rows of each text, as funkcjaADO000 gives them with `eachResult`, the texts run at once over
    // up to `connections` connections opened as funkcjaADO000 opens them (with the login the session
    // keeps for the source; no dialog). A text's entry stays empty when it failed, when no connection
    // opened, or when the source answers a text with one result only.
    std::vector<std::vector<host::Variant>> eachResultsAtOnce(const std::string& connection,
                                                              const std::vector<std::string>& texts, int connections);
    // Quits the private application so that the next link read starts a fresh one; says "OK." (or
    // "Err.") in a plain message box.
    void RefreshLinkEnviroment();

private:
    host::sheet::Application& privateExcel();

    std::shared_ptr<host::sheet::Application> excel_;
    std::optional<host::ado::Connection> adoConnection_;  // of the SQL primitive, for one call
    std::unique_ptr<host::ado::Connection> olapConnection_;
    std::optional<host::ado::Recordset> adoRecordset_;
    std::unique_ptr<host::ado::Recordset> olapRecordset_;
};

}  // namespace telm
