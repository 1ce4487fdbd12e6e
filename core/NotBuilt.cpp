#include "core/NotBuilt.h"

#include <string>

#include "host/base/RuntimeError.h"

namespace telm {

void NotBuilt(std::string_view procedure) {
    throw host::RuntimeError(host::err::NoSuchMember,
                             host::standardDescription(host::err::NoSuchMember) + " (" + std::string(procedure) + ")");
}

}  // namespace telm
