#include "host/base/Folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"

namespace host {

namespace fs = std::filesystem;

namespace {

bool isListedFile(const fs::directory_entry& entry) {
    std::error_code ignored;  // an entry that cannot be looked at is no regular file
    const fs::file_type type = entry.status(ignored).type();
    return type == fs::file_type::regular || (type == fs::file_type::not_found && entry.is_symlink(ignored));
}

}  // namespace

std::vector<std::string> listFiles(const std::string& folder) {
    const fs::path native(nativePath(folder));
    std::error_code ec;
    if (!fs::is_directory(native, ec)) throw RuntimeError(err::PathNotFound);
    fs::directory_iterator it(native, ec);
    if (ec) throw RuntimeError(err::PathFileAccessError);
    std::vector<std::string> names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (isListedFile(*it)) names.push_back(it->path().filename().string());
    }
    if (ec) throw RuntimeError(err::PathFileAccessError);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace host
