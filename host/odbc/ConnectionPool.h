#pragma once
// The pool of open ODBC connections, as the platform's data access keeps them for programs that open
// and close a connection for every call. Closing a Connection of the ODBC or Access route gives its
// link back to the pool under a key: the text the driver manager received (credentials included, so
// that two logins never share a link) and, for a database file, the file itself (a file replaced
// under its name is not the pooled one; connections opened for one calculation look the file up once,
// see openLink in Link.h). Opening the same key again takes the most recently pooled
// link back after checking that it is alive; a dead one is closed and the next tried. A link idle
// longer than the idle limit (60 seconds) is closed by the pool's own timer; at most
// kConnectionPoolCap links wait (the longest idle is closed to make room). A link that failed and a
// refused login never enter the pool. The Excel and cube routes open their sources each time.
//
// The driver manager's own pooling stays as the machine's odbcinst.ini sets it: unixODBC pools only
// for a driver given a CPTimeout there, which Debian's driver packages do not give, and its pool can
// be neither capped nor emptied on demand.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace host::ado {

inline constexpr std::size_t kConnectionPoolCap = 32;
inline constexpr std::chrono::milliseconds kConnectionPoolIdleLimit = std::chrono::seconds(60);

// Closes every pooled link (when the login cache is cleared and when the add-in is unloaded).
void clearConnectionPool();
// Sets how long a link may wait in the pool (kConnectionPoolIdleLimit unless set).
void setConnectionPoolIdleLimit(std::chrono::milliseconds limit);
// The number of links waiting in the pool.
std::size_t pooledConnectionCount();

namespace odbc {
class ConnectionHandle;
}
struct ConnectionPlan;

// How Connection reaches the pool.
namespace pool {
// planConnection's plan of the text, kept for the texts opened lately (planning a text costs more
// than taking its pooled link), so that a data source's driver is looked up as its link is made.
// Emptied with the pool.
std::shared_ptr<const ConnectionPlan> plan(const std::string& text, const std::string& user,
                                           const std::string& password);
// A live pooled link of that key, or null.
std::unique_ptr<odbc::ConnectionHandle> take(const std::string& key);
// Pools the link (closing it instead when the pool cannot hold it).
void give(std::string key, std::unique_ptr<odbc::ConnectionHandle> link) noexcept;
}  // namespace pool

}  // namespace host::ado
