#pragma once
// A file that must not outlive the program when a signal ends it: while the guard lives, SIGINT,
// SIGTERM, SIGHUP and SIGQUIT first remove the file, then take their former course (the program's
// own handler, or the default action that ends it).

#include <string>

namespace host::os {

class RemovedOnEndingSignal {
public:
    // Raises nothing; a path too long for the handler's buffer is left to the owner's own cleanup.
    explicit RemovedOnEndingSignal(const std::string& path);
    ~RemovedOnEndingSignal();
    RemovedOnEndingSignal(const RemovedOnEndingSignal&) = delete;
    RemovedOnEndingSignal& operator=(const RemovedOnEndingSignal&) = delete;
};

}  // namespace host::os
