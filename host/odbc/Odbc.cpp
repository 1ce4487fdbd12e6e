#include "host/odbc/Odbc.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/Utf8.h"
#include "host/odbc/OdbcErrors.h"
#include "host/odbc/SqliteGuard.h"
#include "host/os/Interrupt.h"

namespace host::ado {

int errorNumberOf(std::string_view sqlState, std::string_view message) {
    if (sqlState.starts_with("28")) return kLoginRefused;
    if (sqlState == "08001" && (InStr(message, "password authentication failed", CompareMethod::Text) > 0 ||
                                InStr(message, "no password supplied", CompareMethod::Text) > 0))
        return kLoginRefused;
    if (sqlState == "HYT00" || sqlState == "HYT01" || sqlState == "57014") return kTimedOut;
    if (sqlState == "HY008") return kCancelled;
    // SQLite gives up waiting for another process's lock with "database is locked".
    if (sqlState == "HY000" && InStr(message, "database is locked", CompareMethod::Text) > 0) return kTimedOut;
    return kDriverError;
}

namespace odbc {

SQLHENV environment() {
    static SQLHENV env = [] {
        configureSqliteLibrary();  // before anything starts the library
        guardSqliteConnections();  // before any driver opens a SQLite connection
        SQLHENV h = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            throw RuntimeError(kDriverError, "The ODBC driver manager could not be started.");
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    return env;
}

std::u16string toWide(std::string_view utf8) {
    std::u16string out;
    std::size_t at = 0;
    while (at < utf8.size()) {
        char32_t c = nextChar(utf8, at);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string fromWide(const SQLWCHAR* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        appendUtf8(out, c);
    }
    return out;
}

namespace {

// A driver's message. The SQLite driver hands its UTF-8 bytes out one to a wide character: a
// message whose every unit is a byte and whose bytes form UTF-8 with letters beyond ASCII is read as
// that UTF-8.
std::string driverMessage(const SQLWCHAR* text, std::size_t length) {
    std::string bytes;
    bool beyondAscii = false;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] > 0xFF) return fromWide(text, length);
        beyondAscii = beyondAscii || text[i] >= 0x80;
        bytes.push_back(static_cast<char>(text[i]));
    }
    return beyondAscii && isValidUtf8(bytes) ? bytes : fromWide(text, length);
}

// Whether the connection text's Driver item names the SQLite driver.
bool namesSqliteDriver(const std::string& odbcText) {
    const std::string text = LCase(odbcText);
    for (std::size_t at = text.find("driver="); at != std::string::npos; at = text.find("driver=", at + 1))
        if ((at == 0 || text[at - 1] == ';') && text.compare(at + 7, 6, "sqlite") == 0) return true;
    return false;
}

}  // namespace

void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view component) {
    if (SQL_SUCCEEDED(rc)) return;
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::vector<SQLWCHAR> message(2048);
    SQLSMALLINT length = 0;
    const SQLRETURN diag = SQLGetDiagRecW(handleType, handle, 1, state, &native, message.data(),
                                          static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(diag))
        throw RuntimeError(kDriverError, "[" + std::string(component) + "] The ODBC call failed without a message.");
    const std::string sqlState = fromWide(state, 5);
    std::string text = driverMessage(message.data(), std::min<std::size_t>(length, message.size() - 1));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (!text.starts_with("[")) text = "[" + std::string(component) + "]" + text;
    throw RuntimeError(errorNumberOf(sqlState, text), text);
}

ConnectionHandle::ConnectionHandle() {
    check(SQLAllocHandle(SQL_HANDLE_DBC, environment(), &dbc_), SQL_HANDLE_ENV, environment(), "ODBC");
}

