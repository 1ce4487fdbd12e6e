#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "host/base/RuntimeError.h"
#include "host/os/Launcher.h"
#include "host/os/System.h"

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
