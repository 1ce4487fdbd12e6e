#include "host/olap/SourceRows.h"

#include "host/odbc/ConnectionText.h"
#include "host/odbc/Odbc.h"
#include "host/olap/OlapErrors.h"

namespace host::olap {

namespace {

std::optional<std::string> readText(SQLHSTMT stmt, SQLUSMALLINT column, std::string_view component) {
    std::string text;
    SQLWCHAR buffer[512];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA) break;
        ado::odbc::check(rc, SQL_HANDLE_STMT, stmt, component);
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        const std::size_t capacity = sizeof buffer / sizeof buffer[0] - 1;
        const bool whole = rc == SQL_SUCCESS && indicator != SQL_NO_TOTAL;
        const std::size_t chars = whole ? static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) : capacity;
        text += ado::odbc::fromWide(buffer, std::min(chars, capacity));
        if (whole) break;
    }
    return text;
}

}  // namespace

void readSourceRows(const std::string& source, const std::string& select, int columns, int commandTimeout,
                    const std::function<void(const SourceRow&)>& row) {
    const ado::ConnectionPlan plan = ado::planConnection(source, "", "");
    if (plan.route != ado::ConnectionRoute::Odbc && plan.route != ado::ConnectionRoute::Access)
        throwCubeError("SOURCE_DSN must be an ODBC connection text.");
    ado::odbc::ConnectionHandle connection;
    connection.connect(plan.odbcText, 15, plan.component);
    ado::odbc::StatementHandle statement(connection);
    const SQLHSTMT stmt = statement.handle();
    statement.setQueryTimeout(commandTimeout);
    ado::odbc::check(connection.execDirect(stmt, select), SQL_HANDLE_STMT, stmt, plan.component);
    SQLSMALLINT count = 0;
    ado::odbc::check(SQLNumResultCols(stmt, &count), SQL_HANDLE_STMT, stmt, plan.component);
    if (count != columns)
        throwCubeError("The SELECT of INSERT INTO gives " + std::to_string(count) + " columns for " +
                       std::to_string(columns) + " items.");
    SourceRow values(static_cast<std::size_t>(count));
    for (;;) {
        const SQLRETURN fetched = SQLFetch(stmt);
        if (fetched == SQL_NO_DATA) break;
        ado::odbc::check(fetched, SQL_HANDLE_STMT, stmt, plan.component);
        for (SQLUSMALLINT c = 1; c <= count; ++c) values[c - 1] = readText(stmt, c, plan.component);
        row(values);
    }
}

}  // namespace host::olap
