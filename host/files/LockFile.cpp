#include "host/files/LockFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <vector>

namespace host::files {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kOwnNameStart = "telm (process ";

std::string lockFileOf(const std::string& path) {
    const fs::path file(path);
    return (file.parent_path() / (".~lock." + file.filename().string() + "#")).string();
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

std::string userName() {
    if (const passwd* entry = ::getpwuid(::geteuid())) return entry->pw_name;
    return std::to_string(::geteuid());
}

std::string escaped(const std::string& field) {
    std::string out;
    for (char c : field) {
        if (c == ',' || c == ';' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// The fields of a lock file's line, escapes undone.
std::vector<std::string> fieldsOf(const std::string& content) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\\' && i + 1 < content.size()) fields.back() += content[++i];
        else if (c == ',') fields.emplace_back();
        else if (c == ';' || c == '\n') break;
        else fields.back() += c;
    }
    return fields;
}

// The lock file's content, read without following a symbolic link; none when there is no such file.
// A lock file that cannot be read still stands for a lock: an empty content then.
std::optional<std::string> readLock(const std::string& lockPath) {
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        return std::string();
    }
    std::string content(1024, '\0');
    const ssize_t n = ::read(fd, content.data(), content.size());
    ::close(fd);
    content.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return content;
}

// The process a lock of this platform names on this host; 0 for any other lock.
pid_t ownLockProcess(const std::vector<std::string>& fields) {
    if (fields.size() < 3 || !fields[0].starts_with(kOwnNameStart) || fields[2] != hostName()) return 0;
    const std::string& name = fields[0];
    pid_t pid = 0;
    const char* first = name.data() + kOwnNameStart.size();
    const auto [end, error] = std::from_chars(first, name.data() + name.size(), pid);
    return error == std::errc() && std::string_view(end, name.data() + name.size() - end) == ")" ? pid : 0;
}

enum class Holder { None, ThisProcess, Other };

// Who holds the lock file; a lock left by a process of this platform that is gone is removed.
Holder holderOf(const std::string& lockPath, std::string& described) {
    const auto content = readLock(lockPath);
    if (!content) return Holder::None;
    const auto fields = fieldsOf(*content);
    if (const pid_t pid = ownLockProcess(fields)) {
        if (pid == ::getpid()) return Holder::ThisProcess;
        if (::kill(pid, 0) != 0 && errno == ESRCH) {
            ::unlink(lockPath.c_str());
            return Holder::None;
        }
    }
    const std::string who = fields.size() >= 2 && !fields[1].empty() ? fields[1]
                            : !fields[0].empty()                     ? fields[0]
                                                                     : "another program";
    described = who;
    if (fields.size() >= 3 && !fields[2].empty()) described += " on " + fields[2];
    if (fields.size() >= 4 && !fields[3].empty()) described += " since " + fields[3];
    if (!fields[0].empty() && fields[0] != who) described += " (" + fields[0] + ")";
    described += " (lock file '" + lockPath + "')";
    return Holder::Other;
}

std::string lockLine() {
    char date[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%d.%m.%Y %H:%M", &local);
    return std::string(kOwnNameStart) + std::to_string(::getpid()) + ")," + escaped(userName()) + "," +
           escaped(hostName()) + "," + date + ",;";
}

}  // namespace

std::optional<std::string> otherLockHolder(const std::string& path) {
    std::string described;
    if (holderOf(lockFileOf(path), described) == Holder::Other) return described;
    return std::nullopt;
}

std::unique_ptr<FileLock> FileLock::take(const std::string& path) {
    const std::string lockPath = lockFileOf(path);
    std::string described;
    if (holderOf(lockPath, described) != Holder::None) return nullptr;
    const int fd = ::open(lockPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    const std::string line = lockLine();
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) {
        ::unlink(lockPath.c_str());
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(lockPath));
}

FileLock::~FileLock() {
    std::string described;
    if (holderOf(lockPath_, described) == Holder::ThisProcess) ::unlink(lockPath_.c_str());
}

}  // namespace host::files
