#pragma once
// The command time-out for drivers that do not keep it themselves (the SQLite driver ignores it):
// a watch that cancels the statement once its seconds are up. Internal to the data-access layers. One watcher
// thread serves every watch of the process; it starts with the first one and ends with the process,
// so that a watch costs no thread of its own.

#include <sql.h>

#include <atomic>
#include <chrono>

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
    friend class DeadlineWatcher;
    SQLHSTMT statement_;
    std::chrono::steady_clock::time_point due_;
    bool watched_ = false;
    std::atomic<bool> expired_{false};
};

}  // namespace host::ado
