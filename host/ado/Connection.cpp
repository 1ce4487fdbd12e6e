#include "host/ado/Connection.h"

#include <sys/stat.h>

#include <algorithm>
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

// The key under which the connection of a plan is pooled: the text the driver manager receives,
// whether the link is read-only (set apart from the text) and, for a database file, the file's device
// and inode. "" for what is not pooled: the Excel and cube routes and databases in memory.
std::string poolKey(const ConnectionPlan& plan, const std::string& odbcText, const struct stat& file) {
    if ((plan.route != ConnectionRoute::Odbc && plan.route != ConnectionRoute::Access) || plan.inMemory) return {};
    std::string key = odbcText + (plan.readOnly ? "\nread-only" : "\nread-write");
    if (!plan.databaseFile.empty()) key += "\n" + std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino);
    return key;
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
    const std::string odbcText =
        plan.sqlite ? plan.odbcText + "Timeout=" + std::to_string(driverLockWait()) + ";" : plan.odbcText;
    std::string key = poolKey(plan, odbcText, file);
    std::unique_ptr<odbc::ConnectionHandle> handle = key.empty() ? nullptr : pool::take(key);
    if (!handle) handle = connect(plan, odbcText);
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
    handle->connect(odbcText, connectionTimeout, plan.component);
    if (plan.readOnly && plan.sqlite) odbc::execute(*handle, "PRAGMA query_only = 1", plan.component);
    return handle;
}

int Connection::state() const { return olap_ || (handle_ && handle_->connected()) ? adStateOpen : adStateClosed; }

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

std::string Connection::prepare(const std::string& sql) { return excel_ ? excel_->prepare(sql) : sql; }

}  // namespace host::ado
