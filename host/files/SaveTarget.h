#pragma once
// What a save replaces: the file a name stands for (the final target of a symbolic link, so that the
// link stays a link) and the permissions of the file being replaced, which the new file keeps. A
// read-only file is refused, as the spreadsheet refuses it, before anything is written.

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

namespace host::files {

struct SaveTarget {
    std::filesystem::path path;          // where the new file goes
    std::optional<struct stat> replaced;  // the file it replaces, if there is one
};

// The save target of a workbook file name. Raises 1004 "'<name>' is read-only. ..." when the file
// exists and no one may write it (no write permission bit, or no write access for this user).
SaveTarget saveTargetOf(const std::string& path);

// Gives the new file (not yet renamed into place) the mode and, where permitted, the owner and group
// of the file it replaces; a new file keeps what it was created with.
void keepPermissions(const std::filesystem::path& newFile, const SaveTarget& target);

// Refuses a name whose extension is not one the platform writes a workbook as: the workbook formats
// (.xlsx, .xlsm, .xltx, .xltm, .xlam) and the add-in's own names stored in the same format (.xls, .xla,
// .xlt, .ana). A name without an extension is accepted. Raises 1004 naming the file.
void checkWorkbookFileName(const std::string& path);

}  // namespace host::files
