#include "desktop/toast/shared_toast_platform.h"

#include <filesystem>
#include <system_error>

#include "desktop/identity/app_identity.h"
#include "desktop/identity/shortcut.h"
#include "desktop/toast/toast_template_content.h"
#include "platform/base/os_version.h"
#include "platform/base/system_time.h"
#include "platform/paths/executable_path.h"
#include "platform/paths/native_path.h"
#include "platform/paths/path.h"

namespace desktop {

platform::HResult SharedToastPlatform::SetCurrentProcessExplicitAppUserModelID(const std::wstring& id)
{
    return desktop::SetCurrentProcessExplicitAppUserModelID(id);
}

std::uint32_t SharedToastPlatform::MajorVersion() { return platform::WindowsMajorVersion(); }

std::int64_t SharedToastPlatform::SystemTimeAsFileTime() { return platform::SystemTimeAsFileTime(); }

// What the Start-menu shortcut starts: the launcher beside the program where
// there is one, the program itself otherwise.
std::wstring SharedToastPlatform::ExecutablePath()
{
    const std::wstring program = platform::ExecutablePath();
    if (LauncherFileName().empty()) return program;
    const std::wstring launcher =
        platform::ExecutableFolder() + platform::kPathSeparator + std::wstring(LauncherFileName());
    std::error_code unknown;
    return std::filesystem::is_regular_file(platform::NativePath(launcher), unknown) ? launcher : program;
}

std::wstring SharedToastPlatform::ShortcutFolder() { return desktop::ShortcutFolder(); }

std::wstring SharedToastPlatform::ShortcutExtension() { return desktop::ShortcutExtension(); }

bool SharedToastPlatform::ShortcutExists(const std::wstring& path) { return desktop::ShortcutExists(path); }

platform::HResult SharedToastPlatform::ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id)
{
    return desktop::ReadShortcutId(path, id);
}

platform::HResult SharedToastPlatform::WriteShortcutId(const std::wstring& path, const std::wstring& id)
{
    return desktop::WriteShortcutId(path, id);
}

platform::HResult SharedToastPlatform::CreateShortcut(const std::wstring& path, const ShortcutLink& link)
{
    return desktop::CreateShortcut(path, link);
}

platform::HResult SharedToastPlatform::GetTemplateContent(std::int32_t type, std::unique_ptr<XmlDocument>& document)
{
    return desktop::GetTemplateContent(type, document);
}

}  // namespace desktop
