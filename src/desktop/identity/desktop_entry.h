#pragma once
// The desktop entry file format: the "[Desktop Entry]" group's keys, value
// escaping and the quoting of Exec arguments. UTF-8 text throughout.
#include <optional>
#include <string>
#include <string_view>

namespace desktop {

// The unescaped value of the key in the "[Desktop Entry]" group.
std::optional<std::string> ReadDesktopEntryKey(std::string_view content, std::string_view key);

// The content with the key set to the value: its line replaced in place, or
// added at the end of the group (the group is added when missing).
std::string SetDesktopEntryKey(std::string_view content, std::string_view key, std::string_view value);

// Escapes a string value: backslash, newline, tab, carriage return, and a
// leading space.
std::string EscapeDesktopValue(std::string_view value);

// One Exec argument, double-quoted with the characters that must be
// escaped inside quotes, and "%" doubled; still to be value-escaped.
std::string QuoteExecArgument(std::string_view argument);

}  // namespace desktop
