#include "host/ado/ExcelSource.h"

#include <filesystem>
#include <regex>
#include <vector>

#include "host/ado/Errors.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/formula/Address.h"

namespace host::ado {

namespace {

constexpr const char* kComponent = "Microsoft Excel Driver";

[[noreturn]] void fail(const std::string& message) {
    throw RuntimeError(kDriverError, std::string("[") + kComponent + "] " + message);
}

std::string identifier(const std::string& name) { return "\"" + Replace(name, "\"", "\"\"") + "\""; }

std::string literal(const Variant& value) {
    if (value.isEmpty() || value.isNull() || value.isError()) return "NULL";
    if (value.isBoolean()) return value.boolValue() ? "1" : "0";
    if (value.isNumber()) return formatDouble(value.toDouble());
    return "'" + Replace(value.toString(), "'", "''") + "'";
}

// The range's values as rows of cells (a single cell gives one row of one).
std::vector<std::vector<Variant>> rowsOf(const Variant& values) {
    if (!values.isArray()) return {{values}};
    const Array& a = values.arrayValue();
    std::vector<std::vector<Variant>> rows(a.count(1), std::vector<Variant>(a.count(2)));
    for (long r = 0; r < a.count(1); ++r)
        for (long c = 0; c < a.count(2); ++c) rows[r][c] = a(a.lbound(1) + r, a.lbound(2) + c);
    return rows;
}

}  // namespace

ExcelSource::ExcelSource(odbc::ConnectionHandle& database, std::string workbookPath,
                         std::shared_ptr<sheet::WorkbookStore> store)
    : database_(database), workbookPath_(std::move(workbookPath)), store_(std::move(store)) {}

std::string ExcelSource::prepare(const std::string& sql) {
    static const std::regex reference(
        R"(\[([^\[\]]+)\$([^\[\]]*)\]|([A-Za-z_][A-Za-z0-9_.]*)\$([A-Za-z]{1,3}[0-9]+(?::[A-Za-z]{1,3}[0-9]+)?))");
    std::string out;
    auto last = sql.cbegin();
    for (std::sregex_iterator it(sql.begin(), sql.end(), reference), end; it != end; ++it) {
        const std::smatch& m = *it;
        const bool bracketed = m[1].matched;
        const std::string sheet = bracketed ? m[1].str() : m[3].str();
        const std::string range = bracketed ? m[2].str() : m[4].str();
        if (Trim(range).empty()) fail("Name a cell range of sheet '" + sheet + "', such as [" + sheet + "$A1:C9].");
        out.append(last, m[0].first);
        out += identifier(load(sheet, range));
        last = m[0].second;
    }
    out.append(last, sql.cend());
    return out;
}

std::string ExcelSource::load(const std::string& sheet, const std::string& range) {
    const std::string key = UCase(sheet) + "$" + UCase(range);
    if (auto found = tables_.find(key); found != tables_.end()) return found->second;

    formula::Area area;
    try {
        const auto targets = formula::parseAddress(range);
        if (targets.size() != 1) throw RuntimeError(err::InvalidArgument);
        area = targets.front().area;
    } catch (const RuntimeError&) {
        fail("'" + range + "' is no cell range of sheet '" + sheet + "'.");
    }
    const std::filesystem::path path(workbookPath_);
    Variant values;
    try {
        values = store_->readClosed(path.parent_path().string(), path.filename().string(), sheet, area);
    } catch (const RuntimeError& e) {
        fail("Cannot read " + sheet + "$" + range + " of '" + workbookPath_ + "': " + e.description());
    }
    if (values.isError())
        fail("Cannot read " + sheet + "$" + range + " of '" + workbookPath_ + "': no such workbook file or sheet.");
    const auto rows = rowsOf(values);

    std::vector<std::string> names;
    std::vector<bool> numeric(rows.front().size(), true);
    for (std::size_t c = 0; c < rows.front().size(); ++c) {
        std::string name = Trim(rows.front()[c].isError() ? std::string() : rows.front()[c].toString());
        if (name.empty()) name = "F" + std::to_string(c + 1);
        names.push_back(name);
        for (std::size_t r = 1; r < rows.size(); ++r) {
            const Variant& v = rows[r][c];
            if (!(v.isEmpty() || v.isNumber() || v.isBoolean() || v.isError())) numeric[c] = false;
        }
    }
    const std::string table = "range" + std::to_string(tables_.size() + 1);
    std::string create = "CREATE TABLE " + identifier(table) + " (";
    for (std::size_t c = 0; c < names.size(); ++c)
        create += (c ? ", " : "") + identifier(names[c]) + (numeric[c] ? " REAL" : " TEXT");
    odbc::execute(database_, create + ")", kComponent);
    for (std::size_t r = 1; r < rows.size(); ++r) {
        std::string insert = "INSERT INTO " + identifier(table) + " VALUES (";
        for (std::size_t c = 0; c < names.size(); ++c) insert += (c ? ", " : "") + literal(rows[r][c]);
        odbc::execute(database_, insert + ")", kComponent);
    }
    tables_.emplace(key, table);
    return table;
}

}  // namespace host::ado
