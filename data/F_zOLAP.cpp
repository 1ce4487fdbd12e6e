#include "data/F_zOLAP.h"

#include <array>
#include <utility>

#include "core/A_Deklaracje.h"
#include "data/F_000.h"
#include "data/F_zOLAPQuery.h"
#include "data/P_Archiwum.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Range.h"
#include "host/sheet/Worksheet.h"

namespace telm {

using host::Variant;

namespace {

constexpr const char* kFailed = "#Błąd!";
constexpr const char* kCancelled = "Przerwane.";
constexpr const char* kNoDataForArguments = "#Brak danych dla zadanych argumentów. Zapytanie jest prawidłowe.";

// A member list "[Czas].[2012],[Produkt].&[17]" as a cross join of one-member sets
// "{[Czas].[2012]}*{[Produkt].&[17]}": the separators inside a qualified name are kept aside while
// the outer brackets become braces; "[Dim].[*]" stands for the whole dimension "{[Dim]}".
std::string crossJoinOfMembers(std::string members) {
    static constexpr std::array<std::pair<const char*, const char*>, 8> kRewrites{{
        {"],[", "]*["},
        {"].[", "###1"},
        {"].&[", "###2"},
        {"[", "{["},
        {"]", "]}"},
        {"###1", "].["},
        {"###2", "].&["},
        {".[*]", ""},
    }};
    for (const auto& [find, replaceBy] : kRewrites) members = host::Replace(members, find, replaceBy);
    return members;
}

// Whether `text` is a list of member names "[Dim].[Name],[Dim].&[Key]" ("" for none): bracketed
// segments joined by "." and items joined by ",", a segment holding no bracket or quote. Anything
// else could close the tuple, the quoted calculated member or a bracket the query puts it in.
bool isMemberList(const std::string& text, bool oneMember) {
    enum class Expect { Segment, Joint };
    Expect expect = Expect::Segment;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (expect == Expect::Joint) {
            if (c != '.' && (c != ',' || oneMember)) return false;
            expect = Expect::Segment;
            continue;
        }
        if (c == '&' && i + 1 < text.size() && text[i + 1] == '[') ++i;
        else if (c != '[') return false;
        const std::size_t close = text.find_first_of("[]'", i + 1);
        if (close == std::string::npos || text[close] != ']') return false;
        i = close;
        expect = Expect::Joint;
    }
    return expect == Expect::Joint || text.empty();
}

// The query of one calculated member "wynik": the measure summed over the member set. With no
// members the sum holds the braced measure alone.
std::string sumQuery(const std::string& cube, const std::string& measure, const std::string& memberSet) {
    const std::string mdx = "WITH MEMBER [Measures].[wynik] AS '0 + SUM(" + memberSet + "*{" + measure + "})' " +
                            "SELECT {[Measures].[wynik]} on 0 " + " FROM [" + cube + "] ";
    return host::Replace(mdx, "(*{", "({");
}

// The extra connection items: on a server, a text with a user id is replaced by the first one the
// add-in met for that server, "&" standing for ";". Another server never receives these credentials.
std::string loginItems(const std::string& dataSource, const std::string& extra) {
    auto& s = SharedState();
    if (host::UCase(host::Right(dataSource, 4)) == ".CUB" || host::InStr(host::UCase(extra), "USER ID=") == 0)
        return extra;
    const std::string& first = s.LastOlapConnections.try_emplace(host::UCase(dataSource), extra).first->second;
    return host::Replace(first, "&", ";");
}

// The answer after a failure of a built request.
Variant failureResult(std::string failureText) {
    if (host::InStr(failureText, "cannot find", host::CompareMethod::Text) > 0) failureText = kNoDataForArguments;
    return LevelRuleResult(failureText);
}

// The value of a request once its key is known and the archive has not answered.
Variant liveValue(const Variant& value) { return IsFailureText(value) ? failureResult(value.stringValue()) : value; }

// The query-text flag of the sibling workbooks, an empty value counting as False.
bool queryTextMode() {
    const Variant& flag = SharedState().InfoSheetValue;
    return !flag.isEmpty() && flag.toBool();
}

// InfoSheetValue := cell A1 of the sheet "info" of each sibling workbook that is open, in turn.
void readQueryTextFlag() {
    auto& s = SharedState();
    for (const char* book : {"telm2rdl.xls", "telm2xml.xla"}) {
        try {
            s.InfoSheetValue = ExcelApplication().workbooks().item(book)->sheet("info")->range("a1")->value();
        } catch (const host::RuntimeError&) {  // the workbook is not open
        }
    }
}

// The calling range of a worksheet formula; nullptr when the caller is no range (a command).
host::sheet::RangePtr callingRange() {
    try {
        return host::sheet::asRange(ExcelApplication().caller());
    } catch (const host::RuntimeError&) {
        return nullptr;
    }
}

}  // namespace

