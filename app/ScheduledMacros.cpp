#include "app/ScheduledMacros.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "host/base/DateSerial.h"
#include "host/os/Interrupt.h"

namespace telm::app {

namespace {

constexpr double kSecondsADay = 86400;
// The clock of scheduled times counts whole seconds: look again this often while waiting.
constexpr double kLookAgain = 0.1;

}  // namespace

std::optional<double> secondsUntilNextMacro(const host::sheet::Application& application) {
    const auto next = application.nextScheduledMacro();
    if (!next) return std::nullopt;
    return (next->when - host::nowSerial()) * kSecondsADay;
}

bool waitForNextMacro(const host::sheet::Application& application) {
    for (;;) {
        const auto wait = secondsUntilNextMacro(application);
        if (!wait || *wait > kMacroWaitBound || host::os::interruptRequested()) return false;
        // A rounding step of the date serial is no wait.
        if (*wait < 1e-3) return true;
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(*wait, kLookAgain)));
    }
}

}  // namespace telm::app
