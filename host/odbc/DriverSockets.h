#pragma once
// The network sockets a driver opened while it connected (internal to the data layers), so that an idle
// connection can be checked without a round trip to its server: a server that ends a session
// (terminated, shut down, timed out) closes its end, and the socket shows the hang-up at once.

#include <sys/types.h>

#include <vector>

namespace host::ado::odbc {

class DriverSockets {
public:
    // The process's sockets as they are now (taken before connecting).
    static DriverSockets current();
    // The sockets that are open now and were not in `before` (taken after connecting).
    static DriverSockets openedSince(const DriverSockets& before);

    // Whether every socket is still the same one, open, with no hang-up or error from the other end.
    bool intact() const;

private:
    struct Socket {
        int descriptor;
        ino_t inode;  // tells the socket from a later one given the same descriptor
        bool operator==(const Socket&) const = default;
    };
    std::vector<Socket> sockets_;
};

}  // namespace host::ado::odbc
