#include "data/clsF000.h"

#include <atomic>
#include <system_error>
#include <thread>

#include "core/A_Deklaracje.h"
#include "core/P_Interfejs.h"
#include "core/P_ObslBledow.h"
#include "data/F_000.h"
#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/files/XlsxStore.h"
#include "host/olap/CubeDatabase.h"
#include "host/sheet/Application.h"
#include "host/sheet/Calculator.h"
#include "host/ui/Dialogs.h"
#include "host/ui/Secrets.h"

namespace telm {

using host::Variant;

namespace {

bool mentions(const std::string& text, std::string_view name) {
    return host::InStr(text, name, host::CompareMethod::Text) > 0;
}

std::string failureText() {
    const auto& s = SharedState();
    return host::ui::maskPasswords("#" + s.ErrorDetail + " / " + s.ErrorText);
}

// ---- the login cache: AuthorisationTable, a 0-based list of "connection(:)user(::)password" ----

// Calls `visit` with the text of each item of the login cache, in order, without copying the texts.
template <class Visit>
void forEachCacheItem(Visit visit) {
    const Variant& table = SharedState().AuthorisationTable;
    if (!table.isArray()) return;
    for (const Variant& item : table.arrayValue().elements()) {
        if (item.isString()) visit(item.stringValue());
        else visit(item.toString());
    }
}

// Sets AuthorisationUser and AuthorisationPassword from the last entry of the connection text
// (exact, case-sensitive prefix).
void lookUpCredentials(const std::string& connection) {
    auto& s = SharedState();
    // The markers are ASCII: byte offsets cut the texts where character positions would.
    const std::size_t start = connection.size() + 3;  // past "connection(:)"
    forEachCacheItem([&](const std::string& item) {
        if (!item.starts_with(connection) || item.compare(connection.size(), 3, "(:)") != 0) return;
        const std::size_t split = item.find("(::)");
        if (split == std::string::npos) {
            s.AuthorisationUser = item.substr(start);
            s.AuthorisationPassword.clear();
            return;
        }
        // "(::)" inside the connection text: the user's length would be negative.
        if (split < start) throw host::RuntimeError(host::err::InvalidProcedureCall);
        s.AuthorisationUser = item.substr(start, split - start);
        s.AuthorisationPassword = item.substr(split + 4);
    });
}

// Whether the entry occurs in the cache's items joined with ";".
bool cacheHolds(const std::string& entry) {
    // Found within one item (a login that worked before), it is found in the joined text too.
    bool withinItem = false;
    forEachCacheItem([&](const std::string& item) { withinItem = withinItem || item.find(entry) != std::string::npos; });
    if (withinItem) return true;
    std::vector<std::string> items;
    forEachCacheItem([&](const std::string& item) { items.push_back(item); });
    return host::InStr(host::Join(items, ";"), entry) > 0;
}

// Adds the entry of the credentials that worked, unless the table holds it already; then drops every
// item without "(::)" (the empty item of a fresh table).
void rememberCredentials(const std::string& connection) {
    auto& s = SharedState();
    std::string entry;
    entry.reserve(connection.size() + s.AuthorisationUser.size() + s.AuthorisationPassword.size() + 7);
    entry.append(connection).append("(:)").append(s.AuthorisationUser).append("(::)").append(s.AuthorisationPassword);
    if (cacheHolds(entry)) return;
    std::vector<Variant> kept;
    forEachCacheItem([&](const std::string& item) {
        if (host::InStr(item, "(::)") > 0) kept.emplace_back(item);
    });
    kept.emplace_back(entry);  // holds "(::)" itself
    s.AuthorisationTable = host::Array::vector(std::move(kept));
}

void clearCredentials() {
    SharedState().AuthorisationUser.clear();
    SharedState().AuthorisationPassword.clear();
}

// Runs one step of the SQL primitive, executing it again after a dBase failure (without credentials,
// at most kDbaseRetries times) and after a refused login of a known server (with the credentials
// typed in the login dialog, until the step succeeds or the dialog is left empty).
template <class Step>
void runStep(const std::string& connection, Step step) {
    auto& s = SharedState();
    for (int dbaseRetries = 0;;) {
        try {
            step();
            return;
        } catch (const host::RuntimeError& e) {
            if (e.number() == host::ado::kDriverError && mentions(e.description(), "dbase") &&
                dbaseRetries < kDbaseRetries) {
                ++dbaseRetries;
                clearCredentials();
                continue;
            }
            if (!IsRefusedLoginOfKnownServer(e.number(), e.description())) throw;
            try {
                LoginDialog(connection);
            } catch (const host::RuntimeError& dialogError) {
                throw LoginDialogFailed(dialogError.description());
            }
            s.AuthorisationUser = s.LoginUser;
            s.AuthorisationPassword = s.LoginPassword;
            if (s.AuthorisationUser.empty() || s.AuthorisationPassword.empty()) throw;
        }
    }
}

// The login-cache name of the server that a cube connection text with "Prompt=1" logs in to
// ("Provider=MSOLAP;Data Source=NAME"); "" for a text without it or for a cube file.
std::string promptedOlapServer(const std::string& connection) {
    const auto items = host::olap::parseProviderText(connection);
    const std::string dataSource = host::olap::providerItem(items, "Data Source");
    if (host::olap::providerItem(items, "Prompt") != "1" || !host::olap::providerItem(items, "Location").empty() ||
        dataSource.empty() || host::UCase(host::Right(dataSource, 4)) == ".CUB")
        return {};
    return "Provider=MSOLAP;Data Source=" + dataSource;
}

}  // namespace

bool IsRefusedLoginOfKnownServer(int number, const std::string& description) {
    if (number == host::ado::kDriverError) return mentions(description, "MySQL");
    if (number != host::ado::kLoginRefused) return false;
    return mentions(description, "SQL Server") || mentions(description, "Oracle") ||
           mentions(description, "PostgreSQL");
}

clsF000::clsF000() = default;
clsF000::~clsF000() = default;

host::sheet::Application& clsF000::privateExcel() {
    if (!excel_) {
        excel_ = host::sheet::Application::create();
        host::files::attachWorkbookStore(*excel_);
    }
    return *excel_;
}

Variant clsF000::lacze000(std::string& link) {
    auto& s = SharedState();
    try {
        PrepareVolatileCall();
        privateExcel().displayAlerts = false;
        s.ErrorText = "#Err: " + link;
        Variant value = privateExcel().executeExcel4Macro(link);
        if (value.isError()) {
            s.ErrorDetail.clear();
            return failureText();
        }
        IncrementCounter(s.ExternalQueryCount);
        s.ErrorText.clear();
        return value;
    } catch (const host::RuntimeError& e) {
        s.ErrorDetail = e.description();
        return failureText();
    }
}

Variant clsF000::zOLAP000(const std::string& connection, const std::string& mdx, bool asArray) {
    auto& s = SharedState();
    Variant result;
    try {
        PrepareVolatileCall();
        if (!olapConnection_) olapConnection_ = std::make_unique<host::ado::Connection>();
        if (!olapRecordset_) olapRecordset_ = std::make_unique<host::ado::Recordset>();
        s.ErrorText.assign("Err: ").append(connection);
        if (const std::string server = promptedOlapServer(connection); server.empty()) {
            olapConnection_->open(connection);
        } else {
            // The login of that server kept for the session, else the login dialog as the SQL route has it.
            clearCredentials();
            lookUpCredentials(server);
            runStep(server, [&] { olapConnection_->open(connection, s.AuthorisationUser, s.AuthorisationPassword); });
            if (!s.AuthorisationUser.empty()) rememberCredentials(server);
            clearCredentials();
        }
        s.ErrorText = "Err: " + mdx;
        olapRecordset_->open(mdx, *olapConnection_, host::ado::adOpenForwardOnly, host::ado::adLockReadOnly);
        s.ErrorText = "Err. unrecognized";
        Variant rows = olapRecordset_->getRows();
        if (asArray) {
            for (Variant& item : rows.arrayValue().elements())
                if (item.isNull()) item = ".";
            result = rows;
        } else {
            const Variant& first = rows.arrayValue()(0, 0);
            result = host::isNumeric(first) && !first.isEmpty() ? first : Variant::integer(0);
        }
        IncrementCounter(s.ExternalQueryCount);
        s.ErrorText.clear();
    } catch (const host::RuntimeError& e) {
        s.ErrorDetail = e.description();
        result = failureText();
    }
    try {
        if (olapRecordset_ && olapRecordset_->state() == host::ado::adStateOpen) olapRecordset_->close();
        if (olapConnection_ && olapConnection_->state() == host::ado::adStateOpen) olapConnection_->close();
    } catch (const host::RuntimeError&) {  // closing is best effort, as the primitive's last step
    }
    return result;
}

std::vector<std::vector<Variant>> clsF000::eachResultsAtOnce(const std::string& connection,
                                                             const std::vector<std::string>& texts, int connections) {
    auto& s = SharedState();
    std::vector<std::vector<Variant>> results(texts.size());
    clearCredentials();
    lookUpCredentials(connection);
    const std::string user = s.AuthorisationUser, password = s.AuthorisationPassword;
    clearCredentials();
    std::vector<std::unique_ptr<host::ado::Connection>> links;
    while (static_cast<int>(links.size()) < connections && links.size() < texts.size()) {
        auto link = std::make_unique<host::ado::Connection>();
        link->calculation = ExcelApplication().calculator().calculationNumber();
        try {
            link->open(connection);
        } catch (const host::RuntimeError&) {  // a source that needs credentials: opened below with them
        }
        try {
            if (link->state() == host::ado::adStateClosed) link->open(connection, user, password);
        } catch (const host::RuntimeError&) {
            break;
        }
        if (!link->multipleResults()) break;
        links.push_back(std::move(link));
    }
    // Each connection takes the next text not taken yet; what a text's failure leaves empty runs alone
    // later, where the failure is reported as the cell's own.
    std::atomic<std::size_t> next{0};
    auto run = [&](host::ado::Connection& link) {
        for (std::size_t t = next++; t < texts.size(); t = next++) {
            try {
                host::ado::Recordset rows;
                rows.open(texts[t], link);
                std::vector<Variant> each;
                do
                    each.push_back(rows.recordCount() ? rows.getRows() : Variant());
                while (rows.nextRecordset());
                results[t] = std::move(each);
            } catch (...) {
            }
        }
    };
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < links.size(); ++i) {
        try {
            others.emplace_back(run, std::ref(*links[i]));
        } catch (const std::system_error&) {  // no thread to be had: the connections running take its texts
            break;
        }
    }
    if (!links.empty()) run(*links.front());
    for (auto& other : others) other.join();
    for (const auto& each : results)
        if (!each.empty()) IncrementCounter(s.ExternalQueryCount);
    return results;
}

