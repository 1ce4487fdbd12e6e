#include "data/F_zOLAP2.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/F_000.h"
#include "data/F_zOLAPQuery.h"
#include "data/P_Archiwum.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/odbc/SqlStatements.h"

namespace telm {

using host::Variant;

namespace {

constexpr int kNoValueMessage = 1026;
// Positions in an expression are 16-bit, and the scan runs one past the end.
constexpr long kMaxExpressionLength = 32766;
constexpr long kMaxMaskListLength = 255;

using host::CompareMethod;

// A part of a text between two operators, with the operator written before it (0 for the part
// before a leading operator).
struct SignedPart {
    char sign;
    std::string text;
};

// One part per operator position of `text` and one for its end. The operators are single ASCII
// characters, which never occur inside a multi-byte character.
std::vector<SignedPart> signedParts(const std::string& text, char plus, char minus) {
    std::vector<SignedPart> parts;
    char sign = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != plus && text[i] != minus) continue;
        parts.push_back({sign, text.substr(start, i - start)});
        if (i < text.size()) {
            sign = text[i];
            start = i + 1;
        }
    }
    return parts;
}

// `text` with `sign` in front when it begins with neither operator.
std::string withLeadingOperator(const std::string& text, char plus, char minus, char sign) {
    const std::string first = host::Left(text, 1);
    if (first == std::string(1, plus) || first == std::string(1, minus)) return text;
    return std::string(1, sign) + text;
}

// What a builder gets at each mask position: the term's measure name, the mask (empty between two
// operators) and whether its partial sum is added.
using MaskVisitor = std::function<void(const std::string& name, const std::string& mask, bool added)>;

// Walks the terms of a measure expression and, in every non-empty term, each mask position of its
// list.
void forEachMaskPosition(const std::string& expressionText, const MaskVisitor& visit) {
    const std::string expression = withLeadingOperator(expressionText, '+', '-', '+');
    if (host::Len(expression) > kMaxExpressionLength) throw host::RuntimeError(host::err::Overflow);
    for (const SignedPart& term : signedParts(expression, '+', '-')) {
        if (term.text.empty()) continue;
        const long slash = host::InStr(term.text, "/");
        if (slash == 0) throw host::RuntimeError(host::err::InvalidProcedureCall);
        const std::string name = host::Left(term.text, slash - 1);
        const std::string list =
            withLeadingOperator(host::Mid(term.text, slash + 1, kMaxMaskListLength), '>', '<', '>');
        for (const SignedPart& mask : signedParts(list, '>', '<'))
            visit(name, mask.text, (mask.sign == '>') == (term.sign == '+'));
    }
}

// Format(k, "00").
std::string twoDigits(long k) { return (k < 10 ? "0" : "") + std::to_string(k); }

// The answer after a failure of the OLAP2 worker.
Variant failureResult(std::string failureText) {
    if (host::InStr(failureText, "cannot find", CompareMethod::Text) > 0)
        failureText = GetMessageText(kNoValueMessage) + " / " + failureText;
    return LevelRuleResult(failureText);
}

// An exact code: the template compares with "=" and keeps no LIKE wildcards.
std::string exactCodeTemplate(const std::string& sqlTemplate) {
    std::string rewritten = host::Replace(sqlTemplate, "LIKE", "=", 1, -1, CompareMethod::Text);
    rewritten = host::Replace(rewritten, "%", "");
    if (host::InStr(rewritten, "_ = ", CompareMethod::Text) == 0) rewritten = host::Replace(rewritten, "_", "");
    return rewritten;
}

// Fails unless `value` stays where the SQL puts it at every place `placeholder` stands in `sql`
// (letter case ignored): a mask inside the template's quoted literal, a measure name as one word.
void requireInPlace(const std::string& sql, const std::string& placeholder, const std::string& value) {
    std::string lower = sql;  // ASCII letters only: byte positions stay
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (std::size_t at = lower.find(placeholder); at != std::string::npos; at = lower.find(placeholder, at + 1))
        if (!host::ado::staysInPlace(sql, at, value)) throw host::RuntimeError(host::err::InvalidProcedureCall);
}

}  // namespace

std::string BuildMemberSet(const std::string& mask, bool cross, const std::string& filter) {
    std::string list;
    const long length = host::Len(mask);
    for (long k = 1; k <= length; ++k) {
        const std::string c = host::Mid(mask, k, 1);
        if (c == "?" || c == "*") continue;
        const std::string dimension = "[a" + twoDigits(k) + "]";
        const std::string item = c == "#" ? dimension + ".&[]" : dimension + ".[" + c + "]";
        list += "," + (cross ? "{" + item + "}" : item);
    }
    std::string result = host::Mid(list, 2);
    if (cross) result = host::Replace(result, "},{", "}*{");
    if (!filter.empty()) result = "FILTER(" + result + "," + filter + ")";
    return result;
}

