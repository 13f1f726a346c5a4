#include "platform/shortcut.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "platform/desktop_entry.h"
#include "platform/native_path.h"
#include "platform/replacement_file_linux.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr char kIdentifierKey[] = "X-AppUserModel-ID";
constexpr char kNoDisplayKey[] = "NoDisplay";

HResult ReadWhole(const std::filesystem::path& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return hresult::kFileNotFound;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? hresult::kFail : hresult::kOk;
}

// Through a file beside the target, so a reader never sees half a file.
HResult WriteWhole(const std::filesystem::path& path, const std::string& content)
{
    if (path.empty() || !path.has_filename()) return hresult::kInvalidArgument;
    ReplacementFile replacement(path.string());
    if (replacement.error() != 0) return hresult::kAccessDenied;
    if (replacement.Write(content.data(), content.size()) != 0) return hresult::kFail;
    return replacement.Commit() == 0 ? hresult::kOk : hresult::kAccessDenied;
}

}  // namespace

std::wstring ShortcutExtension() { return L".desktop"; }

std::wstring ShortcutFolder()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return Utf8ToWide(data) + L"/applications/";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return Utf8ToWide(home) + L"/.local/share/applications/";
    }
    return {};
}

bool ShortcutExists(const std::wstring& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::exists(NativePath(path), error);
}

HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id)
{
    id.reset();
    std::string content;
    const HResult result = ReadWhole(NativePath(path), content);
    if (Failed(result)) return result;
    // An entry still shown in menus was written by an older version: it
    // counts as without identifier, so that it is repaired and hidden.
    if (ReadDesktopEntryKey(content, kNoDisplayKey) != "true") return hresult::kOk;
    if (auto value = ReadDesktopEntryKey(content, kIdentifierKey)) id = Utf8ToWide(*value);
    return hresult::kOk;
}

HResult WriteShortcutId(const std::wstring& path, const std::wstring& id)
{
    std::string content;
    const HResult result = ReadWhole(NativePath(path), content);
    if (Failed(result)) return result;
    content = SetDesktopEntryKey(content, kNoDisplayKey, "true");
    return WriteWhole(NativePath(path), SetDesktopEntryKey(content, kIdentifierKey, WideToUtf8(id)));
}

HResult CreateShortcut(const std::wstring& path, const ShortcutLink& link)
{
    const std::filesystem::path file = NativePath(path);
    if (path.empty()) return hresult::kInvalidArgument;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) return hresult::kAccessDenied;

    std::string exec = QuoteExecArgument(WideToUtf8(link.target));
    if (!link.arguments.empty()) exec += " " + WideToUtf8(link.arguments);
    std::ostringstream entry;
    entry << "[Desktop Entry]\n"
          << "Type=Application\n"
          // The entry only gives the notifications their identity; it is no
          // menu launcher.
          << kNoDisplayKey << "=true\n"
          << "Name=" << EscapeDesktopValue(WideToUtf8(link.name)) << "\n"
          << "Exec=" << EscapeDesktopValue(exec) << "\n"
          << "Path=" << EscapeDesktopValue(WideToUtf8(link.working_directory)) << "\n"
          << kIdentifierKey << "=" << EscapeDesktopValue(WideToUtf8(link.app_user_model_id)) << "\n";
    return WriteWhole(file, entry.str());
}

}  // namespace platform
