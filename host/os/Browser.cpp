#include "host/os/Browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

extern char** environ;

namespace host::os {

namespace {

constexpr int kCannotCreateObject = 429;
// One readyState call waits at most this long for the browser.
constexpr int kPollMilliseconds = 50;
// A page's document beyond this size is not kept (a hostile page).
constexpr std::size_t kMaxDocumentBytes = 16 * 1024 * 1024;

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
    return true;
}

// The name of the tag that starts at `at` ("<" already seen), lower-cased, with a leading "/" kept.
std::string tagName(std::string_view html, std::size_t at) {
    std::string name;
    for (std::size_t i = at + 1; i < html.size(); ++i) {
        const char c = html[i];
        if (std::isalnum(static_cast<unsigned char>(c)) || (c == '/' && i == at + 1))
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else
            break;
    }
    return name;
}

bool isBlock(std::string_view name) {
    static constexpr std::string_view blocks[] = {"p",  "div", "li", "tr", "h1", "h2", "h3", "h4", "h5",
                                                  "h6", "ul",  "ol", "table", "pre", "blockquote"};
    for (auto b : blocks)
        if (name == b) return true;
    return false;
}

// The character an entity stands for ("amp", "#60", "#x3C"), or "" when it is not one.
std::string entityText(std::string_view entity) {
    if (entity == "amp") return "&";
    if (entity == "lt") return "<";
    if (entity == "gt") return ">";
    if (entity == "quot") return "\"";
    if (entity == "apos") return "'";
    if (entity == "nbsp") return "\xC2\xA0";
    if (entity.size() < 2 || entity[0] != '#') return {};
    const bool hex = entity[1] == 'x' || entity[1] == 'X';
    const std::string digits(entity.substr(hex ? 2 : 1));
    if (digits.empty() || digits.size() > 7) return {};
    char* end = nullptr;
    const long code = std::strtol(digits.c_str(), &end, hex ? 16 : 10);
    if (*end != '\0') return {};
    try {
        return ChrW(code);
    } catch (const RuntimeError&) {
        return {};
    }
}

}  // namespace

std::string BodyTextOfHtml(std::string_view html) {
    std::size_t at = 0;
    for (std::size_t i = html.find('<'); i != std::string_view::npos; i = html.find('<', i + 1))
        if (tagName(html, i) == "body") {
            at = html.find('>', i);
            at = at == std::string_view::npos ? html.size() : at + 1;
            break;
        }
    std::string text;
    while (at < html.size()) {
        const char c = html[at];
        if (c == '<') {
            if (html.substr(at, 4) == "<!--") {
                const std::size_t end = html.find("-->", at + 4);
                at = end == std::string_view::npos ? html.size() : end + 3;
                continue;
            }
            const std::string name = tagName(html, at);
            if (name == "/body") break;
            std::size_t end = html.find('>', at);
            end = end == std::string_view::npos ? html.size() : end + 1;
            if (name == "script" || name == "style") {
                const std::string closing = "</" + name;
                std::size_t close = end;
                while (close < html.size() && !(html[close] == '<' && startsWithNoCase(html, close, closing))) ++close;
                const std::size_t closeEnd = html.find('>', close);
                end = closeEnd == std::string_view::npos ? html.size() : closeEnd + 1;
            } else if (name == "br" || (name.size() > 1 && name[0] == '/' && isBlock(name.substr(1)))) {
                text += '\n';
            } else if (isBlock(name) && !text.empty() && text.back() != '\n') {
                text += '\n';  // a block starts on a line of its own
            }
            at = end;
        } else if (c == '&') {
            const std::size_t semicolon = html.find(';', at);
            const std::string decoded = semicolon != std::string_view::npos && semicolon - at <= 10
                                            ? entityText(html.substr(at + 1, semicolon - at - 1))
                                            : std::string();
            if (decoded.empty()) {
                text += c;
                ++at;
            } else {
                text += decoded;
                at = semicolon + 1;
            }
        } else {
            text += c;
            ++at;
        }
    }
    return text;
}

Browser::Browser() {
    std::string pattern = (std::filesystem::temp_directory_path() / "telm-browser-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw RuntimeError(kCannotCreateObject, std::string("Cannot create the browser: ") + std::strerror(errno));
    profileFolder_ = pattern;
}

Browser::~Browser() {
    endLoad();
    std::error_code ignored;
    std::filesystem::remove_all(profileFolder_, ignored);
}

void Browser::endLoad() {
    if (output_ >= 0) ::close(output_);
    output_ = -1;
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        int status = 0;
        while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    child_ = -1;
}

void Browser::navigate(std::string_view url) {
    endLoad();
    dom_.clear();
    state_ = Loading;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw RuntimeError(kCannotCreateObject, std::string("Cannot start the browser: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> args = {"chromium",
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--no-first-run",
                                     "--virtual-time-budget=2000",
                                     "--user-data-dir=" + profileFolder_,
                                     "--dump-dom",
                                     std::string(url)};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    const int rc = posix_spawnp(&child, "chromium", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (rc != 0) {
        ::close(pipeEnds[0]);
        state_ = Complete;
        throw RuntimeError(kCannotCreateObject, std::string("Cannot start the browser (chromium): ") + std::strerror(rc));
    }
    child_ = child;
    output_ = pipeEnds[0];
}

Browser::ReadyState Browser::readyState() {
    if (state_ != Loading) return state_;
    pollfd p{output_, POLLIN, 0};
    if (::poll(&p, 1, kPollMilliseconds) <= 0) return state_;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            if (dom_.size() < kMaxDocumentBytes) dom_.append(buffer, static_cast<std::size_t>(n));
            // More may follow at once; the next call reads it.
            pollfd again{output_, POLLIN, 0};
            if (::poll(&again, 1, 0) > 0) continue;
            return state_;
        }
        break;  // end of output, or a read error: the browser is done
    }
    ::close(output_);
    output_ = -1;
    int status = 0;
    while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
    state_ = Complete;
    return state_;
}

bool Browser::loadFailed() const { return state_ == Complete && dom_.empty(); }

std::string Browser::bodyText() const {
    if (state_ != Complete || dom_.empty()) throw RuntimeError(err::InvalidArgument, "The page has not loaded.");
    return BodyTextOfHtml(dom_);
}

}  // namespace host::os