std::string BuildMdxFromExpression(const std::string& measurePrefix, std::string expression, const std::string& filter) {
    std::string sums;
    forEachMaskPosition(expression, [&](const std::string& name, const std::string& mask, bool added) {
        if (mask.empty()) return;
        const std::string set = BuildMemberSet(mask, true, filter);
        sums += std::string(added ? "+" : "-") + "SUM(" + (set.empty() ? "{[a01].children}" : set) + ",[Measures]." +
                measurePrefix + name + "])";
    });
    return "WITH MEMBER [Measures].[wynik] AS '0" + sums + "' SELECT {[Measures].[wynik]} ON 0";
}

std::string BuildSqlUnion(const std::string&, const std::string&, std::string expression,
                          const std::string& givenTemplate) {
    std::string unions;
    std::int16_t number = 0;
    forEachMaskPosition(expression, [&](const std::string& name, const std::string& maskText, bool added) {
        if (!maskText.empty()) {
            std::string sqlTemplate = givenTemplate;  // an exact code changes only its own partial sum
            std::string mask = host::Replace(host::Replace(maskText, "*", "%"), "?", "_");
            if (host::Right(mask, 1) == "#") {
                mask = host::Left(mask, host::Len(mask) - 1);
                sqlTemplate = exactCodeTemplate(sqlTemplate);
            }
            requireInPlace(sqlTemplate, "{konto}", mask);
            requireInPlace("SUM({name})", "{name}", name);
            const std::string sql = host::Replace(sqlTemplate, "{konto}", mask, 1, -1, CompareMethod::Text);
            unions += " UNION SELECT " + std::to_string(number) + " AS nrw, " + (added ? "+" : "-") + "1*SUM(" +
                      host::UCaseEachChar(name) + ") AS pole " + sql;
        }
        if (number == std::numeric_limits<std::int16_t>::max()) throw host::RuntimeError(host::err::Overflow);
        ++number;
    });
    return "SELECT SUM(pole) FROM (" + host::Mid(unions, 8) + ") AS MyAlias";
}

Variant GetDataOlap2(const std::string& dataSource, const std::string& catalogue, const std::string& cube,
                     const std::string& measurePrefix, const std::string& expression, std::string& options,
                     const std::string& where, const std::string& mode, const std::string& filter) {
    auto& s = SharedState();
    IgnoringErrors(PrepareVolatileCall);  // preparing the host is best effort here
    if (s.InfoSheetValue.isEmpty()) s.InfoSheetValue = false;
    // A cell reports only its own failure, never what an earlier cell left behind.
    s.ErrorDetail.clear();
    s.ErrorText.clear();
    try {
        std::string connection;
        if (host::Len(mode) <= 1) {
            if (host::InStr(options, "user id=", CompareMethod::Text) == 0 &&
                host::UCase(host::Right(dataSource, 4)) != ".CUB")
                options += ";Prompt=1";
            connection = OlapConnectionText(dataSource, catalogue, options);
        }
        const std::string mdx = BuildMdxFromExpression(measurePrefix, expression, filter) + " FROM " + cube + " " +
                                (where.empty() ? "" : "WHERE (" + where + ")");
        if (mode == "mdx") return mdx;
        if (host::Left(mode, 6) == "mdxRS:")
            return BuildMdxFromExpression(measurePrefix, expression, "") + host::Mid(mode, 7, 10000) + " FROM " + cube;
        if (s.DescribeModeRequested) s.DescribeModeActive = true;
        IncrementCounter(s.DataFunctionCallCount);
        const std::string key = OlapRequestKey(connection, mdx);
        if (!s.ArchiveOperationActive)
            if (auto archived = ArchiveDecision(key, ArchiveOrder::EmptyTwinFirst)) return *archived;
        if (s.DescribeModeActive) return key;
        const Variant value = RunOlapQueryOrBuffer(dataSource, connection, mdx);
        return IsFailureText(value) ? failureResult(value.stringValue()) : value;
    } catch (const host::RuntimeError& e) {
        if (s.ErrorDetail.empty()) s.ErrorDetail = e.description();
        return failureResult(PendingFailureText());
    }
}

}  // namespace telm
