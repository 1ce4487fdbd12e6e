#pragma once
// Connection: an open link to one data source, as the platform's connection object offers it. The
// connection text follows the rules of ConnectionText.h.

#include <cstdint>
#include <memory>
#include <string>

#include "host/odbc/ConnectionText.h"
#include "host/sheet/Application.h"

namespace host::ado {

namespace odbc {
class ConnectionHandle;
}
}  // namespace host::ado
namespace host::olap {
class CubeConnection;
}
namespace host::ado {
class ExcelSource;

inline constexpr int adStateClosed = 0;
inline constexpr int adStateOpen = 1;

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the source; a user name or password replaces the text's own. Raises kObjectOpen when the
    // connection is open already, kProviderNotFound for unknown providers, kDriverError "... Could
    // not find file '...'" for a database file that does not exist, and the driver's failure
    // (kLoginRefused, kTimedOut, kDriverError) otherwise. A text with ReadOnly true opens a
    // connection that refuses every write. Waiting for a locked SQLite database ends with kTimedOut
    // within connectionTimeout while opening and within commandTimeout in a statement (the time-outs
    // as they are when the connection opens). The ODBC and Access routes take a live pooled link of
    // the same text and file when there is one.
    void open(const std::string& connectionText, const std::string& user = {}, const std::string& password = {});
    // adStateOpen or adStateClosed.
    int state() const;
    // Closes the link; raises kObjectClosed when it is not open. A link of the ODBC and Access routes
    // that has not failed goes back to the pool (ConnectionPool.h), as it does when the object ends.
    void close();

    // Whether the source answers a text of several statements with the rows of each in turn
    // (Recordset::nextRecordset); false when closed.
    bool multipleResults() const;

    // Seconds a statement may run before it fails with kTimedOut (0: no limit), on every route.
    int commandTimeout = 30;
    // Seconds the login may take.
    int connectionTimeout = 15;
    // Reads workbook files for the Excel driver; set before open (the file layer's store when unset).
    std::shared_ptr<sheet::WorkbookStore> workbookStore;
    // The calculation the connection is opened for (Calculator::calculationNumber; 0: none). Within
    // one calculation a text's database file is looked up once, with its pool key: a file replaced
    // under its name is read afresh by the next calculation.
    std::uint64_t calculation = 0;

private:
    friend class Recordset;
    // The statement as the source runs it (range names of a workbook become tables): `sql` itself, or
    // `rewritten` holding the text the source runs.
    const std::string& prepare(const std::string& sql, std::string& rewritten);
    void release() noexcept;

    std::unique_ptr<odbc::ConnectionHandle> handle_;
    std::unique_ptr<ExcelSource> excel_;
    std::unique_ptr<olap::CubeConnection> olap_;
    std::shared_ptr<const ConnectionPlan> plan_;  // shared with the pool's plans
    std::string poolKey_;  // "" when the link is not pooled
    bool failed_ = false;  // a statement failed on the link: it is closed, not pooled
};

}  // namespace host::ado
