#pragma once
// Downloading a file from a URL to disk (libcurl).

#include <string_view>

namespace host::os {

// Fetches `url` into the file `localFile` ("\" or "/" between folders), following redirections, and
// returns True when the whole body arrived and was written. Returns False, raising nothing, for an
// unreachable server, an HTTP status of 400 or more, or a file that cannot be written; the file is
// then left as it was (the body is written beside it first and moved into place at the end).
bool downloadFile(std::string_view url, std::string_view localFile);

}  // namespace host::os
