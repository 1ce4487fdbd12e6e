#include "host/odbc/Link.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <utility>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/odbc/ConnectionPool.h"
#include "host/odbc/Odbc.h"
#include "host/odbc/OdbcErrors.h"

namespace host::ado::odbc {

namespace {

// A time-out in seconds as the SQLite driver's milliseconds (0: no limit, as a day).
long long milliseconds(int seconds) { return seconds > 0 ? seconds * 1000LL : 86'400'000LL; }

// Whether the link of a plan is pooled: not for the Excel and cube routes nor databases in memory.
bool pooled(const ConnectionPlan& plan) {
    return (plan.route == ConnectionRoute::Odbc || plan.route == ConnectionRoute::Access) && !plan.inMemory;
}

// Appends a number's decimal digits.
void appendNumber(std::string& text, unsigned long long number) {
    char digits[24];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

// Turns the text the driver manager receives into the key under which its link is pooled: the text,
// whether the link is read-only (set apart from the text), the Access route and, for a database
// file, the file's device and inode (their bytes: the key is only compared).
void appendPoolKey(std::string& text, const ConnectionPlan& plan, const struct stat& file) {
    text += plan.readOnly ? "\nread-only" : "\nread-write";
    // The Access route's links sum texts their own way (SqliteSession.h): never shared with the SQLite route.
    if (plan.route == ConnectionRoute::Access) text += "\naccess";
    if (plan.databaseFile.empty()) return;
    text += '\n';
    text.append(reinterpret_cast<const char*>(&file.st_dev), sizeof file.st_dev);
    text.append(reinterpret_cast<const char*>(&file.st_ino), sizeof file.st_ino);
}

// The SQLite driver waits for a locked database as long as its own time-out, fixed when it connects:
// once while opening, and once while preparing and once while running a statement. Half the smaller
// time-out keeps both within their limits.
long long driverLockWait(int connectionTimeout, int commandTimeout) {
    return std::max(1LL, std::min(milliseconds(connectionTimeout), milliseconds(commandTimeout)) / 2);
}

// A new link of the plan, read-only when the plan says so.
std::unique_ptr<ConnectionHandle> connect(const ConnectionPlan& plan, const std::string& odbcText,
                                          int connectionTimeout) {
    auto handle = std::make_unique<ConnectionHandle>();
    if (plan.readOnly) handle->setReadOnly();
    if (plan.sqlite) handle->addSqliteSession(plan.route == ConnectionRoute::Access);
    handle->connect(odbcText, connectionTimeout, plan.component);
    if (plan.readOnly && plan.sqlite) execute(*handle, "PRAGMA query_only = 1", plan.component);
    return handle;
}

// Sets `text` to the text the driver manager receives, extended for a pooled link into its pool key,
// and gives the length of the first. Raises the driver's "Could not find file" for a database file
// that does not exist.
std::size_t driverText(const ConnectionPlan& plan, long long lockWait, std::string& text) {
    struct stat file {};
    if (!plan.databaseFile.empty() && stat(plan.databaseFile.c_str(), &file) != 0)
        throw RuntimeError(kDriverError, "[" + plan.component + "] Could not find file '" + plan.databaseFile + "'.");
    text.reserve(plan.odbcText.size() + 64);
    text = plan.odbcText;
    if (plan.sqlite) {
        text += "Timeout=";
        appendNumber(text, static_cast<unsigned long long>(lockWait));
        text += ';';
    }
    const std::size_t odbcLength = text.size();
    if (pooled(plan)) appendPoolKey(text, plan, file);
    return odbcLength;
}

// The pool keys of the texts opened within the calculation running, for the rest of it (from the
// caller's thread only, as the plans).
class CalculationKeys {
public:
    struct Key {
        std::shared_ptr<const ConnectionPlan> plan;  // held: a plan at the same address is the same plan
        long long lockWait;
        std::string text;        // the pool key
        std::size_t odbcLength;  // of the text the driver manager receives, at its start
    };

    // The key of the plan in that calculation (0: none), or nullptr.
    const Key* find(std::uint64_t calculation, const std::shared_ptr<const ConnectionPlan>& plan, long long lockWait) {
        if (calculation == 0 || calculation != calculation_) return nullptr;
        for (const Key& key : keys_)
            if (key.plan == plan && key.lockWait == lockWait) return &key;
        return nullptr;
    }
    void add(std::uint64_t calculation, Key key) {
        if (calculation == 0) return;
        if (calculation != calculation_ || keys_.size() >= kConnectionPoolCap) keys_.clear();
        calculation_ = calculation;
        keys_.push_back(std::move(key));
    }

private:
    std::uint64_t calculation_ = 0;
    std::vector<Key> keys_;
};

CalculationKeys& calculationKeys() {
    thread_local CalculationKeys keys;
    return keys;
}

}  // namespace

std::unique_ptr<ConnectionHandle> openLink(const std::shared_ptr<const ConnectionPlan>& planned, int connectionTimeout,
                                           int commandTimeout, std::string& poolKey, std::uint64_t calculation) {
    const ConnectionPlan& plan = *planned;
    const long long lockWait = plan.sqlite ? driverLockWait(connectionTimeout, commandTimeout) : 0;
    std::string text;
    std::size_t odbcLength = 0;
    if (const auto* known = pooled(plan) ? calculationKeys().find(calculation, planned, lockWait) : nullptr) {
        text = known->text;
        odbcLength = known->odbcLength;
    } else {
        odbcLength = driverText(plan, lockWait, text);
        if (pooled(plan)) calculationKeys().add(calculation, {planned, lockWait, text, odbcLength});
    }
    std::unique_ptr<ConnectionHandle> handle;
    if (pooled(plan)) {
        poolKey = std::move(text);
        handle = pool::take(poolKey);
        if (!handle) handle = connect(plan, poolKey.substr(0, odbcLength), connectionTimeout);
    } else {
        poolKey.clear();
        handle = connect(plan, text, connectionTimeout);
    }
    return handle;
}

void releaseLink(std::unique_ptr<ConnectionHandle>& link, std::string& poolKey, bool failed) noexcept {
    if (link && link->connected() && !poolKey.empty() && !failed)
        pool::give(std::exchange(poolKey, std::string()), std::move(link));
    link.reset();
}

}  // namespace host::ado::odbc
