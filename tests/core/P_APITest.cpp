#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <thread>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_API.h"
#include "host/base/RuntimeError.h"
#include "host/os/Launcher.h"
#include "host/sheet/Application.h"
#include "host/ui/ScriptedBackend.h"

using namespace telm;
using host::Variant;
namespace fs = std::filesystem;

namespace {

class ApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedState();
        SharedState().ExcelApp = host::sheet::Application::create();
        scripted_ = &host::ui::resetScriptedBackend();
        host::os::clearLaunches();
    }
    void TearDown() override {
        host::os::setLauncher(nullptr);
        host::os::clearLaunches();
        host::ui::resetScriptedBackend();
        ResetSharedState();
    }
    host::ui::ScriptedBackend* scripted_ = nullptr;
};

std::string hostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

// A listening socket on 127.0.0.1 with a port chosen by the system.
int listenOnLoopback(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0) return -1;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

// Serves fixed bodies by path over HTTP on 127.0.0.1, one connection at a time; 404 for other paths.
class LoopbackHttpServer {
public:
    explicit LoopbackHttpServer(std::map<std::string, std::string> files) : files_(std::move(files)) {
        fd_ = listenOnLoopback(port_);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackHttpServer() {
        shutdown(fd_, SHUT_RDWR);  // ends the blocked accept
        thread_.join();
        close(fd_);
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    void serve() {
        for (int client; (client = accept(fd_, nullptr, nullptr)) >= 0; close(client)) {
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = read(client, buffer, sizeof buffer);
                if (n <= 0) break;
                request.append(buffer, static_cast<std::size_t>(n));
            }
            const std::size_t start = request.find(' ') + 1;
            const auto file = files_.find(request.substr(start, request.find(' ', start) - start));
            const std::string body = file == files_.end() ? "missing" : file->second;
            const std::string reply = std::string(file == files_.end() ? "HTTP/1.1 404 Not Found" : "HTTP/1.1 200 OK") +
                                      "\r\nContent-Length: " + std::to_string(body.size()) +
                                      "\r\nConnection: close\r\n\r\n" + body;
            if (write(client, reply.data(), reply.size()) < 0) break;
        }
    }
    std::map<std::string, std::string> files_;
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FailingLauncher : public host::os::Launcher {
public:
    void launch(const host::os::Launch&) override { throw host::RuntimeError(host::err::FileNotFound); }
};

}  // namespace

TEST_F(ApiTest, ComputerNameAndNetworkPaths) {
    const std::string name = hostName();
    EXPECT_EQ(ComputerName(), name);

    std::string path = "C:\\Dane\\x.xls";
    EXPECT_EQ(ConvertToUNCPath(path), "C:\\Dane\\x.xls");
    EXPECT_EQ(ConvertToUNCPath(path, true), "\\\\" + name + "\\Dane\\x.xls");
    path = "C:\\A\\C:\\B";
    EXPECT_EQ(ConvertToUNCPath(path, true), "\\\\" + name + "\\A\\" + name + "\\B");
    path = "/srv/dane/x.xls";
    EXPECT_EQ(ConvertToUNCPath(path, true), "//" + name + "/srv/dane/x.xls");
    path = "C:\\" + std::string(5000, 'x');
    EXPECT_EQ(ConvertToUNCPath(path, true), "#BłędnaŚcieżka!");
    path.clear();
    EXPECT_EQ(ConvertToUNCPath(path), fs::current_path().string());
    EXPECT_EQ(path, fs::current_path().string());

    SharedState().ExcelApp.reset();
    EXPECT_THROW(ComputerName(), host::RuntimeError);
}

TEST_F(ApiTest, OpenDocumentIsRecordedAndAFailedStartIsReported) {
    OpenDocument("https://example.invalid/help");
    ASSERT_EQ(host::os::launches().size(), 1u);
    const host::os::Launch expected{host::os::LaunchKind::Document, "https://example.invalid/help"};
    EXPECT_EQ(host::os::launches()[0], expected);
    EXPECT_TRUE(scripted_->record().empty());

    InitMessageCatalogue();
    SharedState().LanguageIndex = 1;
    SharedState().ErrorReportingLevel = 2;
    host::os::setLauncher(std::make_shared<FailingLauncher>());
    OpenDocument("C:\\Docs\\a.pdf");
    ASSERT_EQ(scripted_->record().size(), 1u);
    EXPECT_EQ(scripted_->record()[0].prompt, "I cannot open the page\nC:\\Docs\\a.pdf");
    EXPECT_EQ(scripted_->record()[0].buttons, host::ui::vbExclamation);
    EXPECT_EQ(scripted_->record()[0].title, "TELM.NET");
}

TEST_F(ApiTest, FolderPickersEndTheFolderWithASeparator) {
    scripted_->answerPath("/home/u/Dane").cancelPath();
    EXPECT_EQ(BrowseFolderDialog(), Variant("/home/u/Dane/"));
    EXPECT_EQ(BrowseFolderDialog(), Variant(""));

    scripted_->answerPath("C:\\").answerPath("C:\\Data").answerPath("/").cancelPath();
    EXPECT_EQ(ShellBrowseForFolder(0, "Choose", 0), "C:\\");
    EXPECT_EQ(ShellBrowseForFolder(0, "Choose", 0, "/start"), "C:\\Data/");
    EXPECT_EQ(ShellBrowseForFolder(0, "Choose", 0), "/");
    EXPECT_EQ(ShellBrowseForFolder(0, "Choose", 0), "");
    EXPECT_EQ(scripted_->record()[3].title, "Choose");
    EXPECT_EQ(scripted_->record()[3].initialText, "/start");
}

TEST_F(ApiTest, DownloadFileWritesTheBytesOrAnswersFalse) {
    const fs::path folder = fs::temp_directory_path() / ("telm-download-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    const std::string body("bytes\0\xff\r\n end", 14);
    LoopbackHttpServer server({{"/data/file.bin", body}});

    EXPECT_TRUE(DownloadFile(server.url("/data/file.bin"), (folder / "got.bin").string()));
    EXPECT_EQ(fileBytes(folder / "got.bin"), body);

    // Failures leave an existing file as it was and nothing beside it.
    std::ofstream(folder / "old.bin") << "old";
    EXPECT_FALSE(DownloadFile(server.url("/nothing.bin"), (folder / "old.bin").string()));
    int closedPort = 0;
    close(listenOnLoopback(closedPort));
    EXPECT_FALSE(DownloadFile("http://127.0.0.1:" + std::to_string(closedPort) + "/x", (folder / "old.bin").string()));
    EXPECT_FALSE(DownloadFile(server.url("/data/file.bin"), (folder / "no-such-folder" / "x.bin").string()));
    EXPECT_EQ(fileBytes(folder / "old.bin"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    fs::remove_all(folder);
}
