#pragma once
// A tiny HTTP server on 127.0.0.1 for browser tests: answers every GET of "/" with one HTML page and
// anything else with 404, counting the page requests. Runs on a thread of its own until destroyed.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

namespace testsupport {

class PageServer {
public:
    explicit PageServer(std::string page) : page_(std::move(page)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 16) != 0)
            throw std::runtime_error("PageServer: cannot listen");
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~PageServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    // The page's address, root path.
    std::string address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    int pageRequests() const { return pageRequests_; }

private:
    void serve() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            answer(client);
            ::close(client);
        }
    }
    void answer(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) return;
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) return;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const bool isPage = request.rfind("GET / ", 0) == 0;
        if (isPage) ++pageRequests_;
        const std::string body = isPage ? page_ : "not found";
        const std::string response = std::string(isPage ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                                     "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                     std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        std::size_t sent = 0;
        while (sent < response.size()) {
            const ssize_t n = ::write(client, response.data() + sent, response.size() - sent);
            if (n <= 0) return;
            sent += static_cast<std::size_t>(n);
        }
    }

    std::string page_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> pageRequests_{0};
    std::thread thread_;
};

}  // namespace testsupport
