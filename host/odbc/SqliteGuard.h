#pragma once
// SQLite extensions are native code: no query, connection text or database file may load one. The
// SQLite ODBC driver links the system's SQLite library into this process and enables extension
// loading on every connection it opens, so the refusal is put into that library: every SQLite
// connection opened in the process afterwards (by the driver or anyone else) answers
// load_extension() with an error, also where a statement's author reaches it through a view or
// trigger. The driver's own "LoadExt=" item is refused with the connection text (ConnectionText.h).
// Nor may a statement make SQLite create a file: ATTACH of a database file and VACUUM INTO are
// refused as well (the SQLite driver's NoCreat does not cover them).

namespace host::ado {

// Installs the refusals once; call before the first SQLite connection opens.
void guardSqliteConnections();

}  // namespace host::ado
