#include "platform/files/free_space.h"

#include <string>
#include <system_error>

#include "platform/base/text.h"
#include "platform/base/windows_api_win.h"
#include "platform/paths/long_path_win.h"

namespace platform {

std::uint64_t AvailableSpace(std::wstring_view path)
{
    const std::wstring folder = LongPath(path);
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) {
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "Cannot read the free space of " + WideToUtf8(path));
    }
    return available.QuadPart;
}

}  // namespace platform
