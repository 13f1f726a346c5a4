#include "platform/paths/native_path.h"

#include <string>

#include "platform/base/text.h"

namespace platform {

std::filesystem::path NativePath(std::wstring_view wide_path) { return std::filesystem::path(std::wstring(wide_path)); }

std::string GenericUtf8Path(const std::filesystem::path& path) { return WideToUtf8(path.generic_wstring()); }

}  // namespace platform
