#pragma once
// Windows only, for the other Windows backends (the tray icon, the dialogs):
// the system's window behind a HiddenWindow, and a look at its messages
// before the portable procedure gets them.
#include <windows.h>

#include "desktop/window.h"

namespace desktop {

// The HWND of a HiddenWindow, from its creation until the system has
// destroyed it (it is still there while the procedure handles WmDestroy);
// null for any other window.
HWND NativeWindow(WindowHandle window);

// Sees every message a hidden window receives (sent or dispatched, the
// registered ones such as "TaskbarCreated" too) before anything else does.
// Returns true when it consumed the message, with the result in `result`;
// the message then reaches neither the window's procedure nor DefWindowProcW.
using NativeMessageHook = bool (*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);

// Adds the hook for all hidden windows of the process; adding the same hook
// again does nothing. Hooks run on the window's thread, in the order added.
void AddNativeMessageHook(NativeMessageHook hook);

}  // namespace desktop
