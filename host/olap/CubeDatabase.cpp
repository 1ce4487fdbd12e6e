#include "host/olap/CubeDatabase.h"

#include <charconv>
#include <filesystem>
#include <fstream>

#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/olap/OlapErrors.h"

namespace host::olap {

namespace {

bool endsWithCub(const std::string& name) { return UCase(Right(name, 4)) == ".CUB"; }

// A value in braces, as an ODBC connection text may hold any character ("}" doubled).
std::string braced(const std::string& value) { return "{" + Replace(value, "}", "}}") + "}"; }

}  // namespace

std::vector<ado::ConnectionItem> parseProviderText(const std::string& text) {
    return ado::parseConnectionText(text, true);
}

std::string providerItem(const std::vector<ado::ConnectionItem>& items, const std::string& key) {
    const ado::ConnectionItem* item = ado::findConnectionItem(items, key);
    return item ? item->value : std::string();
}

CubeDatabase::CubeDatabase(const std::vector<ado::ConnectionItem>& items, bool create, const std::string& user,
                           const std::string& password, int loginTimeout) {
    std::string file = providerItem(items, "Location");
    const std::string dataSource = providerItem(items, "Data Source");
    if (file.empty() && endsWithCub(dataSource)) file = dataSource;
    connection_.connectionTimeout = loginTimeout;
    if (!file.empty()) {
        file = nativePath(file);
        if (!std::filesystem::is_regular_file(file)) {
            if (!create) throwCubeError("The cube file \"" + file + "\" does not exist.");
            createdFile_ = file;
            std::ofstream(file).close();  // connections open existing database files only
        }
        connection_.open("Driver={SQLite3};Database=" + braced(file) + ";");
        return;
    }
    if (dataSource.empty()) throwCubeError("The connection text names no data source.");
    server_ = true;
    schema_ = providerItem(items, "Initial Catalog");
    const std::string uid = user.empty() ? providerItem(items, "User ID") : user;
    const std::string pwd = password.empty() ? providerItem(items, "Password") : password;
    std::string odbcText = "DSN=" + braced(dataSource) + ";";
    if (!uid.empty()) odbcText += "UID=" + braced(uid) + ";";
    if (!pwd.empty()) odbcText += "PWD=" + braced(pwd) + ";";
    connection_.open(odbcText);
}

void CubeDatabase::execute(const std::string& sql) {
    connection_.commandTimeout = commandTimeout;
    ado::Recordset recordset;
    recordset.open(sql, connection_);
    if (recordset.state() == ado::adStateOpen) recordset.close();
}

std::vector<std::vector<Variant>> CubeDatabase::rows(const std::string& sql) {
    connection_.commandTimeout = commandTimeout;
    ado::Recordset recordset;
    recordset.open(sql, connection_);
    std::vector<std::vector<Variant>> result;
    Variant all;
    try {
        all = recordset.getRows();
    } catch (const RuntimeError& e) {
        if (e.number() != ado::kNoCurrentRecord) throw;
        return result;  // no rows
    }
    const Array& a = all.arrayValue();
    const long fields = a.count(1), records = a.count(2);
    result.resize(static_cast<std::size_t>(records));
    for (long r = 0; r < records; ++r)
        for (long f = 0; f < fields; ++f) result[r].push_back(a(f, r));
    return result;
}

std::string CubeDatabase::table(const std::string& name) const {
    return schema_.empty() ? sqlName(name) : sqlName(schema_) + "." + sqlName(name);
}

std::string sqlText(const std::string& text) {
    if (text.find('\0') != std::string::npos) throwCubeError("A name holds a NUL character.");
    return "'" + Replace(text, "'", "''") + "'";
}

std::string sqlNumber(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::string sqlName(const std::string& name) { return "\"" + Replace(name, "\"", "\"\"") + "\""; }

}  // namespace host::olap
