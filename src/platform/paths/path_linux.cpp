#include "platform/paths/path.h"

namespace platform {

std::size_t RootPrefixLength(std::wstring_view path) { return !path.empty() && IsPathSeparator(path.front()) ? 1 : 0; }

bool IsEscapingComponent(std::wstring_view component) { return component.empty() || component == L".."; }

}  // namespace platform