Variant GetDataOlapCore(const std::string& dataSource, const std::string& catalogue, const std::string& cube,
                        const std::string& measure, std::string members, std::string extra, const std::string& seventh) {
    auto& s = SharedState();
    s.ErrorDetail.clear();  // a cell reports only its own failure
    std::string mdx;
    try {
        PrepareVolatileCall();
        if (s.DescribeModeRequested) s.DescribeModeActive = true;
        IncrementCounter(s.DataFunctionCallCount);
        if (s.PromptCancelled) return kCancelled;
        extra = loginItems(dataSource, extra);
        if (!isMemberList(members, false) || !isMemberList(measure, true) || cube.find_first_of("[]'") != std::string::npos)
            return LevelRuleResult("#Not a cube, measure and list of members such as [Dim].[Name],[Dim].&[Key]: " + cube +
                                   " / " + measure + " / " + members);
        mdx = sumQuery(cube, measure, crossJoinOfMembers(std::move(members)));
    } catch (const host::RuntimeError&) {
        return kFailed;
    }
    try {
        const std::string connection = OlapConnectionText(dataSource, catalogue, extra);
        const std::string key = OlapRequestKey(connection, mdx);
        if (seventh == ":" || s.DescribeModeActive) return key;
        if (!s.ArchiveOperationActive)
            if (auto archived = ArchiveDecision(key)) return *archived;
        return liveValue(RunOlapQueryOrBuffer(dataSource, connection, mdx));
    } catch (const host::RuntimeError&) {
        return failureResult(PendingFailureText());
    }
}

Variant GetDataQueryText(const std::string& connection, const std::string& mdx) {
    auto& s = SharedState();
    try {
        PrepareVolatileCall();
        IncrementCounter(s.DataFunctionCallCount);
        if (s.PromptCancelled) return kCancelled;
    } catch (const host::RuntimeError&) {
        return kFailed;
    }
    try {
        if (queryTextMode()) return mdx;
        const std::string key = OlapRequestKey(connection, mdx);
        if (s.DescribeModeActive) return key;
        if (!s.ArchiveOperationActive)
            if (auto archived = ArchiveDecision(key)) return *archived;
        AskBufferingAddIn();
        return liveValue(RunOlapQuery(connection, mdx));
    } catch (const host::RuntimeError&) {
        return failureResult(PendingFailureText());
    }
}

Variant OlapListForWizard(const std::string& dataSource, const std::string& catalogue, const std::string& mdx) {
    auto& s = SharedState();
    try {
        PrepareVolatileCall();
        const std::string connection = OlapConnectionText(dataSource, catalogue, "");
        readQueryTextFlag();
        if (s.InfoSheetValue.isEmpty()) s.InfoSheetValue = false;
        if (s.InfoSheetValue.toBool()) return mdx;
        bool asArray = true;
        const Variant rows = DispatchZOLAP000(connection, mdx, asArray);
        if (!rows.isArray()) return kFailed;
        const auto caller = callingRange();
        if (!caller || caller->rowCount() > 1 || caller->columnCount() > 1) return rows;
        if (host::Left(caller->formula().toString(), 1) == "=")
            return ExcelApplication().worksheetFunctionSum({rows}).toDouble();
        return rows;
    } catch (const host::RuntimeError&) {
        return kFailed;
    }
}

}  // namespace telm
