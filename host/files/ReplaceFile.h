#pragma once
// Writing a whole file in one piece: first to a temporary file in the same folder, then renamed over
// the file, which keeps its permissions; a read-only file is refused before anything is written.

#include <string>
#include <string_view>

namespace host::files {

// Raises 1004 naming the file when its folder is missing or it cannot be written.
void replaceFile(const std::string& path, std::string_view content);

}  // namespace host::files
