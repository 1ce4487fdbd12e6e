#pragma once
// A server on 127.0.0.1 for download tests, on a port of its own: each connection is accepted and then
// either left waiting forever (stalled) or sent an HTTP header and a trickle of bytes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class LoopbackServer {
public:
    // bytesPerSecond 0: connections are accepted and never answered.
    explicit LoopbackServer(int bytesPerSecond = 0) : bytesPerSecond_(bytesPerSecond) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
        for (int client : clients_) ::close(client);
    }
    std::string url(const std::string& file) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + file;
    }

private:
    void serve() {
        while (!stop_) {
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) return;
            clients_.push_back(client);
            if (bytesPerSecond_ == 0) continue;
            const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n";
            ::send(client, header.data(), header.size(), MSG_NOSIGNAL);
            while (!stop_ && ::send(client, std::string(static_cast<std::size_t>(bytesPerSecond_), 'x').data(),
                                    static_cast<std::size_t>(bytesPerSecond_), MSG_NOSIGNAL) > 0)
                for (int i = 0; i < 10 && !stop_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    int bytesPerSecond_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<int> clients_;
};

}  // namespace testsupport
