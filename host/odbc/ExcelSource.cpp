#include "host/odbc/ExcelSource.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/formula/Address.h"
#include "host/odbc/OdbcErrors.h"

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
    if (value.isNumber()) {
        // The shortest text that reads back as the same double: every digit of the cell's number.
        const double number = value.toDouble();
        if (!std::isfinite(number)) return formatDouble(number);
        char digits[32];
        return std::string(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
    }
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

// The one area an address text names within its workbook; nullopt for any other text (a constant, a
// formula, several areas, another workbook).
std::optional<formula::ReferenceTarget> singleTarget(std::string_view text) {
    try {
        const auto targets = formula::parseAddress(text);
        if (targets.size() == 1 && targets.front().workbook.empty()) return targets.front();
    } catch (const RuntimeError&) {
    }
    return std::nullopt;
}

// The area of a cell address without sheet ("A1", "A1:C9"); nullopt for any other text.
std::optional<formula::Area> cellArea(std::string_view text) {
    const auto target = singleTarget(text);
    if (!target || !target->sheet.empty()) return std::nullopt;
    return target->area;
}

bool isWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool isWordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

}  // namespace

ExcelSource::ExcelSource(odbc::ConnectionHandle& database, std::string workbookPath,
                         std::shared_ptr<sheet::WorkbookStore> store)
    : database_(database), workbookPath_(std::move(workbookPath)), store_(std::move(store)) {}

std::string ExcelSource::prepare(const std::string& sql) {
    // A hand-written scan: the query may be long, and a backtracking pattern would recurse per character.
    std::string out;
    bool afterFromOrJoin = false;  // only blanks since the keyword FROM or JOIN
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'') {
            const std::size_t close = sql.find('\'', i + 1);
            const std::size_t next = close == std::string::npos ? sql.size() : close + 1;
            out.append(sql, i, next - i);
            i = next;
            afterFromOrJoin = false;
            continue;
        }
        if (c == '[' || c == '`') {
            const std::size_t close = sql.find(c == '[' ? ']' : '`', i + 1);
            if (close == std::string::npos) {
                out.append(sql, i);
                break;
            }
            const std::string inner = sql.substr(i + 1, close - i - 1);
            std::optional<std::string> table;
            if (const std::size_t dollar = inner.find('$'); dollar != std::string::npos)
                table = sheetTable(inner.substr(0, dollar), inner.substr(dollar + 1));
            else
                table = nameTable(inner);
            out += table ? identifier(*table) : sql.substr(i, close - i + 1);
            i = close + 1;
            afterFromOrJoin = false;
            continue;
        }
        if (isWordStart(c) && (i == 0 || !isWordCharacter(sql[i - 1]))) {
            std::size_t end = i;
            while (end < sql.size() && isWordCharacter(sql[end])) ++end;
            const std::string word = sql.substr(i, end - i);
            std::optional<std::string> table;
            if (end < sql.size() && sql[end] == '$') {
                std::size_t refEnd = end + 1;
                while (refEnd < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[refEnd])) || sql[refEnd] == ':'))
                    ++refEnd;
                table = sheetTable(word, sql.substr(end + 1, refEnd - end - 1));
                end = refEnd;
            } else if (afterFromOrJoin) {
                table = nameTable(word);
            }
            out += table ? identifier(*table) : word;
            afterFromOrJoin = !table && (UCase(word) == "FROM" || UCase(word) == "JOIN");
            i = end;
            continue;
        }
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') afterFromOrJoin = false;
        out += c;
        ++i;
    }
    return out;
}

std::string ExcelSource::sheetTable(const std::string& sheet, const std::string& reference) {
    if (Trim(reference).empty()) {
        const sheet::WorkbookPtr book = store_->closedWorkbook(workbookPath_);
        if (!book) fail("Cannot read '" + workbookPath_ + "': no such workbook file, or it is no workbook.");
        const auto found = book->findSheet(sheet);
        if (!found) fail("The workbook '" + workbookPath_ + "' has no sheet '" + sheet + "'.");
        return load(sheet, found->usedRange()->firstArea());
    }
    if (const auto area = cellArea(reference)) return load(sheet, *area);
    if (auto table = nameTable(reference)) return *table;
    fail("'" + reference + "' is neither a cell range nor a defined name of sheet '" + sheet + "'.");
}

std::optional<std::string> ExcelSource::nameTable(const std::string& name) {
    // A store that serves ranges only knows no names.
    const sheet::WorkbookPtr book = store_->closedWorkbook(workbookPath_);
    const auto defined = book ? book->names().find(Trim(name)) : nullptr;
    if (!defined) return std::nullopt;
    std::string_view refersTo = defined->refersTo();
    if (refersTo.starts_with("=")) refersTo.remove_prefix(1);
    if (const auto target = singleTarget(refersTo); target && !target->sheet.empty())
        return load(target->sheet, target->area);
    fail("The name '" + name + "' refers to no cell range of the workbook.");
}

std::string ExcelSource::load(const std::string& sheet, const formula::Area& area) {
    const std::string key = UCase(sheet) + "$" + formula::formatArea(area, true, true, formula::ReferenceStyle::R1C1);
    if (auto found = tables_.find(key); found != tables_.end()) return found->second;
    const std::string range = formula::formatArea(area, false, false, formula::ReferenceStyle::A1);
    if (area.cellCount() > kMaxTableCells) fail("The range " + sheet + "$" + range + " is too large to read.");

    const std::filesystem::path path(workbookPath_);
    Variant values;
    try {
        values = store_->readClosed(path.parent_path().string(), path.filename().string(), sheet, area);
    } catch (const RuntimeError& e) {
        fail("Cannot read " + sheet + "$" + range + " of '" + workbookPath_ + "': " + e.description());
    }
    if (values.isError())
        fail("Cannot read " + sheet + "$" + range + " of '" + workbookPath_ + "': no such workbook file or sheet.");
    auto rows = rowsOf(values);
    // A single cell has no row of names: it is the one record of the column F1.
    if (area.isSingleCell()) rows.insert(rows.begin(), std::vector<Variant>(1));

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