ConnectionHandle::~ConnectionHandle() {
    disconnect();
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

void ConnectionHandle::setReadOnly() {
    SQLSetConnectAttrW(dbc_, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
}

void ConnectionHandle::connect(const std::string& odbcText, int loginTimeoutSeconds, std::string_view component) {
    const bool narrow = namesSqliteDriver(odbcText);
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(0, loginTimeoutSeconds))), 0);
    std::u16string text = toWide(odbcText);
    SQLSMALLINT outLength = 0;  // the completed text echoes the password: it is never kept
    const DriverSockets before = DriverSockets::current();
    SQLRETURN rc = SQL_ERROR;
    const auto driverConnect = [&] {
        rc = narrow ? SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(odbcText.data())),
                                       static_cast<SQLSMALLINT>(odbcText.size()), nullptr, 0, &outLength,
                                       SQL_DRIVER_NOPROMPT)
                    : SQLDriverConnectW(dbc_, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                                        static_cast<SQLSMALLINT>(text.size()), nullptr, 0, &outLength,
                                        SQL_DRIVER_NOPROMPT);
    };
    if (sqlite_)
        sqlite_->open(driverConnect);
    else
        driverConnect();
    check(rc, SQL_HANDLE_DBC, dbc_, component);
    connected_ = true;
    sockets_ = DriverSockets::openedSince(before);
    char driver[256] = {};
    SQLSMALLINT driverLength = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_DRIVER_NAME, driver, sizeof driver, &driverLength)))
        narrowText_ = InStr(driver, "sqlite", CompareMethod::Text) > 0;
}

SQLRETURN ConnectionHandle::execDirect(SQLHSTMT statement, const std::string& sql) const {
    // After Ctrl-C no statement starts; the one running is cancelled on the server.
    if (os::interruptRequested()) throw RuntimeError(kCancelled, "Operation cancelled by the user.");
    os::CancelScope cancel([statement] { SQLCancel(statement); });
    if (narrowText_)
        return SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.data())),
                             static_cast<SQLINTEGER>(sql.size()));
    std::u16string text = toWide(sql);
    return SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
}

bool ConnectionHandle::multipleResults() const {
    char answer[4] = {};
    SQLSMALLINT length = 0;
    return SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_MULT_RESULT_SETS, answer, sizeof answer, &length)) && answer[0] == 'Y';
}

bool ConnectionHandle::alive() const {
    if (!connected_) return false;
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE)
        return false;
    return sockets_.intact();
}

void ConnectionHandle::freeSpareStatement() {
    if (spareStatement_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, spareStatement_);
    spareStatement_ = SQL_NULL_HSTMT;
}

void ConnectionHandle::disconnect() {
    freeSpareStatement();
    if (connected_) SQLDisconnect(dbc_);
    connected_ = false;
}

StatementHandle::StatementHandle(ConnectionHandle& connection)
    : connection_(connection), stmt_(std::exchange(connection.spareStatement_, SQLHSTMT{SQL_NULL_HSTMT})) {
    if (stmt_ != SQL_NULL_HSTMT) {
        timeout_ = connection.spareTimeout_;
        return;
    }
    check(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &stmt_), SQL_HANDLE_DBC, connection.handle(), "ODBC");
}

StatementHandle::~StatementHandle() {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void StatementHandle::setQueryTimeout(int seconds) {
    seconds = std::max(0, seconds);
    if (seconds == timeout_) return;  // the driver keeps it from the handle's last statement
    SQLSetStmtAttrW(stmt_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
    timeout_ = seconds;
}

void StatementHandle::keep() {
    if (!SQL_SUCCEEDED(SQLFreeStmt(stmt_, SQL_CLOSE))) return;  // freed by the destructor
    connection_.freeSpareStatement();
    connection_.spareStatement_ = std::exchange(stmt_, SQLHSTMT{SQL_NULL_HSTMT});
    connection_.spareTimeout_ = timeout_;
}

void execute(ConnectionHandle& connection, const std::string& sql, std::string_view component) {
    StatementHandle statement(connection);
    statement.setQueryTimeout(0);
    const SQLRETURN rc = connection.execDirect(statement.handle(), sql);
    if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, statement.handle(), component);
    statement.keep();
}

}  // namespace odbc
}  // namespace host::ado
