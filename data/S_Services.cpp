#include "data/S_Services.h"

#include <chrono>
#include <functional>

#include "core/A_Deklaracje.h"
#include "core/F_Pomocnicze.h"
#include "data/F_MivraADO.h"
#include "data/S_ServiceManager.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/os/Browser.h"

namespace telm {

using host::Variant;

namespace {

constexpr std::string_view kKeySeparator = "(:)";
constexpr std::string_view kPayloadSeparator = "(::)";
constexpr const char* kUnionAll = " UNION ALL ";
constexpr long kUnionAllLength = 11;
constexpr long kDefaultSqlLength = 2000;
constexpr int kMaxPageAttempts = 200;
constexpr int kMaxReadyPolls = 200;
// A page that never answers with its markers is not asked again after this long.
constexpr std::chrono::seconds kTranslationTimeLimit{30};

// One request taken apart: the text between "(:)" and "(::)" and everything after "(::)".
struct Request {
    std::string key;
    std::string payload;
};

Request split(const std::string& request) {
    const std::size_t a = request.find(kKeySeparator);
    const std::size_t b = request.find(kPayloadSeparator);
    if (a == std::string::npos || b == std::string::npos || b < a + kKeySeparator.size())
        throw host::RuntimeError(host::err::InvalidProcedureCall);
    return {request.substr(a + kKeySeparator.size(), b - a - kKeySeparator.size()),
            request.substr(b + kPayloadSeparator.size())};
}

// The requests in runs of one key (connection text or language pair, compared exactly), in order.
// Equal keys lie together in the sorted list, so each request belongs to exactly one run.
std::vector<std::pair<std::string, std::vector<std::string>>> groupsOf(const std::vector<std::string>& requests) {
    std::vector<std::pair<std::string, std::vector<std::string>>> groups;
    for (const std::string& r : requests) {
        Request parts = split(r);
        if (groups.empty() || groups.back().first != parts.key) groups.emplace_back(parts.key, std::vector<std::string>{});
        groups.back().second.push_back(std::move(parts.payload));
    }
    return groups;
}

// Runs a source call with ServiceDirectCall set, as a data function's own call.
Variant directCall(const std::function<Variant()>& call) {
    auto& s = SharedState();
    s.ServiceDirectCall = true;
    Variant answer = call();
    s.ServiceDirectCall = false;
    return answer;
}

Variant adoQuery(const std::string& connection, const std::string& sql) {
    return directCall([&] {
        bool serverCalculationAllowed = false;
        return GetDataAdoCore(connection, sql, false, serverCalculationAllowed);
    });
}

// The model parameter ADOSERVICESQLLENGHT as a whole number; 0, absent or not a number: 2000.
long sqlLengthLimit() {
    const Variant value(GetParamValue("ADOSERVICESQLLENGHT", SharedState().ModelParameters, ";"));
    const long limit = host::isNumeric(value) ? value.toLong() : 0;
    return limit == 0 ? kDefaultSqlLength : limit;
}

struct Batch {
    std::string text;  // every statement preceded by " UNION ALL "
    long characters = 0;
    long count = 0;
    long first = 0;  // the group position of its first statement
};

std::vector<Batch> batchesOf(const std::vector<std::string>& statements, long limit) {
    std::vector<Batch> batches(1);
    for (long k = 0; k < static_cast<long>(statements.size()); ++k) {
        const std::string& sql = statements[static_cast<std::size_t>(k)];
        const long length = host::Len(sql);
        if (batches.back().characters + length > limit) batches.push_back(Batch{{}, 0, 0, k});
        Batch& b = batches.back();
        b.text += kUnionAll + sql;
        b.characters += kUnionAllLength + length;
        ++b.count;
    }
    return batches;
}

// The value a statement run alone stores: "." for several rows, else its first value.
Variant singleAnswer(const Variant& answer) {
    if (!answer.isArray()) return answer;
    const host::Array& rows = answer.arrayValue();
    if (rows.count(1) > 1) return ".";
    return rows.count(1) == 0 ? Variant() : rows(rows.lbound(1), rows.lbound(2));
}

void runBatch(const std::string& connection, const std::vector<std::string>& statements, const Batch& batch) {
    const std::string sql = batch.text.substr(std::string_view(kUnionAll).size());
    const Variant answer = adoQuery(connection, sql);
    auto oneAtATime = [&] {
        for (long i = 0; i < batch.count; ++i)
            StoreServiceResult(singleAnswer(adoQuery(connection, statements[static_cast<std::size_t>(batch.first + i)])));
    };
    if (answer.isArray()) {
        const host::Array& rows = answer.arrayValue();
        const bool table = rows.dimensions() == 2;
        if (table && rows.count(1) == batch.count) {
            for (long r = 0; r < batch.count; ++r) StoreServiceResult(rows(rows.lbound(1) + r, rows.lbound(2)));
        } else if (table && rows.count(2) > 1) {
            for (long i = 0; i < batch.count; ++i) StoreServiceResult(">>" + std::to_string(batch.first + i));
        } else {
            oneAtATime();
        }
    } else if (batch.count == 1 && host::equals(answer, ".")) {
        StoreServiceResult(".");
    } else {
        oneAtATime();
    }
}

// The address of the translation page from the model's parameters.
std::string translationPage() {
    const std::string page = GetParamValue(kTranslationPageKey, SharedState().ModelParameters, ";");
    if (page.empty() || page == kParamNotFound)
        throw host::RuntimeError(host::err::InvalidProcedureCall,
                                 "No translation page: the data model's parameters name none (TranslationPage=http://...).");
    return page;
}

// Loads the page until its body shows the framed translation with the first numbered marker; the text
// between the second "XXX. " and the following " .XXX" of the last body that showed the framing.
std::string translateThroughPage(const std::string& address) {
    host::os::Browser browser;
    std::string result;
    long second = 0;
    const auto deadline = std::chrono::steady_clock::now() + kTranslationTimeLimit;
    for (int attempt = 1; attempt <= kMaxPageAttempts; ++attempt) {
        browser.navigate(address);
        for (int poll = 1; poll <= kMaxReadyPolls && browser.readyState() != host::os::Browser::Complete; ++poll) {
        }
        std::string body;
        try {
            body = browser.bodyText();
        } catch (const host::RuntimeError&) {  // a page not loaded reads as an empty body
        }
        const long first = host::InStr(body, "XXX.", host::CompareMethod::Text);
        if (first > 0) {
            second = host::InStr(first + 1, body, "XXX.", host::CompareMethod::Text);
            long closing = host::InStr(second + 1, body, "XXX", host::CompareMethod::Text);
            if (closing == 0) closing = 30000;
            result = second == 0 ? "###" : host::Mid(body, second + 5, closing - second - 6);
        }
        if (host::InStr(result, "<0>") > 0 && second > 0) break;
        // A browser that gives no page at all, or a page that keeps failing, is not asked for ever.
        if (browser.loadFailed() || std::chrono::steady_clock::now() > deadline) break;
    }
    return result;
}

std::string marker(long k) {
    std::string m = "<";
    m += std::to_string(k);
    m += '>';
    return m;
}

}  // namespace

void RunAdoService(const std::vector<std::string>& requests) {
    auto& app = ExcelApplication();
    for (const auto& [connection, statements] : groupsOf(requests)) {
        const long limit = sqlLengthLimit();
        const std::vector<Batch> batches = batchesOf(statements, limit);
        for (std::size_t b = 0; b < batches.size(); ++b) {
            // A statement longer than the limit leaves the batch before it without statements.
            if (batches[b].count == 0) continue;
            app.setStatusBar("ADO Service /" + std::to_string(limit) + " /" + std::to_string(b + 1) + " : " +
                             connection + "...");
            runBatch(connection, statements, batches[b]);
        }
    }
}

Variant TranslateText(const Variant& text, const std::string& source, const std::string& target) {
    auto& s = SharedState();
    ExcelApplication().markVolatile(true);
    if (s.ServicesOff) return "GTS!";
    const std::string content = text.toString();
    if (content.empty()) return std::string();
    try {
        const std::string address =
            translationPage() + "#" + source + "|" + target + "|XXX. " + content + " .XXX%0A";
        const std::string request = "GTS(:)" + source + target + "(::)" + content;
        if (!s.ServiceDirectCall) {
            if (s.ServiceCollecting) {
                AddServiceRequest(request);
                return "TELM.NET & Google...";
            }
            return GetServiceResult(request);
        }
        return translateThroughPage(address);
    } catch (const host::RuntimeError& e) {
        return e.description();
    }
}

void RunTranslationService(const std::vector<std::string>& requests) {
    auto& app = ExcelApplication();
    for (const auto& [pair, texts] : groupsOf(requests)) {
        const std::string source = host::Left(pair, 2);
        const std::string target = host::Mid(pair, 3);
        app.setStatusBar("Google Translation Service (" + source + ">" + target + ")");
        std::string joined;
        for (long k = 0; k < static_cast<long>(texts.size()); ++k)
            joined += marker(k) + texts[static_cast<std::size_t>(k)] + marker(k);
        const std::string answer = directCall([&] { return TranslateText(joined, source, target); }).toString();
        for (long k = 0; k < static_cast<long>(texts.size()); ++k) {
            const std::string m = marker(k);
            const long start = host::InStr(answer, m);
            const long end = start > 0 ? host::InStr(start + 1, answer, m) : 0;
            // The text between the two markers without the character just before the closing one.
            StoreServiceResult(start > 0 && end > 0 ? host::Replace(host::Mid(answer, start, end - start - 1), m, "")
                                                    : std::string("..."));
        }
    }
    app.setCalculation(host::sheet::CalculationMode::Automatic);
}

}  // namespace telm
