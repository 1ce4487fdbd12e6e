#pragma once
// Saving a file: the file a name stands for (the final target of a symbolic link, so that the link
// stays a link) is replaced as a whole and keeps the permissions of the file it replaces. A read-only
// file, anything that is not a regular file, and a file another program changed since it was read are
// refused before anything is written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace host::files {

// What tells one content of a file on disk from another: a program that replaces or writes the file
// changes it.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path (a symbolic link followed); none when there is no such file.
std::optional<FileStamp> fileStampOf(const std::string& path);

// Writes content as the file a save names and returns the stamp of the new file. The folder must
// exist; a file that exists and is not a regular file (a folder, a FIFO, a device) is refused with
// 1004, and so is one no one may write (no write permission bit, or no write access for this user):
// "'<name>' is read-only. ...". When unchangedSince is given and the file is no longer the one it
// stamps, another program saved it in the meantime and the save is refused with 1004 "'<name>' was
// changed by another program ...", the file untouched. Saves of the same file by several processes take
// turns, so that each sees the file the one before it left. The file is replaced durably
// (FileReplace.h), keeping the mode and, where permitted, the owner and group of the file it replaces.
// Raises 1004 naming path when it cannot be written.
FileStamp saveFile(const std::string& path, std::string_view content,
                   const std::optional<FileStamp>& unchangedSince = std::nullopt);

// Refuses a name whose extension is not one the platform writes a workbook as: the workbook formats
// (.xlsx, .xlsm, .xltx, .xltm, .xlam) and the add-in's own names stored in the same format (.xls, .xla,
// .xlt, .ana). A name without an extension is accepted. Raises 1004 naming the file.
void checkWorkbookFileName(const std::string& path);

}  // namespace host::files
