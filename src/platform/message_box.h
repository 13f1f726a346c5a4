#pragma once
// Modal message boxes (MessageBoxW and the About box's dialog).
#include <string_view>

namespace platform {

enum class MessageBoxButtons { Ok, OkCancel };
enum class MessageBoxIcon { Information, Question };

// Windows' IDOK and IDCANCEL.
enum class MessageBoxResult { Ok = 1, Cancel = 2 };

// Shows a modal box and waits until it is closed. With a display and zenity
// on PATH, zenity shows it; otherwise caption and text go to standard error
// and the box counts as cancelled at once.
MessageBoxResult ShowMessageBox(std::wstring_view text, std::wstring_view caption,
                                MessageBoxButtons buttons, MessageBoxIcon icon);

}  // namespace platform
