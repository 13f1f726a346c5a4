#pragma once
#include <string>

// Announces a finished installation or update with one desktop notification
// showing the text and the program's logo, then holds the calling thread for
// 5 seconds. Always true.
bool ShowUpdateNotification(const std::wstring& text);

// The logo beside the executable: its folder (the whole path when it has no
// separator) followed by the separator and "QVLogo.png".
std::wstring LogoImageFile(const std::wstring& executable_path);
