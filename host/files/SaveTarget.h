#pragma once
// Saving a file: the file a name stands for (the final target of a symbolic link, so that the link
// stays a link) is replaced as a whole and keeps the permissions of the file it replaces. A read-only
// file is refused, as the spreadsheet refuses it, before anything is written.

#include <string>
#include <string_view>

namespace host::files {

// Writes content as the file a save names: the folder must exist, and a file that exists and no one
// may write (no write permission bit, or no write access for this user) is refused with 1004
// "'<name>' is read-only. ...". The file is replaced durably (FileReplace.h), keeping the mode and,
// where permitted, the owner and group of the file it replaces. Raises 1004 naming path when it
// cannot be written.
void saveFile(const std::string& path, std::string_view content);

// Refuses a name whose extension is not one the platform writes a workbook as: the workbook formats
// (.xlsx, .xlsm, .xltx, .xltm, .xlam) and the add-in's own names stored in the same format (.xls, .xla,
// .xlt, .ana). A name without an extension is accepted. Raises 1004 naming the file.
void checkWorkbookFileName(const std::string& path);

}  // namespace host::files
