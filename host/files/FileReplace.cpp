#include "host/files/FileReplace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "host/files/FileError.h"

namespace host::files {

namespace {

// The temporary file being written, for the signal handler: a fixed buffer, as a handler may not
// allocate.
char pendingPath[4096];
volatile std::sig_atomic_t hasPending = 0;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previousActions[std::size(kEndingSignals)];

// Removes the temporary file, then lets the signal take its former course: the program's own
// handler, or the default action (ending the program) with the default restored.
void onEndingSignal(int signal) {
    if (hasPending) ::unlink(pendingPath);
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        if (kEndingSignals[i] != signal) continue;
        const struct sigaction& previous = previousActions[i];
        if (previous.sa_handler == SIG_IGN) return;
        if (previous.sa_handler != SIG_DFL && !(previous.sa_flags & SA_SIGINFO)) return previous.sa_handler(signal);
        ::sigaction(signal, &previous, nullptr);
        ::raise(signal);
    }
}

void installHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            struct sigaction action {};
            action.sa_handler = onEndingSignal;
            sigemptyset(&action.sa_mask);
            ::sigaction(kEndingSignals[i], &action, &previousActions[i]);
        }
    });
}

// Marks the temporary file for removal by the handler while it exists.
class PendingFile {
public:
    explicit PendingFile(const std::string& path) : path_(path) {
        installHandlers();
        std::memcpy(pendingPath, path.c_str(), path.size() + 1);
        hasPending = 1;
    }
    ~PendingFile() {
        hasPending = 0;
        if (!renamed_) ::unlink(path_.c_str());
    }
    void renamed() { renamed_ = true; }

private:
    const std::string& path_;
    bool renamed_ = false;
};

std::string systemError() { return std::strerror(errno); }

void writeAll(int fd, std::string_view content, const std::string& shownName) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const std::string reason = systemError();
            ::close(fd);
            failWrite(shownName, reason);
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Flushes a folder's entries (a rename in it) to disk.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string temporaryFileFor(const std::string& path) {
    const std::filesystem::path target(path);
    return (target.parent_path() / (".~" + target.filename().string() + "." + std::to_string(::getpid()) + ".tmp")).string();
}

void replaceFile(const std::string& path, std::string_view content, const std::string& shownName,
                 const std::function<void(const std::string& temporary)>& beforeRename) {
    static std::mutex writing;  // one pending file at a time, for the signal handler
    const std::lock_guard lock(writing);
    const std::string temporary = temporaryFileFor(path);
    if (temporary.size() >= sizeof pendingPath) failWrite(shownName, "the path is too long");
    const std::string folder = std::filesystem::path(path).parent_path().string();
    PendingFile pending(temporary);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) failWrite(shownName, systemError());
    writeAll(fd, content, shownName);
    const bool synced = ::fsync(fd) == 0;
    const std::string syncError = synced ? std::string() : systemError();
    if (::close(fd) != 0 || !synced) failWrite(shownName, synced ? systemError() : syncError);
    if (beforeRename) beforeRename(temporary);
    if (::rename(temporary.c_str(), path.c_str()) != 0) failWrite(shownName, systemError());
    pending.renamed();
    syncFolder(folder);
}

}  // namespace host::files
