#include "host/base/Path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host/base/RuntimeError.h"

namespace host {

std::string nativePath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string currentDirectory() {
    std::error_code ec;
    auto folder = std::filesystem::current_path(ec);
    if (ec) throw RuntimeError(err::PathNotFound);
    return folder.string();
}

void setCurrentDirectory(const std::string& folder) {
    std::error_code ec;
    std::filesystem::current_path(nativePath(folder), ec);
    if (ec) throw RuntimeError(err::PathNotFound);
}

}  // namespace host
