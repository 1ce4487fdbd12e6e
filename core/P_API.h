#pragma once
// Wrappers of the operating system's services that the commands call directly: the computer name,
// the network form of a local path, opening a document or web address, downloading a file and the
// two folder pickers.

#include <string>
#include <string_view>

#include "host/base/Variant.h"

namespace telm {

// The text ConvertToUNCPath gives for a path that cannot be looked up.
inline constexpr std::string_view kBadPathText = "#BłędnaŚcieżka!";

// The computer's name. Marks the calling formula volatile (error 91 without the application).
std::string ComputerName();

// The network form of `path` when `flag` is True, else the path unchanged. An empty path is first
// replaced by the current folder (the caller's variable receives it too). The network form puts the
// computer name in place of the drive root, as if the first folder below the root were shared under
// its own name: "C:\Dane\x.xls" on PC1 gives "\\PC1\Dane\x.xls" (every occurrence of the path's first
// three characters is replaced); a path rooted at "/" gives "//PC1" followed by the path. The result
// is probed; a probe that fails (not one that finds nothing) gives kBadPathText. Marks the calling
// formula volatile (error 91 without the application).
std::string ConvertToUNCPath(std::string& path, bool flag = false);

// Opens a document or web address with the program the desktop associates with it. When the program
// cannot be started, reports message 1012 with the target (exclamation icon) and returns.
void OpenDocument(std::string_view target);

// Downloads `url` into the file `localFile`; True when the whole file arrived. False for any failure,
// raising nothing.
bool DownloadFile(std::string_view url, std::string_view localFile);

// Asks the user for a folder: the chosen folder ending in a separator, "" when cancelled, as a
// String. Error 91 without the application.
host::Variant BrowseFolderDialog();

// Asks the user for a folder, with a title and starting in `root` (Missing: no start folder): the
// chosen folder ending in a separator (the application's path separator is appended unless it ends
// in one already, as a drive root does), "" when cancelled. The window handle and the option flags of
// the original dialog are accepted and have no effect here.
std::string ShellBrowseForFolder(long hwnd, std::string_view title, int options,
                                 const host::Variant& root = host::Variant::missing());

}  // namespace telm
