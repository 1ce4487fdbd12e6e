#include "host/ado/Connection.h"

#include <algorithm>
#include <filesystem>

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

}  // namespace

// The SQLite driver waits for a locked database as long as its own time-out, fixed when it connects:
// once while opening, and once while preparing and once while running a statement. Half the smaller
// time-out keeps both within their limits.
long long Connection::driverLockWait() const {
    return std::max(1LL, std::min(milliseconds(connectionTimeout), milliseconds(commandTimeout)) / 2);
}

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::open(const std::string& connectionText, const std::string& user, const std::string& password) {
    if (state() == adStateOpen) throw RuntimeError(kObjectOpen, objectModelDescription(kObjectOpen));
    ConnectionPlan plan = planConnection(connectionText, user, password);
    if (plan.route == ConnectionRoute::Olap) {
        olap_ = std::make_unique<olap::CubeConnection>(connectionText, user, password, connectionTimeout);
        plan_ = std::move(plan);
        return;
    }
    if (!plan.databaseFile.empty() && !std::filesystem::exists(plan.databaseFile))
        throw RuntimeError(kDriverError, "[" + plan.component + "] Could not find file '" + plan.databaseFile + "'.");
    if (plan.sqlite) plan.odbcText += "Timeout=" + std::to_string(driverLockWait()) + ";";
    auto handle = std::make_unique<odbc::ConnectionHandle>();
    if (plan.readOnly) handle->setReadOnly();
    handle->connect(plan.odbcText, connectionTimeout, plan.component);
    if (plan.readOnly && plan.sqlite) odbc::execute(*handle, "PRAGMA query_only = 1", plan.component);
    if (plan.route == ConnectionRoute::Excel)
        excel_ = std::make_unique<ExcelSource>(*handle, plan.workbookPath,
                                               workbookStore ? workbookStore : std::make_shared<files::XlsxStore>());
    handle_ = std::move(handle);
    plan_ = std::move(plan);
}

int Connection::state() const { return olap_ || (handle_ && handle_->connected()) ? adStateOpen : adStateClosed; }

void Connection::close() {
    if (state() != adStateOpen) throw RuntimeError(kObjectClosed, objectModelDescription(kObjectClosed));
    excel_.reset();
    olap_.reset();
    handle_.reset();
}

std::string Connection::prepare(const std::string& sql) { return excel_ ? excel_->prepare(sql) : sql; }

}  // namespace host::ado
