#include "desktop/message_loop.h"

// What the message loop offers beyond its classes, the same on every platform.
namespace desktop {

void DestroyWindow(WindowHandle window)
{
    if (auto* hidden = dynamic_cast<HiddenWindow*>(window)) hidden->Destroy();
}

LResult DefaultWindowProcedure(WindowHandle, Message, WParam, LParam) { return 0; }

TimerId SetTimer(std::uint32_t period_ms, TimerProcedure procedure)
{
    MessageLoop* loop = MessageLoop::Current();
    return loop ? loop->SetTimer(period_ms, procedure) : 0;
}

void PostQuitMessage(int exit_code)
{
    if (MessageLoop* loop = MessageLoop::Current()) loop->PostQuit(exit_code);
}

}  // namespace desktop
