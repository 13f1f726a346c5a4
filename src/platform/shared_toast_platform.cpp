#include "platform/shared_toast_platform.h"

#include "platform/app_identity.h"
#include "platform/executable_path.h"
#include "platform/os_version.h"
#include "platform/shortcut.h"
#include "platform/system_time.h"
#include "platform/toast_template_content.h"

namespace platform {

HResult SharedToastPlatform::SetCurrentProcessExplicitAppUserModelID(const std::wstring& id)
{
    return platform::SetCurrentProcessExplicitAppUserModelID(id);
}

std::uint32_t SharedToastPlatform::MajorVersion() { return WindowsMajorVersion(); }

std::int64_t SharedToastPlatform::SystemTimeAsFileTime() { return platform::SystemTimeAsFileTime(); }

std::wstring SharedToastPlatform::ExecutablePath() { return platform::ExecutablePath(); }

std::wstring SharedToastPlatform::ShortcutFolder() { return platform::ShortcutFolder(); }

std::wstring SharedToastPlatform::ShortcutExtension() { return platform::ShortcutExtension(); }

bool SharedToastPlatform::ShortcutExists(const std::wstring& path) { return platform::ShortcutExists(path); }

HResult SharedToastPlatform::ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id)
{
    return platform::ReadShortcutId(path, id);
}

HResult SharedToastPlatform::WriteShortcutId(const std::wstring& path, const std::wstring& id)
{
    return platform::WriteShortcutId(path, id);
}

HResult SharedToastPlatform::CreateShortcut(const std::wstring& path, const ShortcutLink& link)
{
    return platform::CreateShortcut(path, link);
}

HResult SharedToastPlatform::GetTemplateContent(std::int32_t type, std::unique_ptr<XmlDocument>& document)
{
    return platform::GetTemplateContent(type, document);
}

}  // namespace platform
