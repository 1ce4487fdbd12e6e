#include "host/base/Path.h"

#include <algorithm>

namespace host {

std::string nativePath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

}  // namespace host
