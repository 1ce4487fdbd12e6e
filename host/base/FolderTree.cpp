#include "host/base/FolderTree.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "host/base/DateSerial.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Utf8.h"

namespace host {

namespace fs = std::filesystem;

namespace {

double localSerial(std::time_t t) {
    std::tm parts{};
    localtime_r(&t, &parts);
    return dateSerial(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                      parts.tm_sec);
}

// A file-system name as text: bytes that are no UTF-8 become U+FFFD.
std::string asText(const std::string& name) {
    if (isValidUtf8(name)) return name;
    std::string text;
    for (std::size_t at = 0; at < name.size();) appendUtf8(text, nextChar(name, at));
    return text;
}

// The entries of one folder, sorted by name: its files into `files`, its subfolders into `folders`.
void readFolder(const fs::path& folder, std::vector<FileEntry>& files, std::vector<fs::path>& folders) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& entry : entries) {
        std::error_code ignored;
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
            folders.push_back(entry.path());
            continue;
        }
        struct stat info {};
        if (!entry.is_regular_file(ignored) || ::stat(entry.path().c_str(), &info) != 0) continue;
        files.push_back({asText(folder.string()), asText(entry.path().filename().string()), static_cast<std::uintmax_t>(info.st_size),
                         localSerial(info.st_mtime)});
    }
}

}  // namespace

bool isFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(nativePath(path)), ec);
}

std::vector<FileEntry> listFileTree(const std::string& folder, std::size_t limit) {
    fs::path root(nativePath(folder));
    if (!isFolder(folder)) throw RuntimeError(err::PathNotFound);
    if (root.has_relative_path() && !root.has_filename()) root = root.parent_path();  // no trailing separator
    std::vector<FileEntry> result;
    std::vector<fs::path> pending{root};  // folders still to read, the next one last
    while (!pending.empty() && result.size() < limit) {
        const fs::path next = pending.back();
        pending.pop_back();
        std::vector<fs::path> subfolders;
        readFolder(next, result, subfolders);
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
    }
    if (result.size() > limit) result.resize(limit);
    return result;
}

}  // namespace host
