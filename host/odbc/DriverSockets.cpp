#include "host/odbc/DriverSockets.h"

#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <string>
#include <system_error>

namespace host::ado::odbc {

DriverSockets DriverSockets::current() {
    DriverSockets found;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        int descriptor = -1;
        if (std::from_chars(name.data(), name.data() + name.size(), descriptor).ec != std::errc()) continue;
        struct stat status {};
        if (fstat(descriptor, &status) == 0 && S_ISSOCK(status.st_mode))
            found.sockets_.push_back({descriptor, status.st_ino});
    }
    return found;
}

DriverSockets DriverSockets::openedSince(const DriverSockets& before) {
    DriverSockets opened = current();
    std::erase_if(opened.sockets_, [&](const Socket& s) {
        return std::find(before.sockets_.begin(), before.sockets_.end(), s) != before.sockets_.end();
    });
    return opened;
}

bool DriverSockets::intact() const {
    for (const Socket& socket : sockets_) {
        struct stat status {};
        if (fstat(socket.descriptor, &status) != 0 || status.st_ino != socket.inode) return false;
        pollfd watch{socket.descriptor, POLLRDHUP, 0};
        if (poll(&watch, 1, 0) != 0) return false;  // a hang-up or an error (or a failed poll)
    }
    return true;
}

}  // namespace host::ado::odbc
