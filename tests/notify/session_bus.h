#pragma once
// A private session bus for one test, and what the tests run on it: a
// notification server of our own and the pumping of the thread's event loop.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <systemd/sd-bus.h>

#include "child_process.h"
#include "test_environment.h"


namespace notify_test {

// A dbus-daemon of its own, named by DBUS_SESSION_BUS_ADDRESS while it runs.
// It activates no services, so only the peers a test starts answer.
class PrivateSessionBus {
public:
    // Null when the daemon does not start or report its address in time.
    static std::unique_ptr<PrivateSessionBus> Start();
    const std::string& Address() const { return address_; }
    // Waits until a connection owns the name.
    bool WaitForOwner(const std::string& name, std::chrono::milliseconds limit) const;

    PrivateSessionBus(std::unique_ptr<TemporaryFolder> folder, std::unique_ptr<ChildProcess> daemon,
                      std::string address);

private:
    std::unique_ptr<TemporaryFolder> folder_;
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
    ScopedEnvironment environment_;
};

// Runs the calling thread's default event loop until `done` holds or the
// limit passes; the final value of `done`.
bool PumpEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

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

}  // namespace notify_test
