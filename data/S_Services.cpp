#include "data/S_Services.h"

#include <chrono>
#include <functional>
#include <optional>

#include "core/A_Deklaracje.h"
#include "core/F_Pomocnicze.h"
#include "data/F_000.h"
#include "data/F_MivraADO.h"
#include "data/S_ServiceManager.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/odbc/SqlStatements.h"
#include "host/os/Browser.h"

namespace telm {

using host::Variant;

namespace {

constexpr std::string_view kKeySeparator = "(:)";
constexpr std::string_view kPayloadSeparator = "(::)";
constexpr const char* kUnionAll = " UNION ALL ";
constexpr long kUnionAllLength = 11;
constexpr long kDefaultSqlLength = 2000;
// Connections over which the batches after the first run at once, so that the server works on them
// side by side.
constexpr int kConnectionsAtOnce = 4;
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

// The answer of a statement run alone, as the one-at-a-time path stores it: "." for several rows,
// else its first value.
Variant aloneAnswer(const std::string& connection, const std::string& sql) {
    const Variant answer = directCall([&] {
        bool serverCalculationAllowed = false;
        return GetDataAdoCore(connection, sql, false, serverCalculationAllowed);
    });
    if (!answer.isArray()) return answer;
    const host::Array& rows = answer.arrayValue();
    if (rows.count(1) > 1) return ".";
    return rows.count(1) == 0 ? Variant() : rows(rows.lbound(1), rows.lbound(2));
}

// The model parameter ADOSERVICESQLLENGHT as a whole number; 0, absent or not a number: 2000.
long sqlLengthLimit() {
    const Variant value(GetParamValue("ADOSERVICESQLLENGHT", SharedState().ModelParameters, ";"));
    const long limit = host::isNumeric(value) ? value.toLong() : 0;
    return limit == 0 ? kDefaultSqlLength : limit;
}

// A statement that may share a query with others: read alone it is exactly one complete statement,
// ending outside any quote, comment or bracket, so that its text cannot reach into its neighbours',
// and it is a query that can stand as a derived table.
bool joinsBatch(const std::string& sql) {
    if (!host::ado::isSingleCompleteStatement(sql)) return false;
    const std::size_t first = sql.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return false;
    const std::string word = host::UCase(host::Mid(sql, static_cast<long>(first) + 1, 6));
    return word == "SELECT" || host::Left(word, 4) == "WITH";
}

// The statements of one batch, by their positions in the connection group.
struct Batch {
    std::vector<std::size_t> members;
    long characters = 0;  // the members' texts joined with " UNION ALL ", as the length limit counts them
};

// The batches of the statements at `positions`, in order: each as many as fit in `limit` characters;
// a statement longer than the limit gets a batch of its own (and, first of all, leaves an empty one
// before it, which is not sent).
std::vector<Batch> batchesOf(const std::vector<std::string>& statements, const std::vector<std::size_t>& positions,
                             long limit) {
    std::vector<Batch> batches(1);
    for (const std::size_t k : positions) {
        const long length = host::Len(statements[k]);
        if (batches.back().characters + length > limit) batches.emplace_back();
        batches.back().members.push_back(k);
        batches.back().characters += kUnionAllLength + length;
    }
    return batches;
}

// What one statement of a batch answered, found by the tag its rows carry.
struct Answer {
    Variant value;
    bool found = false;        // its rows were read; otherwise it runs alone
    bool positional = false;   // several rows of several fields: answered ">>" & its position
};

// A statement as a derived table, so that its own ORDER BY, UNION or LIMIT stays inside it, and a
// statement that is no query (SELECT ... INTO, WITH ... DELETE) is refused by the server.
std::string derivedTable(const std::string& statement) { return "(\n" + statement + "\n) AS telm_rows"; }

// Each member wrapped as a derived table whose rows carry the member's tag (its index in the batch),
// so that every row tells whose it is.
std::string taggedQuery(const std::vector<std::string>& statements, const Batch& batch) {
    std::string sql;
    for (std::size_t i = 0; i < batch.members.size(); ++i) {
        if (i > 0) sql += kUnionAll;
        sql += "SELECT " + std::to_string(i) + " AS telm_request, telm_rows.* FROM ";
        sql += derivedTable(statements[batch.members[i]]);
    }
    return sql;
}

// A member's answer from its own rows: one row gives its first field (as a direct call shapes it),
// several rows "." (">>" for several fields). A member without rows is left to run alone, which gives
// the same answer as with the services off.
void answerFromRows(Answer& answer, std::size_t rows, long fields, const std::function<Variant()>& firstValue) {
    if (rows == 0) return;
    answer.found = true;
    if (rows == 1)
        answer.value = OneRowAnswer(firstValue());
    else if (fields > 1)
        answer.positional = true;
    else
        answer.value = ".";
}

// The batch as one text of its members, each wrapped as a derived table, joined by ";", which the
// source runs in one round trip and answers statement by statement. Each member is, read alone,
// exactly one complete statement, so the server reads the text as exactly these statements, and each
// result is its member's own, with its own types.
std::string eachResultText(const std::vector<std::string>& statements, const Batch& batch) {
    std::string sql;
    for (std::size_t i = 0; i < batch.members.size(); ++i) {
        if (i > 0) sql += ";\n";
        sql += "SELECT * FROM " + derivedTable(statements[batch.members[i]]);
    }
    return sql;
}

// Answers each member of the batch from its own result. Nothing is answered when the text failed (the
// source runs it as one transaction, so nothing of it stays done) or gave another number of results.
void answerFromEachResult(const std::vector<Variant>& results, const Batch& batch, std::vector<Answer>& answers) {
    if (results.size() != batch.members.size()) return;
    for (std::size_t i = 0; i < batch.members.size(); ++i) {
        if (!results[i].isArray() || results[i].arrayValue().dimensions() != 2) continue;
        const host::Array& table = results[i].arrayValue();  // [field, record]
        answerFromRows(answers[batch.members[i]], static_cast<std::size_t>(table.count(2)), table.count(1),
                       [&] { return table(table.lbound(1), table.lbound(2)); });
    }
}

// Runs the batch as one text of statements (eachResultText) and answers each member from its own
// result. False when the source answers a text with one result only: nothing ran then.
bool answerEachFromBatch(const std::string& connection, const std::vector<std::string>& statements, const Batch& batch,
                         std::vector<Answer>& answers) {
    std::vector<Variant> results;
    const std::string sql = eachResultText(statements, batch);
    const Variant failure = directCall([&] { return DispatchFunkcjaADO000(connection, sql, &results); });
    if (failure.isEmpty() && results.empty()) return false;
    if (failure.isEmpty()) answerFromEachResult(results, batch, answers);
    return true;
}

// Runs the batch as one query and answers each member from the rows tagged with it. Nothing is
// answered when the query fails or its rows are not all tagged with a member.
void answerFromBatch(const std::string& connection, const std::vector<std::string>& statements, const Batch& batch,
                     std::vector<Answer>& answers) {
    const Variant rows = directCall([&] { return DispatchFunkcjaADO000(connection, taggedQuery(statements, batch)); });
    if (!rows.isArray() || rows.arrayValue().dimensions() != 2) return;
    const host::Array& table = rows.arrayValue();  // [field, record]
    const long fields = table.count(1);
    if (fields < 2) return;
    const long tagField = table.lbound(1);
    std::vector<std::vector<long>> rowsOf(batch.members.size());
    for (long r = table.lbound(2); r <= table.ubound(2); ++r) {
        const Variant& tag = table(tagField, r);
        if (!tag.isNumber() || tag.toDouble() < 0 || tag.toDouble() >= static_cast<double>(batch.members.size()) ||
            tag.toDouble() != static_cast<double>(tag.toLong()))
            return;
        rowsOf[static_cast<std::size_t>(tag.toLong())].push_back(r);
    }
    for (std::size_t i = 0; i < batch.members.size(); ++i) {
        const std::vector<long>& own = rowsOf[i];
        answerFromRows(answers[batch.members[i]], own.size(), fields - 1,
                       [&] { return table(tagField + 1, own.front()); });
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

// A text as the joined page request carries it: "&", "<" and "%" (which the page decodes), and each
// "x" or "X" that would make a run of three, become numeric character references, so that no text
// holds a marker, the framing "XXX" or an escape of either, and cannot reach into another's piece.
std::string escapedText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    int xRun = 0;
    for (const char c : text) {
        const bool x = c == 'x' || c == 'X';
        xRun = x ? xRun + 1 : 0;
        if (c == '&' || c == '<' || c == '%' || (x && xRun == 3)) {
            out += "&#" + std::to_string(static_cast<unsigned char>(c)) + ';';
            xRun = 0;
        } else {
            out += c;
        }
    }
    return out;
}

// The text back from its escaped form: every "&#n;" that escapedText writes becomes its character.
std::string unescapedText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '#') {
            const std::size_t end = text.find(';', i + 2);
            const std::string code = end == std::string::npos ? std::string() : text.substr(i + 2, end - i - 2);
            if (code == "38" || code == "60" || code == "37" || code == "88" || code == "120") {
                out += static_cast<char>(std::stoi(code));
                i = end;
                continue;
            }
        }
        out += text[i];
    }
    return out;
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
        // Equal requests lie together in the sorted list: the first of a run answers for the others.
        std::vector<std::size_t> batchable;
        for (std::size_t k = 0; k < statements.size(); ++k)
            if ((k == 0 || statements[k] != statements[k - 1]) && joinsBatch(statements[k])) batchable.push_back(k);
        const long limit = sqlLengthLimit();
        const std::vector<Batch> batches = batchesOf(statements, batchable, limit);
        std::vector<Answer> answers(statements.size());
        // A source that answers a text of several statements one by one gets each batch so: the first
        // through the SQL primitive (its login, dialog and failure rules), the others at once over
        // several connections. Any other source gets each batch as one query of tagged rows.
        std::optional<bool> eachResult;
        std::vector<std::size_t> atOnce;
        for (std::size_t b = 0; b < batches.size(); ++b) {
            if (batches[b].members.empty()) continue;
            if (eachResult == true) {
                atOnce.push_back(b);
                continue;
            }
            app.setStatusBar("ADO Service /" + std::to_string(limit) + " /" + std::to_string(b + 1) + " : " +
                             connection + "...");
            if (!eachResult) eachResult = answerEachFromBatch(connection, statements, batches[b], answers);
            if (eachResult == false) answerFromBatch(connection, statements, batches[b], answers);
        }
        if (!atOnce.empty()) {
            app.setStatusBar("ADO Service /" + std::to_string(limit) + " /" + std::to_string(atOnce.size()) + " : " +
                             connection + "...");
            std::vector<std::string> texts;
            for (std::size_t b : atOnce) texts.push_back(eachResultText(statements, batches[b]));
            const auto results = DispatchEachResultsAtOnce(connection, texts, kConnectionsAtOnce);
            for (std::size_t i = 0; i < atOnce.size(); ++i) answerFromEachResult(results[i], batches[atOnce[i]], answers);
        }
        for (std::size_t k = 0; k < statements.size(); ++k) {
            if (k > 0 && statements[k] == statements[k - 1])
                answers[k] = answers[k - 1];
            else if (!answers[k].found)
                answers[k].value = aloneAnswer(connection, statements[k]);
            StoreServiceResult(answers[k].positional ? Variant(">>" + std::to_string(k)) : answers[k].value);
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
            joined += marker(k) + escapedText(texts[static_cast<std::size_t>(k)]) + marker(k);
        const std::string answer = directCall([&] { return TranslateText(joined, source, target); }).toString();
        for (long k = 0; k < static_cast<long>(texts.size()); ++k) {
            const std::string m = marker(k);
            const long start = host::InStr(answer, m);
            const long end = start > 0 ? host::InStr(start + 1, answer, m) : 0;
            // The text between the two markers without the character just before the closing one.
            StoreServiceResult(start > 0 && end > 0
                                   ? unescapedText(host::Replace(host::Mid(answer, start, end - start - 1), m, ""))
                                   : std::string("..."));
        }
    }
    app.setCalculation(host::sheet::CalculationMode::Automatic);
}

}  // namespace telm
