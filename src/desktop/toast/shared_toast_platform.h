#pragma once
// The part of the system's toast platform that is the same everywhere: it
// forwards to the platform's own identity, version, clock, shortcut and
// template functions. Each platform adds COM and the notifier on top.
#include "desktop/toast/toast_platform.h"

namespace desktop {

class SharedToastPlatform : public ToastPlatform {
public:
    platform::HResult SetCurrentProcessExplicitAppUserModelID(const std::wstring& id) override;
    std::uint32_t MajorVersion() override;
    std::int64_t SystemTimeAsFileTime() override;
    std::wstring ExecutablePath() override;
    std::wstring ShortcutFolder() override;
    std::wstring ShortcutExtension() override;
    bool ShortcutExists(const std::wstring& path) override;
    platform::HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id) override;
    platform::HResult WriteShortcutId(const std::wstring& path, const std::wstring& id) override;
    platform::HResult CreateShortcut(const std::wstring& path, const ShortcutLink& link) override;
    platform::HResult GetTemplateContent(std::int32_t type, std::unique_ptr<XmlDocument>& document) override;
};

}  // namespace desktop
