#pragma once
// How a database server will split an SQL text into statements. Servers differ in what hides a ";":
// all take '...' and "..." as quoted; PostgreSQL also $$...$$ / $tag$...$tag$, E'...' with backslash
// escapes and nested /* */ comments; SQLite and SQL Server [...]; MySQL and SQLite `...`; MySQL a
// backslash in any quote, "#" comments and "--" only before a blank, and runs what /*! ... */ holds.
// A text is read the way each of these servers reads it; a text that some server may read as more
// statements is treated as holding more.

#include <cstddef>
#include <string_view>

namespace host::ado {

// True when `changed` may run as more statements than `original` in some server's reading: a value
// put into a query has then added a statement to it.
bool addsStatements(std::string_view original, std::string_view changed);

// True when `sql`, read alone by every server, is exactly one statement with no ";" outside quotes
// and comments, every bracket it opens closed in order, and it ends outside any quote, comment (a
// "--" comment without its line end included) or bracket: it can then be put inside a larger
// statement, e.g. "(sql)", and ends where the text ends.
bool isSingleCompleteStatement(std::string_view sql);

// True when `value`, put into `sql` at `position` (where a placeholder stands), stays where the text
// puts it in every server's reading: at a place inside a '...' literal it holds no quote and no
// backslash; anywhere else it is one run of letters (of any script), digits, "_", "%" and "." (a name
// or a number).
bool staysInPlace(std::string_view sql, std::size_t position, std::string_view value);

}  // namespace host::ado
