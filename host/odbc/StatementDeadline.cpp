#include "host/odbc/StatementDeadline.h"

#include <sqlext.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "host/os/CoarseClock.h"

namespace host::ado {

// The watches that run and the thread that cancels the overdue ones. The thread sleeps until the
// earliest due time it knows of; a new watch wakes it only when it is due earlier than that (each
// one is due a whole time-out after the last, so a run of statements wakes it at most once). The
// cancel happens under the lock, so that a watch that ends waits for it and its statement handle
// outlives it.
class DeadlineWatcher {
public:
    using Clock = std::chrono::steady_clock;

    static DeadlineWatcher& instance() {
        static DeadlineWatcher watcher;
        return watcher;
    }
    DeadlineWatcher(const DeadlineWatcher&) = delete;
    DeadlineWatcher& operator=(const DeadlineWatcher&) = delete;
    ~DeadlineWatcher() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void add(StatementDeadline& watch) {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            watches_.push_back(&watch);
            if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
            wake = watch.due_ < wakeAt_;
        }
        if (wake) changed_.notify_all();
    }

    void remove(StatementDeadline& watch) {
        std::lock_guard lock(mutex_);
        std::erase(watches_, &watch);
    }

private:
    DeadlineWatcher() = default;

    void run() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            const Clock::time_point now = Clock::now();
            wakeAt_ = Clock::time_point::max();
            for (StatementDeadline* watch : watches_) {
                if (watch->expired_) continue;
                if (watch->due_ <= now) {
                    watch->expired_ = true;
                    SQLCancel(watch->statement_);
                } else {
                    wakeAt_ = std::min(wakeAt_, watch->due_);
                }
            }
            if (wakeAt_ == Clock::time_point::max())
                changed_.wait(lock);
            else
                changed_.wait_until(lock, wakeAt_);
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<StatementDeadline*> watches_;
    Clock::time_point wakeAt_ = Clock::time_point::max();  // when the thread wakes next
    bool stopping_ = false;
    std::thread thread_;
};

StatementDeadline::StatementDeadline(SQLHSTMT statement, int seconds)
    : statement_(statement) {
    if (seconds <= 0) return;
    due_ = os::coarseNow() + std::chrono::seconds(seconds);
    DeadlineWatcher::instance().add(*this);
    watched_ = true;
}

StatementDeadline::~StatementDeadline() {
    if (watched_) DeadlineWatcher::instance().remove(*this);
}

}  // namespace host::ado
