#include "platform/atomic_file.h"

#include <string>
#include <system_error>

#include "platform/replacement_file_win.h"
#include "platform/text.h"
#include "platform/windows_api_win.h"

namespace platform {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    throw FileWriteError("Cannot write " + path + ": " + reason);
}

[[noreturn]] void Fail(const std::string& path, const char* call, DWORD error)
{
    Fail(path, std::string(call) + " failed: " + std::system_category().message(static_cast<int>(error)));
}

}  // namespace

void ReplaceFileContent(const std::string& path, std::string_view content)
{
    const std::wstring target = Utf8ToWide(path);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        Fail(path, "the file is read-only");
    }
    ReplacementFile replacement(target);
    if (replacement.error() != 0 || replacement.Write(content.data(), content.size()) != 0 ||
        replacement.Commit() != 0) {
        Fail(path, replacement.failed_call(), static_cast<DWORD>(replacement.error()));
    }
}

}  // namespace platform
