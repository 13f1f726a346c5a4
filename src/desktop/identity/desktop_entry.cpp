#include "desktop/identity/desktop_entry.h"

#include <vector>

namespace desktop {
namespace {

constexpr std::string_view kGroup = "[Desktop Entry]";

std::vector<std::string_view> SplitLines(std::string_view content)
{
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        const auto end = content.find('\n');
        lines.push_back(content.substr(0, end));
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
    }
    return lines;
}

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsGroupHeader(std::string_view line) { return Trim(line).starts_with('['); }

// The raw value when the line sets the key ("Key = value"; "Key[de]" is
// another key).
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key)
{
    const auto equals = line.find('=');
    if (equals == std::string_view::npos || Trim(line.substr(0, equals)) != key) return std::nullopt;
    return Trim(line.substr(equals + 1));
}

std::string Unescape(std::string_view raw)
{
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            value.push_back(raw[i]);
            continue;
        }
        switch (raw[++i]) {
        case 's': value.push_back(' '); break;
        case 'n': value.push_back('\n'); break;
        case 't': value.push_back('\t'); break;
        case 'r': value.push_back('\r'); break;
        case '\\': value.push_back('\\'); break;
        default: value.push_back('\\'), value.push_back(raw[i]); break;
        }
    }
    return value;
}

}  // namespace

std::optional<std::string> ReadDesktopEntryKey(std::string_view content, std::string_view key)
{
    bool in_group = false;
    for (std::string_view line : SplitLines(content)) {
        if (IsGroupHeader(line)) {
            in_group = Trim(line) == kGroup;
        } else if (in_group) {
            if (auto raw = ValueOf(line, key)) return Unescape(*raw);
        }
    }
    return std::nullopt;
}

std::string SetDesktopEntryKey(std::string_view content, std::string_view key, std::string_view value)
{
    const std::string setting = std::string(key) + "=" + EscapeDesktopValue(value);
    std::vector<std::string> lines;
    bool in_group = false;
    bool written = false;
    std::optional<std::size_t> group_last;  // the group's last non-blank line
    for (std::string_view line : SplitLines(content)) {
        if (IsGroupHeader(line)) in_group = Trim(line) == kGroup;
        if (in_group && !written && !IsGroupHeader(line) && ValueOf(line, key)) {
            lines.push_back(setting);
            written = true;
            continue;
        }
        if (in_group && !Trim(line).empty()) group_last = lines.size();
        lines.emplace_back(line);
    }
    if (!written && group_last) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*group_last + 1), setting);
    } else if (!written) {
        lines.emplace_back(kGroup);
        lines.push_back(setting);
    }
    std::string result;
    for (const std::string& line : lines) result += line + "\n";
    return result;
}

std::string EscapeDesktopValue(std::string_view value)
{
    std::string escaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        switch (value[i]) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        case ' ': escaped += i == 0 ? "\\s" : " "; break;
        default: escaped.push_back(value[i]); break;
        }
    }
    return escaped;
}

std::string QuoteExecArgument(std::string_view argument)
{
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
        if (c == '%') quoted.push_back('%');
        quoted.push_back(c);
    }
    return quoted + "\"";
}

}  // namespace desktop
