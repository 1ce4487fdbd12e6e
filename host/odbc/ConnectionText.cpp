#include "host/odbc/ConnectionText.h"

#include <odbcinst.h>

#include <algorithm>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/Variant.h"
#include "host/odbc/OdbcErrors.h"

namespace host::ado {

namespace {

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameLetter(char x, char y) { return asciiLower(x) == asciiLower(y); }

// Keys and names compare in any letter case; ASCII texts (nearly all) without the cost of Unicode case
// folding.
bool sameKey(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameLetter);
    return StrComp(a, b, CompareMethod::Text) == 0;
}

// Where `part` (not empty) is in `text`, in any letter case: its position from 1, 0 when absent.
long findText(std::string_view text, std::string_view part) {
    if (!isAscii(text) || !isAscii(part)) return InStr(text, part, CompareMethod::Text);
    const auto found = std::search(text.begin(), text.end(), part.begin(), part.end(), sameLetter);
    return found == text.end() ? 0 : static_cast<long>(found - text.begin()) + 1;
}

// A value as an ODBC text needs it: braced when it holds a separator, a brace, "=" or a blank. The
// SQLite driver reads a value up to the next ";" and takes braces as part of it: for it only a value
// that could not be read otherwise is braced.
std::string quoted(const std::string& value, bool sqlite = false) {
    if (value.find_first_of(sqlite ? ";{}" : ";{}= ") == std::string::npos) return value;
    std::string braced = "{";
    braced += Replace(value, "}", "}}");
    braced += '}';
    return braced;
}

std::string joinItems(const std::vector<ConnectionItem>& items, bool sqlite) {
    std::string out;
    for (const auto& item : items) out += item.key + "=" + quoted(item.value, sqlite) + ";";
    return out;
}

bool namesDriver(const ConnectionItem* driver, std::string_view prefix) {
    return driver && findText(driver->value, prefix) == 1;
}

// The driver a DSN names in odbc.ini, or the DSN itself when it names none.
std::string driverOfDsn(const std::string& dsn) {
    char buffer[512] = {};
    SQLGetPrivateProfileString(dsn.c_str(), "Driver", "", buffer, sizeof buffer, "odbc.ini");
    return buffer[0] ? std::string(buffer) : dsn;
}

// Replaces every item of the key by one with the value.
void setItem(std::vector<ConnectionItem>& items, std::string_view key, std::string value) {
    std::erase_if(items, [&](const ConnectionItem& i) { return sameKey(i.key, key); });
    items.push_back({std::string(key), std::move(value)});
}

// The ADO names of ODBC items: "Data Source" is the DSN (in a text that names no driver), "User ID"
// and "Password" are UID and PWD. An item under its ODBC name wins.
void useOdbcNames(std::vector<ConnectionItem>& items) {
    auto rename = [&](std::string_view ado, std::string_view odbc) {
        const ConnectionItem* item = findConnectionItem(items, ado);
        if (!item) return;
        if (!findConnectionItem(items, odbc)) items.push_back({std::string(odbc), item->value});
        std::erase_if(items, [&](const ConnectionItem& i) { return sameKey(i.key, ado); });
    };
    if (!findConnectionItem(items, "Driver")) rename("Data Source", "DSN");
    rename("User ID", "UID");
    rename("Password", "PWD");
}

// Whether odbcinst.ini registers a driver of this name (the driver manager would otherwise load the
// name as a library file).
bool registeredDriver(const std::string& name) {
    char library[512] = {};
    SQLGetPrivateProfileString(name.c_str(), "Driver", "", library, sizeof library, "odbcinst.ini");
    return library[0] != '\0';
}

// Items by which the driver manager reads a driver from a file (FILEDSN), writes a file (SAVEFILE) or
// sets attributes of the text's choosing on the connection (DMConnAttr, DMStmtAttr, DMEnvAttr).
void refuseManagerItems(const std::vector<ConnectionItem>& items) {
    for (const char* key : {"FILEDSN", "SAVEFILE", "DMConnAttr", "DMStmtAttr", "DMEnvAttr"})
        if (findConnectionItem(items, key))
            throw RuntimeError(kDriverError, std::string("[ODBC] The connection text may not use ") + key +
                                                 "=: name a data source registered in odbc.ini (DSN=) or a "
                                                 "driver registered in odbcinst.ini (Driver={Name}).");
}

// The driver manager loads a driver name that odbcinst.ini does not register as a library file.
void requireRegisteredDriver(const std::string& name) {
    if (!registeredDriver(name))
        throw RuntimeError(kDriverError, "[ODBC] The driver \"" + name +
                                             "\" is not registered: register it in odbcinst.ini and name it "
                                             "Driver={Name} (a driver given as a file is never loaded).");
}

// The SQLite driver loads the library its LoadExt item names and writes the trace file its Tracefile
// item names: no text may hold either, not even inside another value (a driver registered under
// another name may be the SQLite driver).
void refuseDriverFiles(const std::string& odbcText, const std::string& component) {
    if (findText(odbcText, "loadext") > 0)
        throw RuntimeError(kDriverError, "[" + component + "] The connection text may not ask for SQLite extensions "
                                                           "(LoadExt=): they are native code.");
    if (findText(odbcText, "tracefile") > 0)
        throw RuntimeError(kDriverError, "[" + component + "] The connection text may not name a trace file "
                                                           "(Tracefile=).");
}

// The SQLite driver reads an item up to the next ";", braces or not: a ";" inside a value would
// start an item of the value's choosing (NoCreat=0 before ours, say).
void requireNoSeparatorInValues(const std::vector<ConnectionItem>& items, const std::string& component) {
    for (const ConnectionItem& item : items)
        if (item.value.find(';') != std::string::npos)
            throw RuntimeError(kDriverError, "[" + component + "] The SQLite driver cannot take a \";\" inside a value (" +
                                                 item.key + "=).");
}

bool isTrue(const ConnectionItem* item) {
    if (!item) return false;
    const std::string value = Trim(item->value);
    if (sameKey(value, "True") || sameKey(value, "Yes")) return true;
    const auto number = parseNumber(value);
    return number && *number != 0;
}

std::string fileItem(const std::vector<ConnectionItem>& items) {
    const ConnectionItem* dbq = findConnectionItem(items, "DBQ");
    if (!dbq) throw RuntimeError(kDriverError, "[ODBC] The connection text names no file (DBQ=).");
    return nativePath(dbq->value);
}

}  // namespace

