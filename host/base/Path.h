#pragma once
// Paths as the add-in writes them ("\" between folders) turned into paths of this system.

#include <string>
#include <string_view>

namespace host {

// The path with every "\" turned into "/", the native separator; "/" stays as it is.
std::string nativePath(std::string_view path);

// The process's current directory; setting it raises error 76 "Path not found" for a folder that
// does not exist.
std::string currentDirectory();
void setCurrentDirectory(const std::string& folder);

}  // namespace host
