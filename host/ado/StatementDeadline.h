#pragma once
// The command time-out for drivers that do not keep it themselves (the SQLite driver ignores it):
// a watch that cancels the statement once its seconds are up. Internal to host/ado; the watch runs
// on a thread of its own, which ends with the object.

#include <sql.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace host::ado {

class StatementDeadline {
public:
    // Watches `statement` for `seconds` (0: no limit, no watch).
    StatementDeadline(SQLHSTMT statement, int seconds);
    ~StatementDeadline();
    StatementDeadline(const StatementDeadline&) = delete;
    StatementDeadline& operator=(const StatementDeadline&) = delete;

    // Whether the time ran out and the statement was cancelled.
    bool expired() const { return expired_; }

private:
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    std::atomic<bool> expired_{false};
    std::thread watch_;
};

}  // namespace host::ado