const ConnectionItem* findConnectionItem(const std::vector<ConnectionItem>& items, std::string_view key) {
    const ConnectionItem* found = nullptr;
    for (const auto& item : items)
        if (sameKey(item.key, key)) found = &item;  // the last one counts, as with the driver manager
    return found;
}

std::vector<ConnectionItem> parseConnectionText(const std::string& text, bool providerQuotes) {
    std::vector<ConnectionItem> items;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t eq = text.find_first_of("=;", at);
        if (eq == std::string::npos || text[eq] == ';') {  // an item without "=" is ignored
            at = eq == std::string::npos ? text.size() : eq + 1;
            continue;
        }
        ConnectionItem item{Trim(text.substr(at, eq - at)), {}};
        std::size_t v = eq + 1;
        while (v < text.size() && text[v] == ' ') ++v;
        const char open = v < text.size() ? text[v] : ';';
        if (open == '{' || (providerQuotes && (open == '"' || open == '\''))) {
            const char close = open == '{' ? '}' : open;
            std::size_t i = v + 1;
            for (;; ++i) {
                if (i >= text.size())
                    throw RuntimeError(kDriverError, "[ODBC] Invalid connection string attribute: the \"" +
                                                         std::string(1, open) + "\" after " + item.key +
                                                         "= is never closed.");
                if (text[i] == close) {
                    if (i + 1 < text.size() && text[i + 1] == close) {
                        item.value += close;
                        ++i;
                        continue;
                    }
                    break;
                }
                item.value += text[i];
            }
            const std::size_t semi = text.find(';', i + 1);
            at = semi == std::string::npos ? text.size() : semi + 1;
        } else {
            const std::size_t semi = text.find(';', v);
            item.value = Trim(text.substr(v, semi == std::string::npos ? std::string::npos : semi - v));
            at = semi == std::string::npos ? text.size() : semi + 1;
        }
        if (!item.key.empty()) items.push_back(std::move(item));
    }
    return items;
}

