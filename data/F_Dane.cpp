// The GETDATA engine: finds the data-model variable named by the first argument, puts the other
// arguments in place of the variable's argument names and hands the texts to the worker of the
// variable's source type.

#include "data/F_Dane.h"

#include <optional>
#include <span>
#include <utility>

#include "core/A_Deklaracje.h"
#include "data/F_000.h"
#include "data/F_Lacze.h"
#include "data/F_MivraADO.h"
#include "data/F_Publiczne.h"
#include "data/F_zOLAP.h"
#include "data/F_zOLAP2.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/Utf8.h"
#include "host/formula/Operators.h"
#include "host/odbc/ConnectionText.h"
#include "host/odbc/SqlStatements.h"

namespace telm {

using host::Variant;

namespace {

constexpr const char* kFormatMarker = "[ValueFormat=";
constexpr long kFormatMarkerLength = 13;
// A formatted token whose value keeps bringing the token back must not loop for ever, nor grow the
// text without bound (a value holding the token twice doubles it each round).
constexpr int kMaxFormattedTokens = 1000;
constexpr std::size_t kMaxSubstitutedBytes = 16 * 1024 * 1024;

[[noreturn]] void fail() { throw host::RuntimeError(host::err::InvalidProcedureCall); }

// The default text form of an argument; a missing argument joins as an empty text.
std::string textOf(const Variant& v) { return v.isMissing() ? std::string() : v.toString(); }

// Whether the last argument asks for the description: its text in upper case is ":" (a number's never
// is, and a text is when it is ":" itself).
bool asksDescription(const Variant& last) {
    if (last.isNumber()) return false;
    if (last.isString()) return last.stringValue() == ":";
    return host::UCase(textOf(last)) == ":";
}

// Writes JoinedArguments: the arguments joined with ",", left-aligned in its fixed width of
// characters. Written in place: every call writes it, and its text keeps its room.
void writeJoinedArguments(std::string& joined, const std::vector<Variant>& arguments) {
    joined.clear();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) joined += ',';
        joined += textOf(arguments[i]);
    }
    joined.resize(host::skipChars(joined, 0, kJoinedArgumentsWidth));
    joined.append(kJoinedArgumentsWidth - host::countChars(joined), ' ');
}

// The value formatted with the code as the TEXT worksheet function formats it: a text that reads as a
// number is formatted as that number; an error value, or a value the code cannot show, fails.
std::string formattedValue(const Variant& value, const std::string& code) {
    if (value.isError()) fail();
    Variant shown = value;
    if (value.isString())
        if (const auto number = host::formula::numberFromText(value.stringValue())) shown = *number;
    std::string formatted = ExcelApplication().worksheetFunctionText(shown, code);
    if (formatted == host::cellErrorText(host::CellError::Value)) fail();
    return formatted;
}

// Fails when putting `value` in place of every `name` in `text` would pass the size limit (a model
// whose text holds a name many times, given a long value), before the text is built.
void requireBoundedReplacement(const std::string& text, const std::string& name, const std::string& value) {
    if (name.empty() || value.size() <= name.size()) return;
    const std::size_t growth = value.size() - name.size();
    if (text.size() + text.size() / name.size() * growth <= kMaxSubstitutedBytes) return;
    const std::string without = host::Replace(text, name, "", 1, -1, host::CompareMethod::Text);
    if (text.size() + (text.size() - without.size()) / name.size() * growth > kMaxSubstitutedBytes) fail();
}

// Puts `plain` in place of every occurrence of `name` in `text`, letter case ignored.
void replacePlain(std::string& text, const std::string& name, const std::string& plain) {
    requireBoundedReplacement(text, name, plain);
    host::replaceAll(text, name, plain, host::CompareMethod::Text);
}

