#include "host/os/System.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"

namespace host::os {

namespace fs = std::filesystem;

std::string computerName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) throw RuntimeError(err::InvalidArgument, "The computer has no name");
    return name;
}

std::string currentFolder() {
    std::error_code error;
    const fs::path folder = fs::current_path(error);
    if (error) throw RuntimeError(err::PathNotFound, error.message());
    return folder.string();
}

std::string moduleFolder(const void* code) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(code, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 || map == nullptr)
        throw RuntimeError(err::FileNotFound);
    // The main program's entry has no name of its own; the kernel knows its file.
    const fs::path file = map->l_name[0] != '\0' ? fs::path(map->l_name) : fs::path("/proc/self/exe");
    std::error_code error;
    const fs::path resolved = fs::canonical(file, error);
    if (error) throw RuntimeError(err::FileNotFound, error.message());
    return resolved.parent_path().string();
}

bool pathExists(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) throw RuntimeError(err::BadFileNameOrNumber);
    std::error_code error;
    const fs::file_status status = fs::status(nativePath(path), error);
    if (!error) return fs::exists(status);
    switch (error.value()) {
    case ENOENT:
    case ENOTDIR:
    case EACCES: return false;
    default: throw RuntimeError(err::BadFileNameOrNumber);
    }
}

}  // namespace host::os
