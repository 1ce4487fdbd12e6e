#include "host/files/SaveTarget.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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
    if (!S_ISREG(info.st_mode))
        failWrite(path, "it is not a regular file (a workbook replaces only a regular file)");
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

FileStamp stampOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// A file held for this save: other saves of it wait until this one is over (an advisory lock, which
// every save here takes). Holds nothing when the file cannot be opened (a new file).
class HeldFile {
public:
    explicit HeldFile(const fs::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)) {
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~HeldFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    int descriptor() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::optional<FileStamp> fileStampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return stampOf(info);
}

FileStamp saveFile(const std::string& path, std::string_view content, const std::optional<FileStamp>& unchangedSince) {
    const SaveTarget destination = saveTargetOf(path);
    const auto folder = destination.path.parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec)) failWrite(path, "the folder does not exist");
    const HeldFile current(destination.path);
    // Checked once this save holds the file: a save of another process that got there first has
    // replaced it by then.
    if (const auto now = fileStampOf(destination.path); unchangedSince && now && *now != *unchangedSince)
        throw RuntimeError(err::InvalidArgument, "'" + path +
                                                     "' was changed by another program since it was opened; it was "
                                                     "not saved, so that the other change is not lost. Open it "
                                                     "again and repeat your changes.");
    std::optional<HeldFile> written;
    FileStamp stamp;
    replaceFile(destination.path.string(), content, path, [&](const std::string& temporary) {
        keepPermissions(temporary, destination);
        // Held before it takes the name, so that a save that opens it next waits for this one.
        written.emplace(temporary);
        struct stat info {};
        if (written->descriptor() < 0 || ::fstat(written->descriptor(), &info) != 0)
            failWrite(path, "the new file cannot be checked");
        stamp = stampOf(info);
    });
    return stamp;
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
