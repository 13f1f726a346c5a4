#include "archive/extraction/file_operations.h"

#include <algorithm>
#include <vector>

#include "platform/files/file_system.h"

namespace archive {
namespace {

bool IsFolder(std::wstring_view path)
{
    platform::FileInfo info;
    return FindEntry(path, info) && (info.attributes & platform::kAttributeDirectory);
}

}  // namespace

bool FindEntry(std::wstring_view path, platform::FileInfo& info)
{
    return platform::FindFile(path, info) == platform::WindowsError::kSuccess;
}

bool CreateFolderPath(std::wstring path)
{
    if (IsFolder(path)) return true;
    // A bare root is never created.
    if (!path.empty() && platform::RootPrefixLength(path) == path.size()) return false;
    if (!path.empty() && platform::IsPathSeparator(path.back())) {
        path.pop_back();
        if (path.empty()) return true;
    }

    // Walk up to the deepest level that exists or can be created ...
    std::vector<std::size_t> cuts;
    std::wstring head = path;
    for (;;) {
        const platform::WindowsError error = platform::CreateFolder(head);
        if (error == platform::WindowsError::kSuccess) break;
        platform::FileInfo info;
        if (FindEntry(head, info)) {
            if (info.attributes & platform::kAttributeDirectory) break;
            return false;
        }
        const std::size_t separator = platform::LastSeparator(head);
        if (separator == std::wstring::npos || separator == 0 || separator <= platform::RootPrefixLength(head)) {
            return false;
        }
        cuts.push_back(separator);
        head.resize(separator);
    }
    // ... then create the cut levels again, one at a time.
    for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
        const std::size_t end = cut + 1 == cuts.rend() ? path.size() : *(cut + 1);
        if (platform::CreateFolder(path.substr(0, end)) != platform::WindowsError::kSuccess) return false;
    }
    return true;
}

bool DeleteFileInTheWay(std::wstring_view path)
{
    platform::FileInfo info;
    if (FindEntry(path, info) && !(info.attributes & platform::kAttributeDirectory) &&
        (info.attributes & platform::kAttributeReadOnly)) {
        const std::uint32_t writable =
            info.attributes & ~(platform::kAttributeReadOnly | platform::kAttributeUnixExtension);
        if (platform::ApplyFileAttributes(path, writable) != platform::WindowsError::kSuccess) return false;
    }
    return platform::RemoveFile(path) == platform::WindowsError::kSuccess;
}

bool IsUnsafeItemPath(std::wstring_view item_path)
{
    if (platform::RootPrefixLength(item_path) > 0) return true;
    for (std::size_t start = 0;;) {
        const auto end = std::find_if(item_path.begin() + static_cast<std::ptrdiff_t>(start), item_path.end(),
                                      platform::IsPathSeparator);
        const std::wstring_view component =
            item_path.substr(start, static_cast<std::size_t>(end - item_path.begin()) - start);
        if (platform::IsEscapingComponent(component)) return true;
        if (end == item_path.end()) return false;
        start = static_cast<std::size_t>(end - item_path.begin()) + 1;
    }
}

}  // namespace archive
