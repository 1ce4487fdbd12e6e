#include "host/odbc/ConnectionPool.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "host/odbc/ConnectionText.h"
#include "host/odbc/Odbc.h"
#include "host/os/CoarseClock.h"

namespace host::ado {

namespace {

using Clock = std::chrono::steady_clock;
using Link = std::unique_ptr<odbc::ConnectionHandle>;

// The waiting links, the longest idle first, and the timer thread that closes those idle too long.
// The timer starts with the first pooled link and ends with the process. Links are closed outside
// the lock: a disconnect may wait on its server.
class Pool {
public:
    Pool() = default;
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;
    ~Pool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (timer_.joinable()) timer_.join();
        clear();
    }

    Link take(const std::string& key) {
        for (;;) {
            Link link;
            {
                std::lock_guard lock(mutex_);
                auto found = std::find_if(waiting_.rbegin(), waiting_.rend(),
                                          [&](const Waiting& w) { return w.key == key; });
                if (found == waiting_.rend()) return nullptr;
                link = std::move(found->link);
                waiting_.erase(std::next(found).base());
            }
            if (link->alive()) return link;
        }
    }

    void give(std::string key, Link link) noexcept {
        Link evicted;
        bool wakeTimer = false;
        try {
            std::lock_guard lock(mutex_);
            waiting_.push_back({std::move(key), std::move(link), os::coarseNow()});
            if (waiting_.size() > kConnectionPoolCap) {
                evicted = std::move(waiting_.front().link);
                waiting_.erase(waiting_.begin());
            }
            if (!timer_.joinable()) timer_ = std::thread([this] { closeExpired(); });
            // A timer waiting for an earlier expiry wakes in time for this link too.
            wakeTimer = timerWaitsForever_;
        } catch (const std::exception&) {  // no room (memory, a thread): the link is closed instead
        }
        if (wakeTimer) changed_.notify_all();
    }

    void clear() {
        std::vector<Link> closing;
        {
            std::lock_guard lock(mutex_);
            for (Waiting& w : waiting_) closing.push_back(std::move(w.link));
            waiting_.clear();
        }
    }

    void setIdleLimit(std::chrono::milliseconds limit) {
        {
            std::lock_guard lock(mutex_);
            idleLimit_ = limit;
        }
        changed_.notify_all();
    }

    std::size_t size() {
        std::lock_guard lock(mutex_);
        return waiting_.size();
    }

private:
    struct Waiting {
        std::string key;
        Link link;
        Clock::time_point since;
    };

    void closeExpired() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (waiting_.empty()) {
                timerWaitsForever_ = true;
                changed_.wait(lock);
                timerWaitsForever_ = false;
                continue;
            }
            const Clock::time_point due = waiting_.front().since + idleLimit_;
            if (Clock::now() < due) {
                changed_.wait_until(lock, due);
                continue;
            }
            Link expired = std::move(waiting_.front().link);
            waiting_.erase(waiting_.begin());
            lock.unlock();
            expired.reset();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Waiting> waiting_;  // at most kConnectionPoolCap + 1, the longest idle first
    std::chrono::milliseconds idleLimit_ = kConnectionPoolIdleLimit;
    bool stopping_ = false;
    bool timerWaitsForever_ = false;  // the timer waits for a link to be pooled, with no expiry due
    std::thread timer_;
};

Pool& thePool() {
    static Pool pool;
    return pool;
}

// The plans by text, user and password (reached from the caller's thread only), with the one given
// last set apart: a run of cells of one source asks for it again and again.
struct PlanCache {
    std::unordered_map<std::string, std::shared_ptr<const ConnectionPlan>> byKey;
    std::string lastText, lastUser, lastPassword;
    std::shared_ptr<const ConnectionPlan> last;

    void clear() {
        byKey.clear();
        last.reset();
    }
};

PlanCache& plans() {
    static PlanCache cache;
    return cache;
}

}  // namespace

void clearConnectionPool() {
    plans().clear();
    thePool().clear();
}

void setConnectionPoolIdleLimit(std::chrono::milliseconds limit) { thePool().setIdleLimit(limit); }

std::size_t pooledConnectionCount() { return thePool().size(); }

namespace pool {

std::shared_ptr<const ConnectionPlan> plan(const std::string& text, const std::string& user,
                                           const std::string& password) {
    auto& cache = plans();
    if (cache.last && cache.lastText == text && cache.lastUser == user && cache.lastPassword == password)
        return cache.last;
    std::string key = text;
    key.append(1, '\0').append(user).append(1, '\0').append(password);
    std::shared_ptr<const ConnectionPlan> planned;
    if (auto found = cache.byKey.find(key); found != cache.byKey.end()) {
        planned = found->second;
    } else {
        planned = std::make_shared<const ConnectionPlan>(planConnection(text, user, password));
        if (cache.byKey.size() >= kConnectionPoolCap) cache.byKey.clear();
        cache.byKey.emplace(std::move(key), planned);
    }
    cache.lastText = text;
    cache.lastUser = user;
    cache.lastPassword = password;
    cache.last = planned;
    return planned;
}

std::unique_ptr<odbc::ConnectionHandle> take(const std::string& key) { return thePool().take(key); }

void give(std::string key, std::unique_ptr<odbc::ConnectionHandle> link) noexcept {
    thePool().give(std::move(key), std::move(link));
}

}  // namespace pool

}  // namespace host::ado
