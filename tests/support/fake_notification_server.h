#pragma once
// A notification server of our own on a test's session bus.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <systemd/sd-bus.h>

namespace testing_support {

struct NotifyCall {
    std::string sender;
    std::string app_name;
    std::uint32_t replaces_id = 0;
    std::string app_icon;
    std::string summary;
    std::string body;
    std::vector<std::string> actions;
    std::map<std::string, std::string> hints;  // value as "<type>:<text>", e.g. "b:true"
    std::int32_t expire_timeout = 0;
    std::uint32_t id = 0;  // what the server answered
};

// org.freedesktop.Notifications on its own connection and thread. Ids start
// at 7001, so a client that assumes 1 fails.
class FakeNotificationServer {
public:
    static std::unique_ptr<FakeNotificationServer> Start(const std::string& address);
    ~FakeNotificationServer();

    std::vector<NotifyCall> Calls() const;
    // The summaries of the notifications shown, in order.
    std::vector<std::string> Summaries() const;
    std::vector<std::uint32_t> ClosedByCall() const;

    // To every listener, or only to the connection that showed the notification.
    void EmitActionInvoked(std::uint32_t id, const std::string& key, bool unicast);
    void EmitNotificationClosed(std::uint32_t id, std::uint32_t reason, bool unicast);

    explicit FakeNotificationServer(sd_bus* bus);

private:
    struct Signal {
        std::uint32_t id;
        std::string member;
        std::string key;
        std::uint32_t reason;
        bool unicast;
    };
    static int OnMethodCall(sd_bus_message* message, void* userdata, sd_bus_error* error);
    int HandleNotify(sd_bus_message* message);
    int HandleClose(sd_bus_message* message);
    void Send(const Signal& signal);
    void Run();
    void Emit(Signal signal);

    sd_bus* bus_;
    sd_bus_slot* object_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable emitted_;
    std::deque<Signal> queue_;
    std::vector<NotifyCall> calls_;
    std::vector<std::uint32_t> closed_;
    std::map<std::uint32_t, std::string> senders_;
    std::uint32_t next_id_ = 7001;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace testing_support
