#pragma once
// Thin owners of unixODBC handles (internal to the data layers). The environment is one per process,
// created on first use; a connection handle and a statement handle free themselves. Failures raise
// host::RuntimeError numbered by errorNumberOf, the description being the driver's first message.

#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <string>
#include <string_view>

#include "host/odbc/DriverSockets.h"
#include "host/odbc/SqliteSession.h"

namespace host::ado::odbc {

// The process's ODBC 3 environment.
SQLHENV environment();

// Raises the diagnostics of `handle` when `rc` is no success. `component` names the driver when its
// message carries no "[...]" prefix of its own, so that a description tells which server spoke.
void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view component);

// UTF-8 <-> the driver manager's 16-bit SQLWCHAR texts.
std::u16string toWide(std::string_view utf8);
std::string fromWide(const SQLWCHAR* text, std::size_t length);

class ConnectionHandle {
public:
    ConnectionHandle();
    ~ConnectionHandle();
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;

    // Asks the driver for a read-only connection; before connect().
    void setReadOnly();
    // Gives the SQLite database that connect() opens a session (SqliteSession.h); before connect().
    void addSqliteSession(bool textSums) { sqlite_ = std::make_unique<SqliteSession>(textSums); }
    SqliteSession* sqliteSession() const { return sqlite_.get(); }
    // SQLDriverConnect without prompting; `component` as for check(). A text naming the SQLite driver
    // goes as UTF-8 through the narrow entry point (its wide one fails file names beyond ASCII), any
    // other as UTF-16 through the wide one.
    void connect(const std::string& odbcText, int loginTimeoutSeconds, std::string_view component);
    void disconnect();
    bool connected() const { return connected_; }
    // Whether the connection still works as far as can be told without asking its server: the driver
    // does not know it dead and no socket it opened while connecting has been hung up.
    bool alive() const;
    // SQLExecDirect of a UTF-8 statement in the text form the driver reads correctly: the SQLite
    // driver takes UTF-8 through its narrow entry points (its wide ones drop characters above
    // U+00FF), every other driver UTF-16 through the wide ones.
    SQLRETURN execDirect(SQLHSTMT statement, const std::string& sql) const;
    // Whether the driver answers a text of several statements with one result per statement.
    bool multipleResults() const;
    // Whether texts (statements, names, values) pass as UTF-8 through the narrow entry points.
    bool narrowText() const { return narrowText_; }
    SQLHDBC handle() const { return dbc_; }

private:
    friend class StatementHandle;
    // Frees the spare statement; before disconnecting.
    void freeSpareStatement();

    SQLHDBC dbc_ = SQL_NULL_HDBC;
    // A statement handle kept from an earlier statement that ended well, so that the next one needs
    // no new handle (each costs the driver manager and the driver an allocation and their locks),
    // and the time-out it has.
    SQLHSTMT spareStatement_ = SQL_NULL_HSTMT;
    int spareTimeout_ = 0;
    bool connected_ = false;
    bool narrowText_ = false;
    DriverSockets sockets_;
    std::unique_ptr<SqliteSession> sqlite_;  // outlives the link: the destructor disconnects first
};

// A statement of a connection: the connection's spare one when it has one, else a new one.
class StatementHandle {
public:
    explicit StatementHandle(ConnectionHandle& connection);
    // Frees the statement, unless keep() was called.
    ~StatementHandle();
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;
    SQLHSTMT handle() const { return stmt_; }
    // Sets the time-out of the statements run on the handle, in seconds (0: none).
    void setQueryTimeout(int seconds);
    // After a statement that ended well: closes its cursor and hands it back to the connection as its
    // spare, with its time-out.
    void keep();

private:
    ConnectionHandle& connection_;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    int timeout_ = 0;  // a new handle has none
};

// Runs a statement that gives no rows (CREATE, INSERT) on the connection.
void execute(ConnectionHandle& connection, const std::string& sql, std::string_view component);

}  // namespace host::ado::odbc
