#pragma once
// Replacing a file's content as a whole, so that a failure or a kill part-way never leaves a damaged
// file: the content goes to a temporary file beside it, is flushed to disk and renamed over it, and
// the folder is flushed after the rename.

#include <functional>
#include <string>
#include <string_view>

namespace host::files {

// The temporary file used for path: ".~<name>.<process id>.tmp" in the same folder.
std::string temporaryFileFor(const std::string& path);

// Writes content as the file at path; beforeRename, when given, is called with the temporary file
// once it is complete. The temporary file is removed on every ending that can be caught: an error,
// and a signal ending the program (SIGINT, SIGTERM, SIGHUP, SIGQUIT) while it is written. Raises
// 1004 naming shownName when the file cannot be written.
void replaceFile(const std::string& path, std::string_view content, const std::string& shownName,
                 const std::function<void(const std::string& temporary)>& beforeRename = {});

}  // namespace host::files
