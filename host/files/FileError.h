#pragma once
// Errors of the workbook-file layer: RuntimeError 1004 with a description naming the file.

#include <string>

namespace host::files {

// Raises 1004 "'<path>' cannot be read: <what>."
[[noreturn]] void failRead(const std::string& path, const std::string& what);
// Raises 1004 "'<path>' cannot be saved: <what>."
[[noreturn]] void failWrite(const std::string& path, const std::string& what);
// Raises 1004 "'<path>' could not be found. ..." for a workbook file that does not exist.
[[noreturn]] void failNotFound(const std::string& path);
// A text from the file as a message quotes it: the first 100 characters, "..." after a longer one.
std::string excerpt(const std::string& text);

}  // namespace host::files
