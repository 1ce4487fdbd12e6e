#include "host/base/FolderTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <filesystem>
#include <memory>
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

// A folder opened for reading (nullptr when it cannot be). A path longer than the system takes is
// opened one folder at a time from the root, each relative to the one before.
struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

Dir openFolder(const fs::path& root, const fs::path& folder) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    int fd = -1;
    if (folder.native().size() < PATH_MAX) {
        fd = ::open(folder.c_str(), kFlags);
    } else {
        fd = ::open(root.c_str(), kFlags);
        for (const auto& part : folder.lexically_relative(root)) {
            if (fd < 0) break;
            const int next = ::openat(fd, part.c_str(), kFlags);
            ::close(fd);
            fd = next;
        }
    }
    if (fd < 0) return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (!dir) ::close(fd);
    return Dir(dir);
}

// The entries of one folder, sorted by name: its files into `files`, its subfolders into `folders`.
void readFolder(const fs::path& root, const fs::path& folder, std::vector<FileEntry>& files, std::vector<fs::path>& folders) {
    const Dir dir = openFolder(root, folder);
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    const int fd = ::dirfd(dir.get());
    for (const std::string& name : names) {
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            folders.push_back(folder / name);
            continue;
        }
        // A link to a file is listed with the file's size and date; a link to a folder is not entered.
        if (S_ISLNK(info.st_mode) && ::fstatat(fd, name.c_str(), &info, 0) != 0) continue;
        if (!S_ISREG(info.st_mode)) continue;
        files.push_back({asText(folder.string()), asText(name), static_cast<std::uintmax_t>(info.st_size),
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
        readFolder(root, next, result, subfolders);
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
    }
    if (result.size() > limit) result.resize(limit);
    return result;
}

}  // namespace host
