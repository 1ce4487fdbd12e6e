#include "host/ado/StatementDeadline.h"

#include <sqlext.h>

#include <chrono>

namespace host::ado {

StatementDeadline::StatementDeadline(SQLHSTMT statement, int seconds) {
    if (seconds <= 0) return;
    watch_ = std::thread([this, statement, seconds] {
        std::unique_lock lock(mutex_);
        if (finished_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) return;
        expired_ = true;
        SQLCancel(statement);
    });
}

StatementDeadline::~StatementDeadline() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    finished_.notify_one();
    if (watch_.joinable()) watch_.join();
}

}  // namespace host::ado
