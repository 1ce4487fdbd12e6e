#include "host/files/ReplaceFile.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/files/FileError.h"
#include "host/files/SaveTarget.h"

namespace host::files {

void replaceFile(const std::string& path, std::string_view content) {
    const SaveTarget destination = saveTargetOf(path);
    const std::filesystem::path& target = destination.path;
    const auto folder = target.parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) failWrite(path, "the folder does not exist");
    const auto temporary = folder / (".~" + target.filename().string() + "." + std::to_string(::getpid()) + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            failWrite(path, "the file cannot be written");
        }
    }
    keepPermissions(temporary, destination);
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        failWrite(path, ec.message());
    }
}

}  // namespace host::files