// Puts every formatted token name[ValueFormat=code] (letter case as written) in `text` by `value`
// formatted with its code.
void substituteFormattedTokens(std::string& text, const std::string& name, const Variant& value) {
    const std::string token = name + kFormatMarker;
    for (int round = 0;; ++round) {
        const long p = host::InStr(text, token);
        if (p == 0) break;
        if (round == kMaxFormattedTokens) fail();
        const long f = host::InStr(p + 1, text, kFormatMarker);
        const long e = host::InStr(p + 1, text, "]");
        const std::string code = host::Mid(text, f + kFormatMarkerLength, e - f - kFormatMarkerLength);
        std::string replaced = host::Replace(text, token + code + "]", formattedValue(value, code));
        // A token the cut code does not match (an empty name meeting another token's marker) stays:
        // the call fails rather than search for ever.
        if (replaced == text || replaced.size() > kMaxSubstitutedBytes) fail();
        text = std::move(replaced);
    }
}

// Puts argument value `value` in place of argument name `name` in `text`: first the formatted tokens
// (only a text holding the format marker can hold one), then every plain occurrence of the name
// (letter case ignored) by `plain`, the value's text.
void substitute(std::string& text, const std::string& name, const Variant& value, const std::string& plain) {
    if (text.find(kFormatMarker) != std::string::npos) substituteFormattedTokens(text, name, value);
    replacePlain(text, name, plain);
}

// Whether a value put into an SQL source's connection text added no item to it. A text left as the
// model wrote it keeps its items when it can be read at all; the last such text read is remembered,
// as a sheet's cells name few sources.
bool keepsConnectionItems(const std::string& original, const std::string& changed) {
    if (changed != original) return host::ado::sameConnectionItems(original, changed);
    static std::string lastReadable;
    if (original == lastReadable) return true;
    if (!host::ado::sameConnectionItems(original, original)) return false;
    lastReadable = original;
    return true;
}

std::vector<std::string> commaParts(const std::string& text, std::size_t needed) {
    auto parts = host::Split(text, ",");
    if (parts.size() < needed) fail();
    return parts;
}

// The query text of an SQL source after substitution: a value put in place of an argument name may
// not add a statement to the model's own text (a query its author wrote as several statements runs
// as written), neither as given nor as it runs, with its LIKE wildcards written for SQL.
std::string sqlOf(const DataModelVariable& variable, std::string query) {
    if (host::ado::addsStatements(variable.QUERYTEXT, query) ||
        host::ado::addsStatements(variable.QUERYTEXT, LikeWildcards(query)))
        fail();
    return query;
}

