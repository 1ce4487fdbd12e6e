#include "host/odbc/Link.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <utility>

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

}  // namespace

std::unique_ptr<ConnectionHandle> openLink(const ConnectionPlan& plan, int connectionTimeout, int commandTimeout,
                                           std::string& poolKey) {
    struct stat file {};
    if (!plan.databaseFile.empty() && stat(plan.databaseFile.c_str(), &file) != 0)
        throw RuntimeError(kDriverError, "[" + plan.component + "] Could not find file '" + plan.databaseFile + "'.");
    // The text the driver manager receives, extended into the pool key of a pooled link.
    std::string text;
    text.reserve(plan.odbcText.size() + 64);
    text = plan.odbcText;
    if (plan.sqlite) {
        text += "Timeout=";
        appendNumber(text, static_cast<unsigned long long>(driverLockWait(connectionTimeout, commandTimeout)));
        text += ';';
    }
    const std::size_t odbcLength = text.size();
    std::unique_ptr<ConnectionHandle> handle;
    if (pooled(plan)) {
        appendPoolKey(text, plan, file);
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
