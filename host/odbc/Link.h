#pragma once
// Opening the link of a connection plan of the ODBC, Access or Excel route (ConnectionText.h), and
// letting go of it: the links of the ODBC and Access routes come from and go back to the pool
// (ConnectionPool.h) when a live one of the same text and file is there.

#include <cstdint>
#include <memory>
#include <string>

#include "host/odbc/ConnectionText.h"

namespace host::ado::odbc {

class ConnectionHandle;

// Opens the plan's link; `poolKey` receives the key the link goes back to the pool under ("" for a
// link that is not pooled: the Excel route and databases in memory). Raises kDriverError "... Could
// not find file '...'" for a database file that does not exist, and the driver's failure otherwise.
// Waiting for a locked SQLite database ends within `connectionTimeout` while opening and within
// `commandTimeout` in a statement. Links opened for one calculation (its number, 0 for none) look a
// plan's database file up once, with its pool key: a file replaced under its name is read afresh by
// the next calculation.
std::unique_ptr<ConnectionHandle> openLink(const std::shared_ptr<const ConnectionPlan>& plan, int connectionTimeout,
                                           int commandTimeout, std::string& poolKey, std::uint64_t calculation = 0);

// Gives a connected link that has not `failed` back to the pool under its key, and closes it otherwise.
void releaseLink(std::unique_ptr<ConnectionHandle>& link, std::string& poolKey, bool failed) noexcept;

}  // namespace host::ado::odbc
