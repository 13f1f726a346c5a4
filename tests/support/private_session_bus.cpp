#include "support/private_session_bus.h"

#include <stdexcept>
#include <thread>

#include "support/event_wait.h"

namespace testing_support {

PrivateSessionBus::PrivateSessionBus()
{
    const auto config = folder_.path() / "session.conf";
    WriteFileBytes(config,
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=" +
                       folder_.path().string() +
                       "</listen>"
                       "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                       "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                       "<allow own=\"*\"/></policy></busconfig>\n");
    // Its complaints about resource limits are noise in test output.
    daemon_ = ChildProcess::Start(
        {"dbus-daemon", "--config-file=" + config.string(), "--nofork", "--nosyslog", "--print-address=1"},
        {.capture_output = true, .discard_errors = true});
    if (!daemon_) throw std::runtime_error("cannot start dbus-daemon");
    // The daemon prints its address, one line, once it listens.
    const auto address = daemon_->ReadLine(kEventWait);
    if (!address || address->empty()) throw std::runtime_error("dbus-daemon printed no address");
    address_ = *address;
    address_variable_.Set("DBUS_SESSION_BUS_ADDRESS", address_);
}

bool PrivateSessionBus::WaitForOwner(const std::string& name, std::chrono::milliseconds limit) const
{
    sd_bus* bus = ConnectToBus(address_);
    if (!bus) return false;
    bool owned = false;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!owned && std::chrono::steady_clock::now() < deadline) {
        sd_bus_message* reply = nullptr;
        int has_owner = 0;
        if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "NameHasOwner", nullptr, &reply, "s", name.c_str()) >= 0) {
            sd_bus_message_read(reply, "b", &has_owner);
            sd_bus_message_unref(reply);
        }
        owned = has_owner != 0;
        if (!owned) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    sd_bus_flush_close_unref(bus);
    return owned;
}

sd_bus* ConnectToBus(const std::string& address)
{
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) return nullptr;
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return bus;
}

}  // namespace testing_support
