#include "host/os/Launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"

extern char** environ;

namespace host::os {

namespace {

struct LaunchState {
    std::shared_ptr<Launcher> launcher;
    std::vector<Launch> record;
};

LaunchState& state() {
    static LaunchState s;
    return s;
}

bool isAddress(std::string_view target) { return target.find("://") != std::string_view::npos; }

// How long xdg-open may take to report that it cannot open a target; after that it is taken to be
// showing it (some openers stay in the foreground while the document is open).
constexpr auto kOpenerVerdict = std::chrono::seconds(5);

std::string exitText(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

// Starts a program with the environment of this process and its standard output sent to standard
// error (standard output carries only what the host program prints). Raises 53 when it cannot start.
pid_t spawn(const std::string& program, std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t child = 0;
    const int rc = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw RuntimeError(err::FileNotFound, "Cannot start '" + program + "': " + std::strerror(rc));
    return child;
}

// Waits for a child; nullopt when it is still running once `limit` has passed.
std::optional<int> waitFor(pid_t child, std::optional<std::chrono::steady_clock::duration> limit) {
    const auto end = std::chrono::steady_clock::now() + limit.value_or(std::chrono::steady_clock::duration::zero());
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, limit ? WNOHANG : 0);
        if (done == child) return status;
        if (done < 0 && errno != EINTR) return std::nullopt;
        if (limit && std::chrono::steady_clock::now() >= end) return std::nullopt;
        if (limit) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The editor the user chose ($VISUAL, else $EDITOR), if any.
std::optional<std::string> chosenEditor() {
    for (const char* variable : {"VISUAL", "EDITOR"})
        if (const char* value = std::getenv(variable); value && *value) return std::string(value);
    return std::nullopt;
}

// Files to edit go to the user's editor in the terminal, which is waited for; everything else, and
// files to edit when no editor is chosen, to xdg-open. A launcher that is missing or reports a failure
// raises.
class DesktopLauncher : public Launcher {
public:
    void launch(const Launch& request) override {
        const std::string target = isAddress(request.target) ? request.target : nativePath(request.target);
        if (request.kind == LaunchKind::Editor)
            if (auto editor = chosenEditor()) return edit(*editor, target);
        open(target);
    }

private:
    static void edit(const std::string& editor, const std::string& file) {
        // The editor's text may hold options ("emacs -nw"): the shell splits it, the file stays whole.
        const int status = *waitFor(spawn("/bin/sh", {"sh", "-c", editor + " \"$1\"", "edit", file}), std::nullopt);
        if (status != 0)
            throw RuntimeError(err::FileNotFound, "The editor '" + editor + "' failed on '" + file + "' (" +
                                                      exitText(status) + ").");
    }
    static void open(const std::string& target) {
        const auto status = waitFor(spawn("xdg-open", {"xdg-open", target}), kOpenerVerdict);
        if (status && *status != 0)
            throw RuntimeError(err::FileNotFound, "xdg-open could not open '" + target + "' (" + exitText(*status) + ").");
    }
};

void request(LaunchKind kind, std::string_view target) {
    Launch launch{kind, std::string(target)};
    state().record.push_back(launch);
    if (state().launcher) state().launcher->launch(launch);
}

}  // namespace

std::shared_ptr<Launcher> desktopLauncher() { return std::make_shared<DesktopLauncher>(); }

void setLauncher(std::shared_ptr<Launcher> launcher) { state().launcher = std::move(launcher); }

void openDocument(std::string_view target) { request(LaunchKind::Document, target); }

void startEditor(std::string_view file) { request(LaunchKind::Editor, file); }

const std::vector<Launch>& launches() { return state().record; }

void clearLaunches() { state().record.clear(); }

}  // namespace host::os
