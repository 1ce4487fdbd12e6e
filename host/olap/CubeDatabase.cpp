#include "host/olap/CubeDatabase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/odbc/ConnectionPool.h"
#include "host/odbc/Link.h"
#include "host/odbc/Odbc.h"
#include "host/odbc/OdbcErrors.h"
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
    if (!file.empty()) {
        file = nativePath(file);
        if (create) claimCubeFile(file);
        else if (!std::filesystem::is_regular_file(file)) throwCubeError("The cube file \"" + file + "\" does not exist.");
        try {
            connect("Driver={SQLite3};Database=" + braced(file) + ";", loginTimeout);
        } catch (const RuntimeError&) {
            std::error_code ignored;  // the failure to connect is what counts
            if (!createdFile_.empty()) std::filesystem::remove(createdFile_, ignored);
            throw;
        }
        if (create && createdFile_.empty()) requireCubeDatabase(file);
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
    connect(odbcText, loginTimeout);
}

CubeDatabase::~CubeDatabase() { ado::odbc::releaseLink(link_, poolKey_, failed_); }

void CubeDatabase::connect(const std::string& odbcText, int loginTimeout) {
    plan_ = ado::pool::plan(odbcText, "", "");
    link_ = ado::odbc::openLink(plan_, loginTimeout, commandTimeout, poolKey_);
}

void CubeDatabase::claimCubeFile(const std::string& file) {
    const std::string named = "The cube file \"" + file + "\"";
    struct stat status {};
    if (::lstat(file.c_str(), &status) == 0) {
        if (S_ISLNK(status.st_mode)) throwCubeError(named + " is a symbolic link; a cube is built into a regular file only.");
        if (!S_ISREG(status.st_mode)) throwCubeError(named + " is not a regular file.");
        return;
    }
    if (errno != ENOENT) throwCubeError(named + " cannot be reached: " + std::strerror(errno) + ".");
    // Created here and now, never through a link, so that a failed build removes only its own file.
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) throwCubeError(named + " cannot be created: " + std::strerror(errno) + ".");
    ::close(descriptor);
    createdFile_ = file;
}

void CubeDatabase::requireCubeDatabase(const std::string& file) {
    if (std::filesystem::file_size(file) == 0) return;
    bool holdsCubes = false;
    try {
        holdsCubes = !rows("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'olap_cubes'").empty();
    } catch (const RuntimeError& e) {  // not a database at all: refused below as well
        if (e.number() != ado::kDriverError) throw;
    }
    if (!holdsCubes)
        throwCubeError("The file \"" + file +
                       "\" holds no cubes; a cube is built into a new or empty file or into a cube file.");
}

void CubeDatabase::limitTotalTime(int seconds) {
    if (seconds > 0) deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    else deadline_.reset();
}

int CubeDatabase::statementTimeout() const {
    int timeout = commandTimeout;
    if (deadline_) {
        const auto left = *deadline_ - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            throw RuntimeError(ado::kTimedOut, "The query ran longer than its time-out.");
        const int seconds = static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
        timeout = timeout > 0 ? std::min(timeout, seconds) : seconds;
    }
    return timeout;
}

bool CubeDatabase::run(const std::string& sql, ado::odbc::ResultRows& rows) {
    const int timeout = statementTimeout();
    try {
        return ado::odbc::readRows(*link_, *plan_, sql, timeout, rows);
    } catch (...) {
        failed_ = true;
        throw;
    }
}

void CubeDatabase::execute(const std::string& sql) {
    ado::odbc::ResultRows ignored;
    run(sql, ignored);
}

std::vector<std::vector<Variant>> CubeDatabase::rows(const std::string& sql) {
    ado::odbc::ResultRows read;
    std::vector<std::vector<Variant>> result;
    if (!run(sql, read)) return result;
    const std::size_t fields = read.names.size();
    result.resize(static_cast<std::size_t>(read.records));
    for (std::size_t r = 0; r < result.size(); ++r)
        result[r].assign(read.values.begin() + static_cast<long>(r * fields),
                         read.values.begin() + static_cast<long>((r + 1) * fields));
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
