#include "platform/paths/executable_path.h"

#include "platform/base/windows_api_win.h"

namespace platform {

std::wstring ExecutablePath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        // A full buffer means the path was cut short.
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace platform
