#include "data/F_MivraADO.h"

#include <optional>
#include <utility>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/F_Pomocnicze.h"
#include "data/F_000.h"
#include "data/P_Archiwum.h"
#include "data/S_ServerCalculation.h"
#include "data/S_ServiceManager.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/odbc/SqlStatements.h"
#include "host/sheet/Range.h"

namespace telm {

using host::Array;
using host::Variant;

namespace {

constexpr int kNoValueMessage = 1026;

std::string joinAll(const Array& items) {
    std::string out;
    for (const Variant& item : items.elements()) out += item.toString();
    return out;
}

// A text argument given as an array: a list is joined without separator, and so is a column (which
// TRANSPOSE turns into one row); anything else stays as it was.
Variant joinedArgument(const Variant& argument) {
    try {
        Variant value = argument;
        if (auto range = host::sheet::asRange(value)) value = range->value2();
        if (!value.isArray()) return value;
        if (value.arrayValue().dimensions() == 1) return joinAll(value.arrayValue());
        const Variant transposed = ExcelApplication().worksheetFunctionTranspose(value);
        if (transposed.isArray() && transposed.arrayValue().count(1) == 1) return joinAll(transposed.arrayValue());
    } catch (const host::RuntimeError&) {  // the argument stays as it was and a later step fails
    }
    return argument;
}

// Sets `target` to the argument joined; a plain value (no range, no array) is copied into the room
// the target's text already has.
void setJoinedArgument(Variant& target, const Variant& argument) {
    if (argument.isObject() || argument.isArray()) target = joinedArgument(argument);
    else target = argument;
}

// The value of an argument given as a range (a cell reference), else the argument itself.
Variant valueOf(const Variant& argument) {
    if (auto range = host::sheet::asRange(argument)) return range->value2();
    return argument;
}

bool isDescribeArgument(const Variant& mode) { return mode.isString() && mode.stringValue() == ":"; }

// Whether the calling range is one cell.
bool callerIsOneCell() {
    auto caller = host::sheet::asRange(ExcelApplication().caller());
    return caller && caller->count() == 1;
}

// A value as the shaped result holds it: Null, empty and the number 0 become the number 0.
Variant shapedValue(const Variant& value) {
    if (value.isNull() || value.isEmpty()) return 0;
    if ((value.isNumber() || value.isBoolean()) && value.toDouble() == 0) return 0;
    return value;
}

}  // namespace

Variant OneRowAnswer(const Variant& first) {
    const Variant value = shapedValue(first);
    return host::equals(value, ".") ? Variant(0) : value;
}

std::string LikeWildcards(std::string query) {
    const long p = host::InStr(query, " LIKE", host::CompareMethod::Text);
    if (p == 0) return query;
    std::string rest = host::Mid(query, p);
    char quote = 0;
    for (char& c : rest) {  // quotes and wildcards are ASCII: bytes will do
        if (!quote) {
            if (c == '\'' || c == '"') quote = c;
        } else if (c == quote) {
            quote = 0;
        } else if (c == '*') {
            c = '%';
        } else if (c == '?') {
            c = '_';
        }
    }
    return host::Left(query, p - 1) + rest;
}

Variant GetDataAdoCore(const Variant& connectionArgument, const Variant& queryArgument, const Variant& modeArgument,
                       bool& serverCalculationAllowed) {
    auto& s = SharedState();
    Variant result;
    std::optional<Variant> pending;
    // The steps up to the fitted result; nullopt sends the call to the no-value rule.
    auto answer = [&]() -> std::optional<Variant> {
        const Variant mode = valueOf(modeArgument);
        PrepareVolatileCall();

        setJoinedArgument(s.CurrentConnectionText, connectionArgument);
        setJoinedArgument(s.CurrentQueryText, queryArgument);
        std::string connection = s.CurrentConnectionText.toString();
        if (HoldsFolderPlaceholder(connection))
            connection = ReplaceFolderPlaceholder(connection);
        if (s.DescribeModeRequested) s.DescribeModeActive = true;
        IncrementCounter(s.DataFunctionCallCount);
        const std::string query = LikeWildcards(s.CurrentQueryText.toString());

        std::string description;
        description.reserve(connection.size() + query.size() + 8);
        description.append("s(:)").append(connection).append(connection.ends_with(';') ? "" : ";").append("(:)").append(query);
        const auto serviceRequest = [&] { return "ADO(:)" + connection + (query.empty() ? "" : "(::)" + query); };

        // A description asked for (the archive records each cell's request so) wins over the services and
        // server calculation, which would answer with a value.
        if (s.DescribeModeActive || isDescribeArgument(mode)) {
            if (!s.ArchiveOperationActive)
                if (auto archived = ArchiveDecision(description)) return *archived;
            return description;
        }

        if (!s.ServicesOff && !s.ServiceDirectCall) {
            if (s.ServiceCollecting) {
                AddServiceRequest(serviceRequest());
                return "TELM.NET & ADO...";
            }
            return GetServiceResult(serviceRequest());
        }

        if (s.ServerCalculationOn && serverCalculationAllowed) {
            AddServerCalculationRequest(host::Trim(s.JoinedArguments) + "(:::)" + serviceRequest());
            // The arguments, quotes doubled, stay one literal in every reading (a backslash at the
            // end would escape its closing quote in some): otherwise the call fails.
            const std::string lookup = "SELECT SUM([Value]) FROM [SCTable3] WHERE [Args] = '" +
                                       host::Replace(host::Trim(s.JoinedArguments), "'", "''") + "'";
            if (!host::ado::isSingleCompleteStatement(lookup)) return std::nullopt;
            const Variant computed = DispatchFunkcjaADO000(
                "Driver={Microsoft Access Driver (*.mdb)};ReadOnly=True;DBQ=" + s.AddInFolder +
                    "\\ServerCalculation\\TelmNetServerCalculation.mdb",
                lookup);
            const Variant r = computed.arrayValue()(0, 0);
            if (r.isNull()) {
                result = "No data";
            } else if (!host::equals(r, "xxx")) {
                return r;
            }
        }

        if (!s.ArchiveOperationActive)
            if (auto archived = ArchiveDecision(description)) return *archived;

        pending = Variant(0);
        const Variant rows = DispatchFunkcjaADO000(connection, query);
        const Array& table = rows.arrayValue();
        if (table.dimensions() == 1) {
            pending = table(table.lbound(1));
            return std::nullopt;
        }
        const long fields = table.count(1);
        const long records = table.count(2);
        const bool oneLine = fields == 1 || records == 1;
        if (oneLine && table(0, 0).isNull() && !s.ServiceDirectCall) return std::nullopt;

        const bool header = mode.toBool();
        const long top = header ? 1 : 0;
        Array out({{0, records + top}, {0, fields}});
        for (long r = 0; r < records; ++r)
            for (long f = 0; f < fields; ++f) out(r + top, f) = shapedValue(table(f, r));
        if (header) {
            for (long f = 0; f < fields && f < static_cast<long>(s.FieldNames.size()); ++f) out(0, f) = s.FieldNames[f];
            s.FieldNames = {Variant()};
        }

        if (oneLine && !header && host::equals(out(0, 0), ".")) {
            result = 0;
        } else {
            result = std::move(out);
        }
        if (result.isArray() && std::as_const(result).arrayValue().size() > 1 && callerIsOneCell()) result = ".";
        if (result.isArray() && std::as_const(result).arrayValue().count(1) > 1 && !s.ServiceDirectCall) result = ".";
        return result;
    };
    try {
        if (auto answered = answer()) return *answered;
    } catch (...) {  // any failure of the steps, whatever its kind, ends in the no-value rule
        s.DescribeModeActive = false;
    }
    // No value: the failure text, 0 or the message by the error-reporting level.
    if (!pending) pending = Variant(GetMessageText(kNoValueMessage));
    switch (s.ErrorReportingLevel) {
    case 0:
    case 1: return 0;
    case 2: return *pending;
    default: return result;
    }
}

}  // namespace telm
