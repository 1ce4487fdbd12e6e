#pragma once
// Connection texts: how a text the add-in passes to Connection.Open reaches a data source here.
//   "DSN=...;..." and "Driver={...};..."  go to the ODBC driver manager as they are;
//   "Provider=MSDASQL;" (any version)     is dropped: ODBC is the only provider of ODBC texts;
//   "Provider=MSOLAP..."                  is the OLAP provider (served by the cube engine);
//   "Driver={Microsoft Access Driver (*.mdb)};DBQ=file"  is served by the SQLite3 driver on the file;
//   "Driver={Microsoft Excel Driver (*.xls)};DBQ=file"   is served by a reader of the workbook file
//                                         into an in-memory SQLite database (see ExcelSource.h).
// Any other provider is not available. A user name or password given to Open replaces the text's
// UID and PWD items. The ADO forms of the items are understood: "Data Source" names the DSN,
// "User ID" and "Password" are UID and PWD.
// A database file the text names must exist (the SQLite driver is told never to create one), and
// drivers are told to write no logs of their own (psqlODBC's CommLog and Debug are switched off).
// Nothing in a text makes the process load a library or write a file of the text's choosing: a
// driver is named by its name in odbcinst.ini (a driver given as a file is refused), and FILEDSN,
// SAVEFILE, the driver manager's DMConnAttr, DMStmtAttr and DMEnvAttr, the SQLite driver's LoadExt
// and Tracefile items, and a ";" inside a value for the SQLite driver (which would read it as the
// start of an item) are refused with kDriverError.

#include <string>
#include <string_view>
#include <vector>

namespace host::ado {

// One "key=value" item; `value` without its braces.
struct ConnectionItem {
    std::string key;
    std::string value;
};

// The items of a connection text split at ";" outside braces ("{...}", "}}" inside standing for
// "}"); with `providerQuotes` (the OLE DB texts of providers) a value may also be enclosed in double
// or single quotes, the quote doubled inside. Raises kDriverError for a value that is never closed.
std::vector<ConnectionItem> parseConnectionText(const std::string& text, bool providerQuotes = false);

// True when `changed` holds the items of `original`, by key (letters in any case) and in order, and no
// other: a value put into a connection text has then added no item to it (a driver's ConnSettings
// runs statements, say). A text that cannot be read has items of its own.
bool sameConnectionItems(const std::string& original, const std::string& changed);

// The last item named `key` (letters in any case), nullptr when there is none.
const ConnectionItem* findConnectionItem(const std::vector<ConnectionItem>& items, std::string_view key);

enum class ConnectionRoute { Odbc, Access, Excel, Olap };

struct ConnectionPlan {
    ConnectionRoute route = ConnectionRoute::Odbc;
    std::string odbcText;      // what SQLDriverConnect receives (empty for Olap)
    std::string component;     // the driver's name, put in front of its messages
    std::string workbookPath;  // the workbook file of the Excel route (native separators)
    std::string databaseFile;  // the database file the text names, which must exist ("" when none)
    bool sqlite = false;       // the SQLite driver serves the connection
    bool inMemory = false;     // a SQLite database in memory, new with every connection
    bool readOnly = false;     // "ReadOnly" is true (True, Yes or a number other than 0)
};

// Decides the route of a connection text and builds what the driver manager receives. Raises
// kProviderNotFound for a provider other than MSDASQL and MSOLAP.
ConnectionPlan planConnection(const std::string& text, const std::string& user, const std::string& password);

}  // namespace host::ado
