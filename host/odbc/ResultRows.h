#pragma once
// Running a statement on a link and reading its rows whole, each value typed by its column.

#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/odbc/ConnectionText.h"

namespace host::ado::odbc {

class ConnectionHandle;

// The rows of a statement's result.
struct ResultRows {
    std::vector<std::string> names;  // the result's columns
    std::vector<Variant> values;     // record after record, each with a value per column (Null for SQL NULL)
    long records = 0;
};

// Runs `sql` on the link of `plan` under a time-out of `timeout` seconds (0: none) and reads every
// row into `rows`: whole numbers, numbers, dates, times and truth values as such, SQLite's values as
// SQLite holds them, texts otherwise. Gives false for a statement without a result (an UPDATE).
// With `later`, the results of the text's further statements (a source that answers several
// statements one by one: ConnectionHandle::multipleResults) follow there in order; without it they
// are dropped. Raises kTimedOut when the time-out ends the statement, the driver's failure otherwise.
bool readRows(ConnectionHandle& link, const ConnectionPlan& plan, const std::string& sql, int timeout,
              ResultRows& rows, std::vector<ResultRows>* later = nullptr);

}  // namespace host::ado::odbc
