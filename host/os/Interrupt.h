#pragma once
// Ctrl-C for a program at a terminal. Once the handler is installed, the first SIGINT asks the work
// under way to stop: the cancel actions of the work running now (for instance the database statements
// being executed, on any thread) are run at once, and interruptRequested() tells the program to stop
// at its next step. A second SIGINT ends the process at once with status 130.
//
// The cancel action runs on a watcher thread of this module, so it must be safe to call while the
// main thread is blocked in the work it cancels (SQLCancel is).

#include <functional>
#include <list>

namespace host::os {

// Installs the SIGINT handler and starts its watcher; later calls do nothing.
void installInterruptHandler();

// True once Ctrl-C was pressed (or requestInterrupt was called) and until clearInterrupt.
bool interruptRequested();

// What a SIGINT does, for tests and for the program's own stop: sets the flag and cancels the
// running work.
void requestInterrupt();
void clearInterrupt();

// Registers the cancel action of the work that runs while the scope lives; scopes may live at once,
// on one thread or several.
class CancelScope {
public:
    explicit CancelScope(std::function<void()> cancel);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    std::list<std::function<void()>>::iterator registered_;
};

}  // namespace host::os
