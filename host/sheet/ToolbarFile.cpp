#include "host/sheet/ToolbarFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "host/base/RuntimeError.h"
#include "host/sheet/ToolbarText.h"

namespace host::sheet {

namespace {

std::string nativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

RuntimeError fileError(int error, bool reading) {
    switch (error) {
    case ENOENT: return RuntimeError(reading ? err::FileNotFound : err::PathNotFound);
    case ENOTDIR: return RuntimeError(err::PathNotFound);
    case EACCES:
    case EPERM:
    case EROFS: return RuntimeError(err::PermissionDenied);
    default: return RuntimeError(err::PathFileAccessError);
    }
}

std::string readWholeFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw fileError(errno, true);
    std::string text;
    char buffer[8192];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    const int error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (error != 0) throw fileError(error, true);
    return text;
}

// A file being written next to its target; removed unless committed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) : path_(target + ".XXXXXX") {
        fd_ = ::mkstemp(path_.data());
        if (fd_ < 0) throw fileError(errno, false);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        // Permissions as for an ordinary new file, not mkstemp's owner-only ones.
        if (::fchmod(fd_, 0666 & ~mask) != 0) {
            const int error = errno;
            ::close(fd_);
            ::unlink(path_.c_str());
            throw fileError(error, false);
        }
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void write(std::string_view text) {
        while (!text.empty()) {
            const ssize_t n = ::write(fd_, text.data(), text.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw fileError(errno, false);
            text.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    // Flushes the text to disk and puts the file in the target's place.
    void commit(const std::string& target) {
        const int fd = std::exchange(fd_, -1);
        if (::fsync(fd) != 0 || ::close(fd) != 0) throw fileError(errno, false);
        if (::rename(path_.c_str(), target.c_str()) != 0) throw fileError(errno, false);
        committed_ = true;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace

void saveToolbars(const CommandBars& bars, const std::vector<std::string>& barNames, const std::string& path) {
    std::vector<CommandBarDescription> descriptions;
    for (const auto& name : barNames) descriptions.push_back(bars.item(std::string_view(name))->describe());
    const std::string target = nativePath(path);
    TemporaryFile file(target);
    file.write(toolbarText(descriptions));
    file.commit(target);
}

void loadToolbars(CommandBars& bars, const std::string& path) {
    const std::string file = nativePath(path);
    for (const auto& description : parseToolbarText(readWholeFile(file), file)) bars.restore(description);
}

}  // namespace host::sheet
