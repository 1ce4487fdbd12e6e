#pragma once
// Folders: the files a folder holds. Paths may use "\" or "/" between folders.

#include <string>
#include <vector>

namespace host {

// The names (without folder) of the files in a folder, sorted by name (byte order of the UTF-8
// names), so that a listing comes out the same on every run. Folders and special files (pipes,
// sockets, devices) are left out; a symbolic link counts as what it points to, and a link whose
// target is missing is listed (reading it then fails as for a file deleted after the listing).
// Errors: 76 "Path not found" when the folder does not exist or is no folder, 75 "Path/File access
// error" when it cannot be read.
std::vector<std::string> listFiles(const std::string& folder);

}  // namespace host
