#include "host/ado/StatementDeadline.h"

#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace host::ado {

namespace {

using Clock = std::chrono::steady_clock;

// The statements being watched and the thread that cancels those whose time is up. A statement is
// cancelled while the lock is held, so it cannot be freed meanwhile.
class Watch {
public:
    Watch() : thread_([this] { run(); }) {}
    ~Watch() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_one();
        thread_.join();
    }

    std::uint64_t add(SQLHSTMT statement, Clock::time_point due, std::atomic<bool>& expired) {
        std::lock_guard lock(mutex_);
        const std::uint64_t id = ++lastId_;
        entries_.emplace(id, Entry{statement, due, &expired});
        changed_.notify_one();
        return id;
    }
    void remove(std::uint64_t id) {
        std::lock_guard lock(mutex_);
        entries_.erase(id);
    }

private:
    struct Entry {
        SQLHSTMT statement;
        Clock::time_point due;
        std::atomic<bool>* expired;
    };

    void run() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (entries_.empty()) {
                changed_.wait(lock);
                continue;
            }
            Clock::time_point earliest = Clock::time_point::max();
            for (const auto& [id, entry] : entries_) earliest = std::min(earliest, entry.due);
            if (changed_.wait_until(lock, earliest) == std::cv_status::no_timeout) continue;
            for (auto it = entries_.begin(); it != entries_.end();) {
                if (it->second.due > Clock::now()) {
                    ++it;
                    continue;
                }
                *it->second.expired = true;
                SQLCancel(it->second.statement);
                it = entries_.erase(it);
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, Entry> entries_;
    std::uint64_t lastId_ = 0;
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once the members above exist
};

Watch& watch() {
    static Watch instance;
    return instance;
}

}  // namespace

StatementDeadline::StatementDeadline(SQLHSTMT statement, int seconds) {
    if (seconds > 0) id_ = watch().add(statement, Clock::now() + std::chrono::seconds(seconds), expired_);
}

StatementDeadline::~StatementDeadline() {
    if (id_) watch().remove(id_);
}

}  // namespace host::ado
