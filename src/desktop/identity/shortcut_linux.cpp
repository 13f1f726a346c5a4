#include "desktop/identity/shortcut.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "desktop/identity/desktop_entry.h"
#include "platform/base/text.h"
#include "platform/durable/replacement_file.h"
#include "platform/paths/native_path.h"

namespace desktop {
namespace {

constexpr char kIdentifierKey[] = "X-AppUserModel-ID";
constexpr char kNoDisplayKey[] = "NoDisplay";

platform::HResult ReadWhole(const std::filesystem::path& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return platform::hresult::kFileNotFound;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? platform::hresult::kFail : platform::hresult::kOk;
}

// Through a file beside the target, so a reader never sees half a file.
platform::HResult WriteWhole(const std::filesystem::path& path, const std::string& content)
{
    if (path.empty() || !path.has_filename()) return platform::hresult::kInvalidArgument;
    platform::ReplacementFile replacement(platform::Utf8ToWide(path.string()));
    if (replacement.error() != 0) return platform::hresult::kAccessDenied;
    if (replacement.Write(content.data(), content.size()) != 0) return platform::hresult::kFail;
    return replacement.Commit() == 0 ? platform::hresult::kOk : platform::hresult::kAccessDenied;
}

}  // namespace

std::wstring ShortcutExtension() { return L".desktop"; }

std::wstring ShortcutFolder()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return platform::Utf8ToWide(data) + L"/applications/";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return platform::Utf8ToWide(home) + L"/.local/share/applications/";
    }
    return {};
}

bool ShortcutExists(const std::wstring& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::exists(platform::NativePath(path), error);
}

platform::HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id)
{
    id.reset();
    std::string content;
    const platform::HResult result = ReadWhole(platform::NativePath(path), content);
    if (platform::Failed(result)) return result;
    // An entry still shown in menus was written by an older version: it
    // counts as without identifier, so that it is repaired and hidden.
    if (ReadDesktopEntryKey(content, kNoDisplayKey) != "true") return platform::hresult::kOk;
    if (auto value = ReadDesktopEntryKey(content, kIdentifierKey)) id = platform::Utf8ToWide(*value);
    return platform::hresult::kOk;
}

platform::HResult WriteShortcutId(const std::wstring& path, const std::wstring& id)
{
    std::string content;
    const platform::HResult result = ReadWhole(platform::NativePath(path), content);
    if (platform::Failed(result)) return result;
    content = SetDesktopEntryKey(content, kNoDisplayKey, "true");
    return WriteWhole(platform::NativePath(path),
                      SetDesktopEntryKey(content, kIdentifierKey, platform::WideToUtf8(id)));
}

platform::HResult CreateShortcut(const std::wstring& path, const ShortcutLink& link)
{
    const std::filesystem::path file = platform::NativePath(path);
    if (path.empty()) return platform::hresult::kInvalidArgument;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) return platform::hresult::kAccessDenied;

    std::string exec = QuoteExecArgument(platform::WideToUtf8(link.target));
    if (!link.arguments.empty()) exec += " " + platform::WideToUtf8(link.arguments);
    std::ostringstream entry;
    entry << "[Desktop Entry]\n"
          << "Type=Application\n"
          // The entry only gives the notifications their identity; it is no
          // menu launcher.
          << kNoDisplayKey << "=true\n"
          << "Name=" << EscapeDesktopValue(platform::WideToUtf8(link.name)) << "\n"
          << "Exec=" << EscapeDesktopValue(exec) << "\n"
          << "Path=" << EscapeDesktopValue(platform::WideToUtf8(link.working_directory)) << "\n"
          << kIdentifierKey << "=" << EscapeDesktopValue(platform::WideToUtf8(link.app_user_model_id)) << "\n";
    return WriteWhole(file, entry.str());
}

std::wstring_view LauncherFileName() { return L"merroupdate-session"; }

}  // namespace desktop
