#include "host/ado/Recordset.h"

#include <algorithm>
#include <exception>
#include <iterator>

#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/Odbc.h"
#include "host/odbc/ResultRows.h"
#include "host/olap/CubeConnection.h"

namespace host::ado {

namespace {

// Sets the flag when the scope ends in an exception: a connection whose statement failed is not pooled.
class FailureWatch {
public:
    explicit FailureWatch(bool& failed) : failed_(failed) {}
    FailureWatch(const FailureWatch&) = delete;
    FailureWatch& operator=(const FailureWatch&) = delete;
    ~FailureWatch() {
        if (std::uncaught_exceptions() > pending_) failed_ = true;
    }

private:
    bool& failed_;
    const int pending_ = std::uncaught_exceptions();
};

}  // namespace

const std::string& Fields::Name(long index) const {
    if (index < 0 || index >= Count()) throw RuntimeError(err::SubscriptOutOfRange);
    return names_[static_cast<std::size_t>(index)];
}

void Recordset::open(const std::string& source, Connection& activeConnection, int, int) {
    if (open_) throw RuntimeError(kObjectOpen, objectModelDescription(kObjectOpen));
    if (activeConnection.state() != adStateOpen)
        throw RuntimeError(kConnectionUnusable, objectModelDescription(kConnectionUnusable));
    if (activeConnection.olap_) {  // MDX, answered by the cube engine
        olap::CellSet cells = activeConnection.olap_->execute(source, activeConnection.commandTimeout);
        fields_.names_ = std::move(cells.fields);
        values_.clear();
        for (auto& record : cells.records) {
            record.resize(fields_.names_.size());
            std::move(record.begin(), record.end(), std::back_inserter(values_));
        }
        recordCount_ = static_cast<long>(cells.records.size());
        open_ = true;
        return;
    }
    const FailureWatch failure(activeConnection.failed_);
    std::string rewritten;
    const std::string& sql = activeConnection.prepare(source, rewritten);
    odbc::ResultRows rows;
    std::vector<odbc::ResultRows> later;
    if (!odbc::readRows(*activeConnection.handle_, *activeConnection.plan_, sql, activeConnection.commandTimeout, rows,
                        &later))
        return;  // no result: the recordset stays closed
    std::reverse(later.begin(), later.end());
    later_ = std::move(later);
    show(std::move(rows));
}

void Recordset::show(odbc::ResultRows&& result) {
    fields_.names_ = std::move(result.names);
    values_ = std::move(result.values);
    recordCount_ = result.records;
    open_ = true;
}

int Recordset::state() const { return open_ ? adStateOpen : adStateClosed; }

void Recordset::close() {
    requireOpen();
    open_ = false;
    fields_ = Fields();
    values_.clear();
    recordCount_ = 0;
    later_.clear();
}

bool Recordset::nextRecordset() {
    requireOpen();
    if (later_.empty()) {
        close();
        return false;
    }
    odbc::ResultRows next = std::move(later_.back());
    later_.pop_back();
    show(std::move(next));
    return true;
}

long Recordset::recordCount() const {
    requireOpen();
    return recordCount_;
}

void Recordset::requireOpen() const {
    if (!open_) throw RuntimeError(kObjectClosed, objectModelDescription(kObjectClosed));
}

void Recordset::updateBatch(int) { requireOpen(); }

Variant Recordset::getRows() const {
    requireOpen();
    if (recordCount_ == 0) throw RuntimeError(kNoCurrentRecord, objectModelDescription(kNoCurrentRecord));
    Array rows({{0, fields_.Count()}, {0, recordCount_}});
    // Both hold the values record after record, field by field.
    std::copy(values_.begin(), values_.end(), rows.elements().begin());
    return rows;
}

const Fields& Recordset::fields() const {
    requireOpen();
    return fields_;
}

}  // namespace host::ado
