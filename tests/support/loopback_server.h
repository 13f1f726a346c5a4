#pragma once
// A real HTTP (or HTTPS) server on 127.0.0.1, on a port the system picks,
// serving from a thread of its own for as long as the object lives.
#include <httplib.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "support/event_wait.h"

namespace testing_support {

class LoopbackServer {
public:
    explicit LoopbackServer(std::unique_ptr<httplib::Server> server = std::make_unique<httplib::Server>(),
                            std::string scheme = "http")
        : server_(std::move(server)), scheme_(std::move(scheme))
    {
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ <= 0) throw std::runtime_error("cannot bind a loopback port");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        // stop() only takes effect once the accept loop runs.
        const auto deadline = std::chrono::steady_clock::now() + kEventWait;
        while (!server_->is_running() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~LoopbackServer()
    {
        server_->stop();
        thread_.join();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    httplib::Server& server() { return *server_; }
    int port() const { return port_; }

    std::string Url(std::string_view path) const
    {
        return scheme_ + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
    }

private:
    std::unique_ptr<httplib::Server> server_;
    std::string scheme_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace testing_support