Variant clsF000::funkcjaADO000(const std::string& connection, const Variant& sql, std::vector<Variant>* eachResult) {
    auto& s = SharedState();
    // The connection and recordset live for this call only.
    struct Release {
        clsF000& self;
        ~Release() {
            self.adoRecordset_.reset();
            self.adoConnection_.reset();
        }
    } release{*this};
    adoConnection_.emplace();
    adoConnection_->calculation = ExcelApplication().calculator().calculationNumber();
    adoRecordset_.emplace();

    try {
        runStep(connection, [&] {
            PrepareVolatileCall();
            s.ErrorText.assign("Err: ").append(connection);
            clearCredentials();
            lookUpCredentials(connection);
        });
        try {
            adoConnection_->open(connection);
        } catch (const host::RuntimeError&) {  // a source that needs credentials: opened below with them
        }
        runStep(connection, [&] {
            if (adoConnection_->state() == host::ado::adStateClosed)
                adoConnection_->open(connection, s.AuthorisationUser, s.AuthorisationPassword);
        });
        if (eachResult && !adoConnection_->multipleResults()) return Variant();
        std::string converted;  // the statement's text when it is no text already
        const std::string& statement = sql.isString() ? sql.stringValue() : (converted = sql.toString());
        runStep(connection, [&] {
            s.ErrorText.assign("Err: ").append(statement);
            adoRecordset_->open(statement, *adoConnection_, host::ado::adOpenDynamic, host::ado::adLockBatchOptimistic);
            adoRecordset_->updateBatch(host::ado::adAffectAll);
        });
        Variant rows;
        runStep(connection, [&] {
            s.ErrorText = "Err.";
            if (!eachResult) rows = adoRecordset_->getRows();
            rememberCredentials(connection);
            clearCredentials();
            IncrementCounter(s.ExternalQueryCount);
            s.ErrorText.clear();
            s.FieldNames.clear();
            if (eachResult) {
                do
                    eachResult->push_back(adoRecordset_->recordCount() ? adoRecordset_->getRows() : Variant());
                while (adoRecordset_->nextRecordset());
                return;
            }
            const auto& fields = adoRecordset_->fields();
            for (long f = 0; f < fields.Count(); ++f) s.FieldNames.emplace_back(fields.Name(f));
        });
        return rows;
    } catch (const host::RuntimeError& e) {
        s.ErrorDetail = e.description();
        Variant failure = host::Array::vector({Variant(failureText())});
        if (e.number() == host::ado::kTimedOut && s.ServiceDirectCall) ReportMessage("TimeOut Error", 0, "");
        return failure;
    }
}

void clsF000::RefreshLinkEnviroment() {
    try {
        privateExcel().quit();
        excel_.reset();
        host::ui::MsgBox("OK.", host::ui::vbInformation, "TELM.NET");
    } catch (const host::RuntimeError&) {
        host::ui::MsgBox("Err.", host::ui::vbCritical, "TELM.NET");
    }
}

}  // namespace telm