// A call once its variable is found: substitution, aliases and the worker of the source type, whose
// answer goes into `result` (kept for the level rule when a later step fails). `values` holds one
// value at least. The variable is read only before the worker starts: a worker may reload the model,
// and the variable with it.
void runVariable(const DataModelVariable& variable, std::span<const Variant> values, Variant& result) {
    const auto& s = SharedState();
    const auto names = host::Split(variable.GETDATAARGUMENTS, ",");
    if (names.empty()) fail();
    std::vector<std::string> slashNames;
    std::vector<std::string> slashValues;
    std::string add;
    if (host::InStr(names[0], "/") > 0) {
        slashNames = host::Split(names[0], "/");
        slashValues = host::Split(textOf(values[0]), "/");
        if (slashValues.empty()) fail();
        add = slashValues[0];
    } else {
        add = variable.ADDSTRING;
    }
    if (const std::string upper = host::UCase(add); upper == "MIARA" || upper == "VALUE") add = textOf(values[0]);
    std::string query = variable.QUERYTEXT;
    std::string connection = variable.CONNECTIONTEXT;

    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k >= values.size()) fail();
        const std::string plain = textOf(values[k]);
        for (std::string* text : {&query, &connection, &add}) substitute(*text, names[k], values[k], plain);
    }
    for (std::size_t k = 0; k < slashNames.size(); ++k) {
        if (k >= slashValues.size()) fail();
        for (std::string* text : {&query, &connection})
            *text = host::Replace(*text, slashNames[k], slashValues[k], 1, -1, host::CompareMethod::Text);
    }
    if (!variable.ALIASES.empty()) {
        for (const std::string& item : host::Split(variable.ALIASES, ",")) {
            const auto parts = host::Split(item, "=");
            if (parts.size() < 2) fail();
            add = host::Replace(add, parts[0], parts[1], 1, -1, host::CompareMethod::Text);
        }
    }

    std::string type = variable.TYPE;
    bool serverCalculation = false;
    if (s.ServerCalculationOn) {
        if (const long comma = host::InStr(type, ","); comma > 0) {
            serverCalculation = host::UCase(host::Mid(type, comma + 1)) == "SERVERCALCULATION";
            type = host::Left(type, comma - 1);
        }
    }
    type = host::UCase(type);
    // A value put into an SQL source's connection text may not add an item to it (one that runs
    // statements when the connection opens, say).
    if ((type == "ODBC" || type == "ODBC2") && !keepsConnectionItems(variable.CONNECTIONTEXT, connection))
        fail();
    if (type == "OLAP") {
        if (host::UCase(host::Left(connection, 9)) == "PROVIDER=") {
            result = GetDataQueryText(connection, query);
        } else {
            const auto parts = commaParts(connection, 3);
            result = GetDataOlapPublic(parts[0], parts[1], parts[2], add, query, "", "");
        }
    } else if (type == "OLAP2") {
        const auto parts = commaParts(connection, 3);
        const std::string expression = commaParts(query, 1)[0];
        const std::string where = host::Replace(query, expression + ",", "", 1, -1, host::CompareMethod::Text);
        std::string options;
        result = GetDataOlap2(parts[0], parts[1], parts[2], add, expression, options, where, "", "");
    } else if (type == "XLS_ODBC") {
        if (host::ado::addsStatements(XlsOdbcSql(variable.CONNECTIONTEXT, variable.ADDSTRING, variable.QUERYTEXT),
                                      XlsOdbcSql(connection, add, query)))
            fail();
        result = GetDataXlsOdbc(connection, add, query);
    } else if (type == "XLS" || type == "XLS2") {
        result = GetDataLinkPublic(connection, std::string());
    } else if (type == "ODBC") {
        bool notAllowed = false;
        result = GetDataAdoCore(std::move(connection), sqlOf(variable, std::move(query)), false, notAllowed);
    } else if (type == "ODBC2") {
        // The builder keeps every mask inside the template's literal; the statement it builds is
        // checked again as it will run.
        const auto parts = commaParts(query, 2);
        const std::string sql = sqlOf(variable, BuildSqlUnion("", "", parts[0], parts[1]));
        result = GetDataAdoCore(connection, sql, 0, serverCalculation);
    } else {
        result = add + "  @  " + query + "  @  " + connection;
    }
}

}  // namespace

Variant GetDataByModel(std::vector<Variant>& argumenty) {
    auto& s = SharedState();
    PrepareVolatileCall();
    const std::vector<Variant>& arguments = std::as_const(argumenty.at(0)).arrayValue().elements();
    writeJoinedArguments(s.JoinedArguments, arguments);
    if (s.DescribeModeRequested) s.DescribeModeActive = true;

    // Steps up to the look-up: a failure reloads the model.
    const DataModelVariable* variable = nullptr;
    std::span<const Variant> values;  // the arguments after the name; one empty text without any
    try {
        if (arguments.empty()) fail();
        const std::string name = textOf(arguments.front());
        static const Variant kNoValue[] = {Variant(std::string())};
        values = std::span(arguments).subspan(1);
        if (values.empty()) values = kNoValue;
        if (!arguments.back().isMissing()) s.DescribeModeActive = asksDescription(arguments.back());
        if (s.DataModelVariables.empty()) fail();
        variable = FindDataModelVariable(name);
        if (!variable) s.ErrorText = "#Brak zmiennej modelu o nazwie: " + name;
    } catch (...) {
        LoadDataModel(false);
        s.DescribeModeActive = false;
        return s.ErrorText;
    }

    // From here a failure gives what the error-reporting level says.
    Variant result;
    try {
        if (!variable) fail();
        runVariable(*variable, values, result);
    } catch (...) {  // any failure, whatever its kind (memory running out too)
        s.DescribeModeActive = false;
        return LevelRuleResult(s.ErrorText, result);
    }
    IncrementCounter(s.GetDataCallCount);
    s.DescribeModeActive = false;
    return result;
}

}  // namespace telm