namespace {

// The items of a text as planConnection reads them: a provider's text with quoted values.
std::vector<ConnectionItem> itemsOf(const std::string& text) {
    std::vector<ConnectionItem> items = parseConnectionText(text);
    if (findConnectionItem(items, "Provider")) items = parseConnectionText(text, true);
    return items;
}

}  // namespace

bool sameConnectionItems(const std::string& original, const std::string& changed) {
    try {
        const std::vector<ConnectionItem> before = itemsOf(original);
        const std::vector<ConnectionItem> after = itemsOf(changed);
        return std::equal(before.begin(), before.end(), after.begin(), after.end(),
                          [](const ConnectionItem& a, const ConnectionItem& b) { return sameKey(a.key, b.key); });
    } catch (const RuntimeError&) {
        return false;
    }
}

ConnectionPlan planConnection(const std::string& text, const std::string& user, const std::string& password) {
    std::vector<ConnectionItem> items = itemsOf(text);
    ConnectionPlan plan;
    if (const ConnectionItem* provider = findConnectionItem(items, "Provider")) {
        if (findText(provider->value, "MSOLAP") == 1) {
            plan.route = ConnectionRoute::Olap;
            plan.component = provider->value;
            return plan;
        }
        if (findText(provider->value, "MSDASQL") != 1)
            throw RuntimeError(kProviderNotFound, "Provider cannot be found. It may not be properly installed. (" +
                                                      provider->value + ")");
        std::erase_if(items, [](const ConnectionItem& i) { return sameKey(i.key, "Provider"); });
    }

    useOdbcNames(items);
    refuseManagerItems(items);
    plan.readOnly = isTrue(findConnectionItem(items, "ReadOnly"));

    const ConnectionItem* driver = findConnectionItem(items, "Driver");
    if (namesDriver(driver, "Microsoft Access Driver")) {
        plan.route = ConnectionRoute::Access;
        plan.component = "Microsoft Access Driver";
        plan.sqlite = true;
        plan.databaseFile = fileItem(items);
        requireNoSeparatorInValues({{"DBQ", plan.databaseFile}}, plan.component);
        plan.odbcText = "Driver=SQLite3;Database=" + quoted(plan.databaseFile, true) + ";NoCreat=1;";
        refuseDriverFiles(plan.odbcText, plan.component);
        return plan;
    }
    if (namesDriver(driver, "Microsoft Excel Driver")) {
        plan.route = ConnectionRoute::Excel;
        plan.component = "Microsoft Excel Driver";
        plan.sqlite = true;
        plan.readOnly = false;  // the workbook is read into memory and never written back
        plan.workbookPath = fileItem(items);
        plan.odbcText = "Driver=SQLite3;Database=:memory:;";
        return plan;
    }

    if (driver) {
        requireRegisteredDriver(driver->value);
        plan.component = driver->value;
    } else if (const ConnectionItem* dsn = findConnectionItem(items, "DSN")) {
        plan.component = driverOfDsn(dsn->value);
    } else {
        plan.component = "ODBC";
    }
    if (!user.empty() || !password.empty()) {
        setItem(items, "UID", user);
        setItem(items, "PWD", password);
    }
    // File items name files the add-in's way or this system's: "\" and "/" alike.
    for (ConnectionItem& item : items)
        if (sameKey(item.key, "Database") || sameKey(item.key, "DBQ")) item.value = nativePath(item.value);
    if (findText(plan.component, "SQLite") > 0) {
        plan.sqlite = true;
        if (const ConnectionItem* database = findConnectionItem(items, "Database"); database && database->value != ":memory:")
            plan.databaseFile = database->value;
        else
            plan.inMemory = database != nullptr;
        setItem(items, "NoCreat", "1");
        // The driver's wait for a locked database follows the connection's time-outs (Connection.h).
        std::erase_if(items, [](const ConnectionItem& i) { return sameKey(i.key, "Timeout"); });
        requireNoSeparatorInValues(items, plan.component);
    }
    if (findText(plan.component, "PostgreSQL") > 0 || findText(plan.component, "psqlodbc") > 0) {
        setItem(items, "CommLog", "0");
        setItem(items, "Debug", "0");
    }
    plan.odbcText = joinItems(items, plan.sqlite);
    refuseDriverFiles(plan.odbcText, plan.component);
    return plan;
}

}  // namespace host::ado
