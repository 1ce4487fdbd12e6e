#include "host/ado/Connection.h"

#include "host/ado/Errors.h"
#include "host/ado/ExcelSource.h"
#include "host/ado/Odbc.h"
#include "host/base/RuntimeError.h"
#include "host/files/XlsxStore.h"
#include "host/olap/CubeConnection.h"

namespace host::ado {

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
    auto handle = std::make_unique<odbc::ConnectionHandle>();
    handle->connect(plan.odbcText, connectionTimeout, plan.component);
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
