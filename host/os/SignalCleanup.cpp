#include "host/os/SignalCleanup.h"

#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iterator>
#include <mutex>

namespace host::os {

namespace {

// The file to remove, for the handler: a fixed buffer, as a handler may not allocate.
char pendingPath[4096];
volatile std::sig_atomic_t hasPending = 0;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previousActions[std::size(kEndingSignals)];

void onEndingSignal(int signal) {
    if (hasPending) ::unlink(pendingPath);
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        if (kEndingSignals[i] != signal) continue;
        const struct sigaction& previous = previousActions[i];
        if (previous.sa_handler == SIG_IGN) return;
        if (previous.sa_handler != SIG_DFL && !(previous.sa_flags & SA_SIGINFO)) return previous.sa_handler(signal);
        ::sigaction(signal, &previous, nullptr);
        ::raise(signal);
    }
}

void installHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            struct sigaction action {};
            action.sa_handler = onEndingSignal;
            sigemptyset(&action.sa_mask);
            ::sigaction(kEndingSignals[i], &action, &previousActions[i]);
        }
    });
}

}  // namespace

RemovedOnEndingSignal::RemovedOnEndingSignal(const std::string& path) {
    if (path.size() >= sizeof pendingPath) return;
    installHandlers();
    hasPending = 0;
    std::memcpy(pendingPath, path.c_str(), path.size() + 1);
    hasPending = 1;
}

RemovedOnEndingSignal::~RemovedOnEndingSignal() { hasPending = 0; }

}  // namespace host::os
