#pragma once
// Questions put to the operating system: the computer's name, the current folder, the file a piece of
// code was loaded from, whether a path exists.

#include <string>
#include <string_view>

namespace host::os {

// The computer's network name (the host name). Raises RuntimeError when the system gives none.
std::string computerName();

// The process's current folder, without a trailing separator (except for the root "/").
std::string currentFolder();

// The folder of the executable or shared library that holds the code at `code` (pass the address of a
// function), without a trailing separator. Raises RuntimeError 53 when no loaded file holds it.
std::string moduleFolder(const void* code);

// The runtime's Dir probe: True when a file or folder exists at the path ("\" and "/" both separate
// folders), False when it does not or cannot be seen. Raises RuntimeError 52 "Bad file name or number"
// when the path cannot be looked up at all (a name too long, a NUL character, a symbolic-link loop).
bool pathExists(std::string_view path);

}  // namespace host::os
