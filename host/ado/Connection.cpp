#include "host/ado/Connection.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <utility>

#include "host/ado/ConnectionPool.h"
#include "host/ado/Errors.h"
#include "host/ado/ExcelSource.h"
#include "host/ado/Odbc.h"
#include "host/base/RuntimeError.h"
#include "host/files/XlsxStore.h"
#include "host/olap/CubeConnection.h"

namespace host::ado {

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

}  // namespace

// The SQLite driver waits for a locked database as long as its own time-out, fixed when it connects:
// once while opening, and once while preparing and once while running a statement. Half the smaller
// time-out keeps both within their limits.
long long Connection::driverLockWait() const {
    return std::max(1LL, std::min(milliseconds(connectionTimeout), milliseconds(commandTimeout)) / 2);
}

Connection::Connection() = default;
Connection::~Connection() { release(); }

void Connection::open(const std::string& connectionText, const std::string& user, const std::string& password) {
    if (state() == adStateOpen) throw RuntimeError(kObjectOpen, objectModelDescription(kObjectOpen));
    std::shared_ptr<const ConnectionPlan> planned = pool::plan(connectionText, user, password);
    const ConnectionPlan& plan = *planned;
    if (plan.route == ConnectionRoute::Olap) {
        olap_ = std::make_unique<olap::CubeConnection>(connectionText, user, password, connectionTimeout);
        plan_ = std::move(planned);
        return;
    }
    struct stat file {};
    if (!plan.databaseFile.empty() && stat(plan.databaseFile.c_str(), &file) != 0)
        throw RuntimeError(kDriverError, "[" + plan.component + "] Could not find file '" + plan.databaseFile + "'.");
    // The text the driver manager receives, extended into the pool key of a pooled link.
    std::string text;
    text.reserve(plan.odbcText.size() + 64);
    text = plan.odbcText;
    if (plan.sqlite) {
        text += "Timeout=";
        appendNumber(text, static_cast<unsigned long long>(driverLockWait()));
        text += ';';
    }
    const std::size_t odbcLength = text.size();
    std::string key;  // "" for a link that is not pooled
    std::unique_ptr<odbc::ConnectionHandle> handle;
    if (pooled(plan)) {
        appendPoolKey(text, plan, file);
        key = std::move(text);
        handle = pool::take(key);
        if (!handle) handle = connect(plan, key.substr(0, odbcLength));
    } else {
        handle = connect(plan, text);
    }
    if (plan.route == ConnectionRoute::Excel)
        excel_ = std::make_unique<ExcelSource>(*handle, plan.workbookPath,
                                               workbookStore ? workbookStore : std::make_shared<files::XlsxStore>());
    handle_ = std::move(handle);
    plan_ = std::move(planned);
    poolKey_ = std::move(key);
    failed_ = false;
}

std::unique_ptr<odbc::ConnectionHandle> Connection::connect(const ConnectionPlan& plan,
                                                            const std::string& odbcText) const {
    auto handle = std::make_unique<odbc::ConnectionHandle>();
    if (plan.readOnly) handle->setReadOnly();
    if (plan.sqlite) handle->addSqliteSession(plan.route == ConnectionRoute::Access);
    handle->connect(odbcText, connectionTimeout, plan.component);
    if (plan.readOnly && plan.sqlite) odbc::execute(*handle, "PRAGMA query_only = 1", plan.component);
    return handle;
}

int Connection::state() const { return olap_ || (handle_ && handle_->connected()) ? adStateOpen : adStateClosed; }

bool Connection::multipleResults() const { return !excel_ && handle_ && handle_->connected() && handle_->multipleResults(); }

void Connection::close() {
    if (state() != adStateOpen) throw RuntimeError(kObjectClosed, objectModelDescription(kObjectClosed));
    release();
}

void Connection::release() noexcept {
    excel_.reset();
    olap_.reset();
    if (handle_ && handle_->connected() && !poolKey_.empty() && !failed_)
        pool::give(std::exchange(poolKey_, std::string()), std::move(handle_));
    handle_.reset();
}

const std::string& Connection::prepare(const std::string& sql, std::string& rewritten) {
    if (!excel_) return sql;
    rewritten = excel_->prepare(sql);
    return rewritten;
}

}  // namespace host::ado
