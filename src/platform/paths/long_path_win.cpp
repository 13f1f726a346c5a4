#include "platform/paths/long_path_win.h"

#include <windows.h>

namespace platform {

std::wstring LongPath(std::wstring_view path)
{
    const std::wstring name(path);
    if (name.empty() || name.starts_with(L"\\\\?\\") || name.starts_with(L"\\\\.\\")) return name;
    // GetFullPathNameW turns "/" into "\", and works on paths of any length.
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = ::GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return name;
        if (length < full.size()) {
            full.resize(length);
            // "C:\folder\" would name "folder" plus an empty component once
            // prefixed; a drive's root keeps its separator.
            while (full.size() > 3 && full.back() == L'\\') full.pop_back();
            // A device ("CON") comes back as "\\.\CON"; it must stay one.
            if (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\\\?\\")) return full;
            if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
            return L"\\\\?\\" + full;
        }
        full.resize(length);  // the size it needs, with its terminator
    }
    return name;
}

}  // namespace platform
