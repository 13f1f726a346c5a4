#pragma once
// A bare TCP server on 127.0.0.1 that answers each HTTP request with whatever
// bytes the test writes to the socket, so that it can lie about lengths, stop
// part-way, stall or reset the connection, which a real HTTP server never does.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "support/event_wait.h"

namespace testing_support {

class ScriptedServer {
public:
    // Called with the connected socket and the request's path; the socket is
    // closed when it returns, unless the script closed it already.
    using Script = std::function<void(int& socket, const std::string& path)>;

    explicit ScriptedServer(Script script) : script_(std::move(script)) { Listen(); }

    // The script is called with the whole request head instead of its path
    // (a proxy looks at the request's headers).
    struct WholeHead {};
    ScriptedServer(WholeHead, Script script) : script_(std::move(script)), whole_head_(true) { Listen(); }

    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
    ~ScriptedServer()
    {
        stopping_ = true;
        thread_.join();
        ::close(listener_);
    }

    std::string Url(std::string_view path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
    }

    static void Send(int socket, std::string_view bytes)
    {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) return;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
    }

    // Ends the connection with a reset instead of an orderly close.
    static void Reset(int& socket)
    {
        const linger abort_at_once{1, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort_at_once, sizeof abort_at_once);
        ::close(socket);
        socket = -1;
    }

    // Sends nothing more until the client gives up and closes the
    // connection (true), or `limit` passes (false).
    static bool StallUntilTheClientLeaves(int socket, std::chrono::milliseconds limit = kEventWait)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        char buffer[256];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd readable{socket, POLLIN, 0};
            if (::poll(&readable, 1, 100) > 0 && ::recv(socket, buffer, sizeof buffer, 0) <= 0) return true;
        }
        return false;
    }

    // A response head announcing `length` bytes of body.
    static std::string Head(std::size_t length)
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
               std::to_string(length) + "\r\nConnection: close\r\n\r\n";
    }

private:
    void Listen()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            if (listener_ >= 0) ::close(listener_);
            throw std::runtime_error("cannot listen on a loopback port");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }

    void Serve()
    {
        while (!stopping_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0) continue;
            int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket < 0) continue;
            const std::string head = ReadRequestHead(socket);
            script_(socket, whole_head_ ? head : PathOf(head));
            if (socket >= 0) ::close(socket);
        }
    }

    // Reads up to the end of the request head.
    static std::string ReadRequestHead(int socket)
    {
        std::string head;
        char buffer[1024];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            pollfd readable{socket, POLLIN, 0};
            if (::poll(&readable, 1, static_cast<int>(std::chrono::milliseconds(kEventWait).count())) <= 0) break;
            const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head.append(buffer, static_cast<std::size_t>(got));
        }
        return head;
    }

    // The path of the request line.
    static std::string PathOf(const std::string& head)
    {
        const auto start = head.find(' ');
        const auto end = head.find(' ', start + 1);
        return start == std::string::npos || end == std::string::npos ? "" : head.substr(start + 1, end - start - 1);
    }

    Script script_;
    bool whole_head_ = false;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace testing_support
