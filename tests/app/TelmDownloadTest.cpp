// A DOWNLOAD step of an Information Services program run by telm, ended by Ctrl-C or by a signal
// while the server keeps silent: telm stops at once and no partial file stays beside the target.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/AddInHost.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using testsupport::TempFolder;

namespace {

struct TelmDownload : ::testing::Test {
    TempFolder addin{"telm-addin"};
    TempFolder work{"telm-work"};
    testsupport::LoopbackServer stalled;

    TelmDownload() { testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb")); }

    // Starts telm running a program whose one step downloads from the silent server; waits until the
    // partial file exists.
    pid_t startDownload() {
        const std::string command = std::string("exec ") + TELM_PROGRAM + " --addin " + addin.string() +
                                    " --library " + TELM_ADDIN_LIBRARY +
                                    " --new --set A1=TELM.NET.IS --set A3=DOWNLOAD --set B3=" +
                                    stalled.url("listing.txt") + " --set C3=" + work.file("listing.txt") +
                                    " --run StartIS >/dev/null 2>&1 </dev/null";
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (fs::is_empty(work.path()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return pid;
    }
    // The exit status once telm ended, -1 when it did not within `seconds`.
    static int waitFor(pid_t pid, double seconds) {
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

}  // namespace

TEST_F(TelmDownload, CtrlCEndsTheDownloadWithinASecond) {
    const pid_t pid = startDownload();
    ASSERT_FALSE(fs::is_empty(work.path())) << "the download never started";
    ::kill(pid, SIGINT);
    EXPECT_EQ(waitFor(pid, 1.5), 130);
    EXPECT_TRUE(fs::is_empty(work.path()));
}

TEST_F(TelmDownload, EveryEndingSignalRemovesThePartialFile) {
    for (int signal : {SIGTERM, SIGHUP, SIGQUIT}) {
        const pid_t pid = startDownload();
        ASSERT_FALSE(fs::is_empty(work.path())) << "the download never started";
        ::kill(pid, signal);
        EXPECT_EQ(waitFor(pid, 5), 128 + signal) << signal;
        EXPECT_TRUE(fs::is_empty(work.path())) << signal;
    }
}
