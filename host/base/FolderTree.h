#pragma once
// The files of a folder and of all its subfolders, as a file register lists them.

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Folder and name are UTF-8 text: bytes of a name that are no UTF-8 are shown as U+FFFD.
struct FileEntry {
    std::string folder;  // the folder holding the file, without a trailing separator
    std::string name;
    std::uintmax_t size = 0;
    double modified = 0;  // date serial of the last change, local time
};

// True when the path ("\" or "/" between folders) names an existing folder.
bool isFolder(const std::string& path);

// Every file under `folder` (the files of a folder first, sorted by name, then its subfolders in
// name order), at most `limit` of them. Subfolders reached through symbolic links are not entered
// (a link cannot lead the walk in circles); folders that cannot be read are passed over. Walks with
// a list of its own, not by recursion; folders deeper than the system's path limit are reached one
// level at a time, so that none of them is lost. Raises 76 "Path not found" when `folder` is no folder.
std::vector<FileEntry> listFileTree(const std::string& folder, std::size_t limit);

}  // namespace host
