#pragma once
// A window as the program's logic sees it: something messages are posted to.
// The hidden main window of the shell implements it over the message loop.
#include <cstdint>

namespace desktop {

using Message = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// The window message numbers of Windows, kept so the logic reads the same.
constexpr Message WmCreate = 0x0001;
constexpr Message WmDestroy = 0x0002;
constexpr Message WmInitDialog = 0x0110;
constexpr Message WmCommand = 0x0111;
constexpr Message WmTimer = 0x0113;
constexpr Message WmLButtonUp = 0x0202;
constexpr Message WmRButtonUp = 0x0205;
constexpr Message WmMButtonUp = 0x0208;
constexpr Message WmUser = 0x0400;

// LOWORD of a wParam: the command id of WmCommand.
constexpr std::uint16_t LowWord(WParam value) { return static_cast<std::uint16_t>(value & 0xFFFF); }

class Window {
public:
    // Queues the message for the window's procedure; false when it cannot.
    virtual bool Post(Message message, WParam wparam, LParam lparam) = 0;

protected:
    ~Window() = default;
};

using WindowHandle = Window*;

// Queues the message for the window; false for a null window.
inline bool PostToWindow(WindowHandle window, Message message, WParam wparam, LParam lparam)
{
    return window != nullptr && window->Post(message, wparam, lparam);
}

}  // namespace desktop
