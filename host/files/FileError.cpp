#include "host/files/FileError.h"

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

namespace host::files {

void failRead(const std::string& path, const std::string& what) {
    throw RuntimeError(err::InvalidArgument, "'" + path + "' cannot be read: " + what + ".");
}

void failWrite(const std::string& path, const std::string& what) {
    throw RuntimeError(err::InvalidArgument, "'" + path + "' cannot be saved: " + what + ".");
}

void failNotFound(const std::string& path) {
    throw RuntimeError(err::InvalidArgument,
                       "'" + path +
                           "' could not be found. Check the spelling of the file name, and verify that the file "
                           "location is correct.");
}

std::string excerpt(const std::string& text) {
    constexpr long kShown = 100;
    return Len(text) > kShown ? Left(text, kShown) + "..." : text;
}

}  // namespace host::files
