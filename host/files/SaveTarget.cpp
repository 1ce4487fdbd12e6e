#include "host/files/SaveTarget.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <optional>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/files/FileError.h"
#include "host/files/FileReplace.h"

namespace host::files {

namespace fs = std::filesystem;

namespace {

struct SaveTarget {
    fs::path path;                        // where the new file goes
    std::optional<struct stat> replaced;  // the file it replaces, if there is one
};

SaveTarget saveTargetOf(const std::string& path) {
    SaveTarget target{fs::path(path), std::nullopt};
    std::error_code ec;
    if (fs::is_symlink(target.path, ec)) {
        const auto resolved = fs::weakly_canonical(target.path, ec);
        if (ec) failWrite(path, "the symbolic link cannot be followed (" + ec.message() + ")");
        target.path = resolved;
    }
    struct stat info {};
    if (::stat(target.path.c_str(), &info) != 0) return target;  // a new file
    const bool noWriteBit = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (noWriteBit || ::access(target.path.c_str(), W_OK) != 0)
        throw RuntimeError(err::InvalidArgument, "'" + path + "' is read-only. Save the workbook under another name.");
    target.replaced = info;
    return target;
}

// Gives the new file (not yet renamed into place) the mode and, where permitted, the owner and group
// of the file it replaces; a new file keeps what it was created with.
void keepPermissions(const fs::path& newFile, const SaveTarget& target) {
    if (!target.replaced) return;
    // Owner first: changing the owner may clear the set-id bits that the mode then restores.
    [[maybe_unused]] const int owned = ::chown(newFile.c_str(), target.replaced->st_uid, target.replaced->st_gid);
    if (::chmod(newFile.c_str(), target.replaced->st_mode & 07777) != 0)
        failWrite(target.path.string(), "its permissions cannot be kept");
}

}  // namespace

void saveFile(const std::string& path, std::string_view content) {
    const SaveTarget destination = saveTargetOf(path);
    const auto folder = destination.path.parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec)) failWrite(path, "the folder does not exist");
    replaceFile(destination.path.string(), content, path,
                [&](const std::string& temporary) { keepPermissions(temporary, destination); });
}

void checkWorkbookFileName(const std::string& path) {
    static const std::array<const char*, 9> kExtensions = {".xlsx", ".xlsm", ".xltx", ".xltm", ".xlam",
                                                          ".xls",  ".xla",  ".xlt",  ".ana"};
    const std::string extension = LCase(fs::path(path).extension().string());
    if (extension.empty()) return;
    for (const char* known : kExtensions)
        if (extension == known) return;
    failWrite(path, "workbooks are saved as .xlsx (or as .xls, .xla, .xlt and .ana, stored in the same format), not as " +
                        extension);
}

}  // namespace host::files
