#pragma once
// A window as the program's logic sees it: something messages are posted to.
// The hidden main window of the shell implements it over the message loop.
#include <cstdint>

namespace platform {

using Message = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

constexpr Message WM_USER = 0x0400;

class Window {
public:
    // Queues the message for the window's procedure; false when it cannot.
    virtual bool Post(Message message, WParam wparam, LParam lparam) = 0;

protected:
    ~Window() = default;
};

using WindowHandle = Window*;

// PostMessageW: false for a null window.
inline bool PostMessage(WindowHandle window, Message message, WParam wparam, LParam lparam)
{
    return window != nullptr && window->Post(message, wparam, lparam);
}

}  // namespace platform
