#pragma once
// SQLite extensions are native code: no query, connection text or database file may load one. The
// SQLite ODBC driver links the system's SQLite library into this process and enables extension
// loading on every connection it opens, so the refusal is put into that library: every SQLite
// connection opened in the process afterwards (by the driver or anyone else) answers
// load_extension() with an error, also where a statement's author reaches it through a view or
// trigger. The driver's own "LoadExt=" item is refused with the connection text (ConnectionText.h).

namespace host::ado {

// Installs the refusal once; call before the first SQLite connection opens.
void refuseSqliteExtensions();

}  // namespace host::ado
