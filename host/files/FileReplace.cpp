#include "host/files/FileReplace.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <charconv>
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

constexpr std::string_view kTemporaryEnd = ".tmp";

std::string temporaryPrefix(const std::string& fileName) { return ".~" + fileName + "."; }

// Eight letters and digits nobody can guess.
std::string randomToken(const std::string& shownName) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[8];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failWrite(shownName, "no random name for its temporary file (" + systemError() + ")");
        filled += static_cast<std::size_t>(n);
    }
    std::string token;
    for (unsigned char b : bytes) token += kLetters[b % (sizeof kLetters - 1)];
    return token;
}

// Creates the temporary file for path in folder: a fresh name each try, never an existing entry and
// never through a symbolic link. Returns the open descriptor and sets temporary.
int createTemporary(const std::string& folder, const std::string& fileName, std::string& temporary,
                    const std::string& shownName) {
    const std::string prefix = temporaryPrefix(fileName) + std::to_string(::getpid()) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = (std::filesystem::path(folder) / (prefix + randomToken(shownName) + std::string(kTemporaryEnd))).string();
        if (temporary.size() >= sizeof pendingPath) failWrite(shownName, "the path is too long");
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) failWrite(shownName, systemError());
    }
    failWrite(shownName, "no temporary file could be created beside it");
}

// The process that wrote a temporary file of ours, from its name ".~<name>.<pid>[.<random>].tmp";
// 0 when the name is not one.
pid_t writerOf(std::string_view entry, const std::string& prefix) {
    if (!entry.starts_with(prefix) || !entry.ends_with(kTemporaryEnd)) return 0;
    entry.remove_prefix(prefix.size());
    entry.remove_suffix(kTemporaryEnd.size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(entry.data(), entry.data() + entry.size(), pid);
    if (error != std::errc() || pid <= 0) return 0;
    const std::string_view rest(end, entry.data() + entry.size() - end);
    return rest.empty() || (rest.front() == '.' && rest.find('.', 1) == std::string_view::npos) ? pid : 0;
}

// Removes the temporary files of fileName that processes no longer running left in folder (killed
// during a save). A symbolic link of such a name is removed itself, never what it points to.
void removeLeftovers(const std::string& folder, const std::string& fileName) {
    const std::string prefix = temporaryPrefix(fileName);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
        const pid_t writer = writerOf(entry.path().filename().string(), prefix);
        if (writer == 0 || writer == ::getpid()) continue;
        if (::kill(writer, 0) == 0 || errno != ESRCH) continue;  // still running, or not ours to judge
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) == 0 && (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)))
            ::unlink(entry.path().c_str());
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

void replaceFile(const std::string& path, std::string_view content, const std::string& shownName,
                 const std::function<void(const std::string& temporary)>& beforeRename) {
    static std::mutex writing;  // one pending file at a time, for the signal handler
    const std::lock_guard lock(writing);
    const std::filesystem::path target(path);
    const std::string folder = target.parent_path().string();
    removeLeftovers(folder, target.filename().string());
    std::string temporary;
    const int fd = createTemporary(folder, target.filename().string(), temporary, shownName);
    PendingFile pending(temporary);
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
