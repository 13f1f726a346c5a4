#pragma once
// A machine-wide service and the event it sets for the users' programs: the
// service manager and a named event of the machine-wide namespace on
// Windows. Linux has no machine-wide service: none is registered there and
// no event is made.
#include <cstdint>
#include <functional>
#include <string_view>

namespace platform {

// Whether the service manager knows a service of this name; false also
// when it cannot be asked.
bool IsServiceRegistered(std::wstring_view name);

// The event the service sets after each change it records. Only SYSTEM and
// the administrators may set it; interactive users may only wait on it. An
// event that cannot be made (another account made one of that name first)
// is only a hint lost: the users' programs still look at what changed at
// their interval.
class ChangeEvent {
public:
    explicit ChangeEvent(std::wstring_view name);
    ~ChangeEvent();
    ChangeEvent(const ChangeEvent&) = delete;
    ChangeEvent& operator=(const ChangeEvent&) = delete;

    // Releases whoever waits now; a program that was not waiting finds the
    // change at its next look.
    void Pulse();

private:
    [[maybe_unused]] std::intptr_t handle_ = 0;  // a HANDLE on Windows; unused on Linux
};

// Calls `on_set` on a thread of the system's pool each time the event is
// set. Inactive when the event does not exist (yet).
class ChangeEventWatch {
public:
    ChangeEventWatch(std::wstring_view name, std::function<void()> on_set);
    ~ChangeEventWatch();
    ChangeEventWatch(const ChangeEventWatch&) = delete;
    ChangeEventWatch& operator=(const ChangeEventWatch&) = delete;

    bool active() const { return wait_ != 0; }

private:
    std::function<void()> on_set_;
    [[maybe_unused]] std::intptr_t event_ = 0;  // a HANDLE on Windows; unused on Linux
    std::intptr_t wait_ = 0;
};

}  // namespace platform
