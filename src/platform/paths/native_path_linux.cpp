#include "platform/paths/native_path.h"

#include "platform/base/text.h"

namespace platform {

std::filesystem::path NativePath(std::wstring_view wide_path) { return std::filesystem::path(WideToUtf8(wide_path)); }

std::string GenericUtf8Path(const std::filesystem::path& path) { return path.generic_string(); }

}  // namespace platform
