#pragma once
// Waiting for the macros an add-in schedules (Application.OnTime). telm is not a resident program:
// after each step it waits for the macros due within kMacroWaitBound and runs them, so that the next
// step sees what they did; a macro scheduled later does not run.

#include <optional>

#include "host/sheet/Application.h"

namespace telm::app {

inline constexpr double kMacroWaitBound = 10;  // seconds

// Seconds until the earliest scheduled macro falls due (0 or less when it is due); nullopt when no
// macro is scheduled.
std::optional<double> secondsUntilNextMacro(const host::sheet::Application& application);

// Waits until the earliest scheduled macro is due, when that is within kMacroWaitBound. False, at
// once, when no macro falls due within the bound; false as well when Ctrl-C ends the wait.
bool waitForNextMacro(const host::sheet::Application& application);

}  // namespace telm::app
