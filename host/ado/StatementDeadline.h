#pragma once
// The command time-out for drivers that do not keep it themselves (the SQLite driver ignores it):
// a watch that cancels the statement once its seconds are up. Internal to host/ado. One watching
// thread serves the whole process; it starts with the first watched statement.

#include <sql.h>

#include <atomic>
#include <cstdint>

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
    std::uint64_t id_ = 0;  // 0: not watched
    std::atomic<bool> expired_{false};
};

}  // namespace host::ado
