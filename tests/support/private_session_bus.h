#pragma once
// A dbus-daemon of our own as the session bus while the object lives:
// DBUS_SESSION_BUS_ADDRESS points at it, so this process and every program it
// starts talk to it alone. It activates no services, so only the peers a
// test starts answer. The daemon is stopped and the variable restored at the
// end.
#include <chrono>
#include <memory>
#include <string>

#include <systemd/sd-bus.h>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace testing_support {

class PrivateSessionBus {
public:
    // Throws when the daemon does not start or report its address in time.
    PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return address_; }
    // Waits until a connection owns the name.
    bool WaitForOwner(const std::string& name, std::chrono::milliseconds limit) const;

private:
    TempFolder folder_;
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
    ScopedEnvironment address_variable_;
};

// A connection of its own to the bus at `address`; null when refused.
sd_bus* ConnectToBus(const std::string& address);

}  // namespace testing_support
