#pragma once
// The number of the run-time error a call raises; 0 when it raises none.

#include <functional>

#include "host/base/RuntimeError.h"

namespace testsupport {

inline int errorNumberOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const host::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace testsupport
