#pragma once
// The lock files spreadsheet programs on Linux keep beside a file they have open for editing:
// ".~lock.<name>#" holding one line "<name>,<user>,<host>,<DD.MM.YYYY HH:MM>,<profile>;" (a ',', ';'
// or '\' inside a field escaped with '\'). This platform writes one for each workbook file it opens,
// with "telm (process <id>)" as the name, and reads those of other programs.

#include <memory>
#include <optional>
#include <string>

namespace host::files {

// Who else has the file at path open, as its lock file names them ("<user> on <host> since <date>
// (lock file '<lock file>')"): a program or process other than this one. A lock file this platform's
// process left behind when it ended abnormally does not count (and is removed); one of another
// program always counts, as that program cannot be asked.
std::optional<std::string> otherLockHolder(const std::string& path);

// The lock this process holds on a file it has open; the lock file is removed with it.
class FileLock {
public:
    // Writes the lock file of path unless there is one of another holder (or it cannot be written:
    // a folder without write access); nullptr then.
    static std::unique_ptr<FileLock> take(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(std::string lockPath) : lockPath_(std::move(lockPath)) {}
    std::string lockPath_;
};

}  // namespace host::files
