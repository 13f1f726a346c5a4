#include "platform/paths/path.h"

#include <string>

namespace platform {
namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Length of "C:" or "C:\" at `at`, 0 when there is no drive there.
std::size_t DriveLength(std::wstring_view path, std::size_t at)
{
    if (path.size() < at + 2 || !IsDriveLetter(path[at]) || path[at + 1] != L':') return 0;
    return path.size() > at + 2 && IsPathSeparator(path[at + 2]) ? 3 : 2;
}

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 name a device in every folder,
// whatever follows them after a dot and whatever trailing dots and spaces
// the system strips ("nul.txt", "Com1 .", "AUX..").
bool NamesDevice(std::wstring_view component)
{
    std::wstring_view stem = component.substr(0, component.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
    std::wstring name;
    for (const wchar_t c : stem) name += Upper(c);
    if (name == L"CON" || name == L"PRN" || name == L"AUX" || name == L"NUL") return true;
    return name.size() == 4 && (name.starts_with(L"COM") || name.starts_with(L"LPT")) && name[3] >= L'1' &&
           name[3] <= L'9';
}

// End of the component starting at `at`, with its separator.
std::size_t AfterComponent(std::wstring_view path, std::size_t at)
{
    while (at < path.size() && !IsPathSeparator(path[at])) ++at;
    return at < path.size() ? at + 1 : at;
}

}  // namespace

std::size_t RootPrefixLength(std::wstring_view path)
{
    if (const std::size_t drive = DriveLength(path, 0)) return drive;
    if (path.empty() || !IsPathSeparator(path[0])) return 0;
    if (path.size() < 2 || !IsPathSeparator(path[1])) return 1;
    // "\\?\" and "\\.\" prefixes, followed by a drive or any device name.
    if (path.size() >= 4 && (path[2] == L'?' || path[2] == L'.') && IsPathSeparator(path[3])) {
        if (const std::size_t drive = DriveLength(path, 4)) return 4 + drive;
        return AfterComponent(path, 4);
    }
    // "\\server\share\".
    return AfterComponent(path, AfterComponent(path, 2));
}

bool IsEscapingComponent(std::wstring_view component)
{
    if (component.empty() || component.find(L':') != std::wstring_view::npos) return true;
    // The system drops trailing dots and spaces, so "..." and ". ." read as
    // a parent or as nothing; a single dot is the folder itself.
    if (component == L".") return false;
    return component.find_first_not_of(L". ") == std::wstring_view::npos || NamesDevice(component);
}

}  // namespace platform
