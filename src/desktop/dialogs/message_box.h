#pragma once
// Modal message boxes, and the About box's dialog.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/window.h"

namespace desktop {

enum class MessageBoxButtons { Ok, OkCancel };
enum class MessageBoxIcon { Information, Question };

// Windows' IDOK and IDCANCEL.
enum class MessageBoxResult { Ok = 1, Cancel = 2 };

// Shows a modal box and waits until it is closed, while the thread's message
// loop goes on dispatching (on Windows the system's modal loop, on Linux a
// nested MessageLoop run); the quit message closes it as cancelled. With a
// display and zenity on PATH, zenity shows it; otherwise caption and text go
// to standard error and the box counts as cancelled at once.
MessageBoxResult ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxButtons buttons,
                                MessageBoxIcon icon);

// A modal dialog of static text lines and one "OK" button.
struct DialogTemplate {
    std::wstring caption;
    std::vector<std::wstring> lines;
    std::wstring button;
};

// The dialog command ids IDOK and IDCANCEL.
constexpr std::uint16_t IdOk = 1;
constexpr std::uint16_t IdCancel = 2;

struct Dialog;
using DialogHandle = Dialog*;
using DialogProcedure = LResult (*)(DialogHandle dialog, Message message, WParam wparam, LParam lparam);

// The dialog procedure gets WmInitDialog, then, when the box closes,
// WmCommand with IDOK for the button or IDCANCEL for Esc and the close box.
// Without zenity or a display the text goes to standard error and the box
// closes at once with IDCANCEL. Returns what the procedure gave EndDialog,
// 0 when it never ended the dialog.
LResult ShowDialog(const DialogTemplate& dialog_template, WindowHandle owner, DialogProcedure procedure);

// Closes the dialog; `result` is what ShowDialog returns.
void EndDialog(DialogHandle dialog, LResult result);

}  // namespace desktop
