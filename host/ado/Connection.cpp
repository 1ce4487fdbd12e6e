#include "host/ado/Connection.h"

#include <utility>

#include "host/ado/Errors.h"
#include "host/base/RuntimeError.h"
#include "host/files/XlsxStore.h"
#include "host/odbc/ConnectionPool.h"
#include "host/odbc/ExcelSource.h"
#include "host/odbc/Link.h"
#include "host/odbc/Odbc.h"
#include "host/olap/CubeConnection.h"

namespace host::ado {

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
    std::string key;  // "" for a link that is not pooled
    std::unique_ptr<odbc::ConnectionHandle> handle = odbc::openLink(planned, connectionTimeout, commandTimeout, key, calculation);
    if (plan.route == ConnectionRoute::Excel)
        excel_ = std::make_unique<ExcelSource>(*handle, plan.workbookPath,
                                               workbookStore ? workbookStore : std::make_shared<files::XlsxStore>());
    handle_ = std::move(handle);
    plan_ = std::move(planned);
    poolKey_ = std::move(key);
    failed_ = false;
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
    odbc::releaseLink(handle_, poolKey_, failed_);
}

const std::string& Connection::prepare(const std::string& sql, std::string& rewritten) {
    if (!excel_) return sql;
    rewritten = excel_->prepare(sql);
    return rewritten;
}

}  // namespace host::ado
