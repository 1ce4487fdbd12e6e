#pragma once
// ODBC for tests: the project's own odbcinst.ini (SQLite3 and PostgreSQL Unicode, psqlODBC's
// communication and debug logs off), written once per test program from the installed driver
// libraries and named by ODBCSYSINI before any connection is made, with an odbc.ini to which tests add
// data sources; and the throwaway PostgreSQL server that scripts/test starts, described by TELM_PG_*
// environment variables. A test program started with TELM_ODBC_DRIVER_LOGS=folder gets psqlODBC's
// communication log switched on in that folder instead, as Debian's odbcinst.ini has it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>

#include "support/TempFolder.h"

namespace testsupport {

// The first existing library of that name in the multiarch ODBC driver folders ("" when none).
inline std::string odbcDriverLibrary(const std::string& file) {
    for (const char* folder : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc", "/usr/lib/odbc",
                               "/usr/lib64"})
        if (std::filesystem::exists(std::filesystem::path(folder) / file)) return (std::filesystem::path(folder) / file).string();
    return {};
}

inline const TempFolder& odbcFolder() {
    static TempFolder folder("telm-odbc");
    return folder;
}

inline bool useProjectOdbcInst() {
    const TempFolder& folder = odbcFolder();
    const char* logFolder = std::getenv("TELM_ODBC_DRIVER_LOGS");
    const std::string logs = logFolder ? std::string("1\nLogdir=") + logFolder : "0";
    std::ofstream ini(folder.file("odbcinst.ini"));
    ini << "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" << odbcDriverLibrary("libsqlite3odbc.so") << "\n\n"
        << "[PostgreSQL Unicode]\nDescription=PostgreSQL ODBC driver (Unicode)\nDriver="
        << odbcDriverLibrary("psqlodbcw.so") << "\nDebug=0\nCommLog=" << logs << "\n";
    ini.close();
    std::ofstream(folder.file("odbc.ini")).close();
    ::setenv("ODBCSYSINI", folder.string().c_str(), 1);
    ::setenv("ODBCINI", folder.file("odbc.ini").c_str(), 1);
    return true;
}
inline const bool kProjectOdbcInst = useProjectOdbcInst();

// Adds a data source to the tests' odbc.ini: its name, then "key=value" lines.
inline void addDataSource(const std::string& name, std::initializer_list<std::string> lines) {
    std::ofstream ini(odbcFolder().file("odbc.ini"), std::ios::app);
    ini << "[" << name << "]\n";
    for (const std::string& line : lines) ini << line << "\n";
    ini << "\n";
}

// The throwaway PostgreSQL server of scripts/test.
struct PostgresServer {
    std::string host, port, database, user, password;
    // The connection text for the server with the given credential items appended.
    std::string connection(const std::string& credentials = {}) const {
        return "Driver={PostgreSQL Unicode};Server=" + host + ";Port=" + port + ";Database=" + database + ";" +
               credentials;
    }
};

// The server, or nullopt when the test script has not started one.
inline std::optional<PostgresServer> postgresServer() {
    auto get = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    PostgresServer s{get("TELM_PG_HOST"), get("TELM_PG_PORT"), get("TELM_PG_DATABASE"), get("TELM_PG_USER"),
                     get("TELM_PG_PASSWORD")};
    if (s.host.empty() || s.port.empty() || s.user.empty()) return std::nullopt;
    return s;
}

}  // namespace testsupport
