#include "host/os/Launcher.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

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

// Runs `xdg-open target` through a shell that puts it in the background and exits at once, so that
// no child is left to wait for.
class DesktopLauncher : public Launcher {
public:
    void launch(const Launch& request) override {
        std::string target = isAddress(request.target) ? request.target : nativePath(request.target);
        std::string shell = "sh", dashC = "-c", script = "xdg-open \"$1\" >/dev/null 2>&1 &", name = "launch";
        char* argv[] = {shell.data(), dashC.data(), script.data(), name.data(), target.data(), nullptr};
        pid_t child = 0;
        const int rc = posix_spawnp(&child, "sh", nullptr, nullptr, argv, environ);
        if (rc != 0) throw RuntimeError(err::FileNotFound, std::strerror(rc));
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
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
