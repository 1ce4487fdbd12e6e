#include "host/os/Interrupt.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>
#include <utility>

namespace host::os {

namespace {

std::atomic<bool> interrupted{false};
int wakePipe[2] = {-1, -1};

std::mutex& cancelMutex() {
    static std::mutex m;
    return m;
}
std::list<std::function<void()>>& runningCancels() {
    static std::list<std::function<void()>> cancels;
    return cancels;
}

// Under the lock, so that a scope that ends waits for its cancel and what the cancel touches
// outlives it.
void cancelRunningWork() {
    std::lock_guard lock(cancelMutex());
    for (const auto& cancel : runningCancels()) cancel();
}

// Only async-signal-safe calls here: the flag, a byte to the watcher, or _exit.
void onSigint(int) {
    if (interrupted.exchange(true)) _exit(130);
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(wakePipe[1], &byte, 1);
}

void watch() {
    char byte;
    while (::read(wakePipe[0], &byte, 1) > 0) cancelRunningWork();
}

}  // namespace

void installInterruptHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe(wakePipe) != 0) return;
        std::thread(watch).detach();
        struct sigaction action {};
        action.sa_handler = onSigint;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: a read waiting for the user's answer returns
        sigaction(SIGINT, &action, nullptr);
    });
}

bool interruptRequested() { return interrupted.load(); }

void requestInterrupt() {
    interrupted = true;
    cancelRunningWork();
}

void clearInterrupt() { interrupted = false; }

CancelScope::CancelScope(std::function<void()> cancel) {
    std::lock_guard lock(cancelMutex());
    registered_ = runningCancels().insert(runningCancels().end(), std::move(cancel));
}

CancelScope::~CancelScope() {
    std::lock_guard lock(cancelMutex());
    runningCancels().erase(registered_);
}

}  // namespace host::os
