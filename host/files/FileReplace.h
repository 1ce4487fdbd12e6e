#pragma once
// Replacing a file's content as a whole, so that a failure or a kill part-way never leaves a damaged
// file: the content goes to a temporary file beside it, is flushed to disk and renamed over it, and
// the folder is flushed after the rename.

#include <functional>
#include <string>
#include <string_view>

namespace host::files {

// Writes content as the file at path. The temporary file is ".~<name>.<process id>.<random>.tmp" in
// the same folder, created only where no entry of that name exists (never through a symbolic link),
// with the permissions the umask gives a new file. beforeRename, when given, is called with it once it
// is complete. It is removed on every ending that can be caught: an error, and a signal ending the
// program (SIGINT, SIGTERM, SIGHUP, SIGQUIT) while it is written; the temporary files of path that
// processes which are gone left behind are removed first. Raises 1004 naming shownName when the file
// cannot be written.
void replaceFile(const std::string& path, std::string_view content, const std::string& shownName,
                 const std::function<void(const std::string& temporary)>& beforeRename = {});

}  // namespace host::files
