#pragma once
// Downloading a file from a URL to disk (libcurl).

#include <string_view>

namespace host::os {

// How long a download may take: to connect, in all, and while the server sends less than
// `lowSpeedBytes` bytes per second (nothing at all included) for `lowSpeedSeconds`.
struct DownloadLimits {
    long connectSeconds = 30;
    long overallSeconds = 900;
    long lowSpeedBytes = 1024;
    long lowSpeedSeconds = 30;
};

// Fetches `url` into the file `localFile` ("\" or "/" between folders), following redirections, and
// returns True when the whole body arrived and was written. Returns False, raising nothing, for an
// unreachable server, an HTTP status of 400 or more, a server that stays slower than the limits, or a
// file that cannot be written, and after Ctrl-C (seen within a second); the file is then left as it
// was (the body is written beside it first, under a name of its own that no other file has, and moved
// into place at the end; a signal that ends the program removes that partial file too).
bool downloadFile(std::string_view url, std::string_view localFile, const DownloadLimits& limits = {});

}  // namespace host::os
