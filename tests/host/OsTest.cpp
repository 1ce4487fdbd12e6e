#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <chrono>
#include <iterator>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "host/base/RuntimeError.h"
#include "host/os/Download.h"
#include "host/os/Interrupt.h"
#include "host/os/Launcher.h"
#include "host/os/System.h"
#include "support/LoopbackServer.h"

using namespace host;
namespace fs = std::filesystem;

namespace {

int probeError(const std::string& path) {
    try {
        os::pathExists(path);
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// Keeps what it was asked to start instead of starting it.
class KeepingLauncher : public os::Launcher {
public:
    void launch(const os::Launch& request) override { started.push_back(request); }
    std::vector<os::Launch> started;
};

}  // namespace

TEST(OsTest, PathProbeTellsMissingFromUnusable) {
    const fs::path folder = fs::temp_directory_path() / ("telm-os-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "a.txt") << "a";
    const std::string windowsStyle = folder.string() + "\\a.txt";

    EXPECT_TRUE(os::pathExists(windowsStyle));
    EXPECT_TRUE(os::pathExists(folder.string()));
    EXPECT_FALSE(os::pathExists(folder.string() + "/b.txt"));
    EXPECT_FALSE(os::pathExists(windowsStyle + "/below-a-file"));
    EXPECT_EQ(probeError(std::string(5000, 'x')), err::BadFileNameOrNumber);
    EXPECT_EQ(probeError(folder.string() + std::string("\0x", 2)), err::BadFileNameOrNumber);
    fs::remove_all(folder);
}

TEST(OsTest, LaunchesAreRecordedAndStartedOnlyThroughALauncher) {
    os::clearLaunches();
    os::openDocument("C:\\Docs\\a.pdf");
    auto keeper = std::make_shared<KeepingLauncher>();
    os::setLauncher(keeper);
    os::startEditor("/tmp/model.par");
    os::setLauncher(nullptr);
    os::openDocument("https://example.invalid/");

    const std::vector<os::Launch> expected = {{os::LaunchKind::Document, "C:\\Docs\\a.pdf"},
                                              {os::LaunchKind::Editor, "/tmp/model.par"},
                                              {os::LaunchKind::Document, "https://example.invalid/"}};
    EXPECT_EQ(os::launches(), expected);
    EXPECT_EQ(keeper->started, std::vector<os::Launch>({expected[1]}));
    os::clearLaunches();
    EXPECT_TRUE(os::launches().empty());
}

TEST(OsTest, DownloadFromAStalledServerEndsWithinItsLimits) {
    // A server on 127.0.0.1 that accepts connections and never answers.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/file.bin";

    const fs::path folder = fs::temp_directory_path() / ("telm-stalled-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    // A user's own file named as the old fixed temporary name stays untouched.
    std::ofstream(folder / "got.bin.download") << "user's";
    os::DownloadLimits lowSpeed;
    lowSpeed.lowSpeedSeconds = 1;
    EXPECT_FALSE(os::downloadFile(url, (folder / "got.bin").string(), lowSpeed));
    os::DownloadLimits overall;
    overall.overallSeconds = 1;
    overall.lowSpeedSeconds = 3600;
    EXPECT_FALSE(os::downloadFile(url, (folder / "got.bin").string(), overall));
    std::ifstream kept(folder / "got.bin.download");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "user's");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    ::close(listener);
    fs::remove_all(folder);
}

TEST(OsTest, DownloadEndsOnATrickleAndOnCtrlCAndLeavesNoPartialFile) {
    const fs::path folder = fs::temp_directory_path() / ("telm-trickle-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string target = (folder / "got.bin").string();
    auto seconds = [](auto since) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
    };

    // Two bytes a second is progress, but far below the low-speed limit.
    {
        testsupport::LoopbackServer trickle(2);
        os::DownloadLimits limits;
        limits.lowSpeedSeconds = 2;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(os::downloadFile(trickle.url("file.bin"), target, limits));
        EXPECT_LT(seconds(start), 10.0);
    }
    // Ctrl-C during a download that waits for a silent server ends it within a second.
    {
        testsupport::LoopbackServer stalled;
        std::thread presser([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            os::requestInterrupt();
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(os::downloadFile(stalled.url("file.bin"), target));
        EXPECT_LT(seconds(start), 1.8);
        presser.join();
        os::clearInterrupt();
    }
    EXPECT_TRUE(fs::is_empty(folder));
    fs::remove_all(folder);
}
