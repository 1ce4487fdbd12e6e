#pragma once
// How many statements a database may run for one SQL text. Dialects differ in what hides a ";": all
// take '...' and "..." as quoted, some also [...], some let a backslash escape a quote, some take
// "--" and "/* */" as comments. A text is read in each of these ways.

#include <string_view>

namespace host::ado {

// True when `changed` may run as more statements than `original` in some dialect: a value put into
// a query has then added a statement to it.
bool addsStatements(std::string_view original, std::string_view changed);

}  // namespace host::ado
