#include "notify/update_notification.h"

#include <chrono>
#include <thread>

#include "notify/toast_manager.h"
#include "notify/update_toast_handler.h"
#include "platform/paths/executable_path.h"
#include "platform/paths/path.h"

namespace {

constexpr wchar_t kApplicationName[] = L"Pelvane";
constexpr wchar_t kApplicationModelId[] = L"Pelvane APP'ID";
constexpr wchar_t kLogoFileName[] = L"QVLogo.png";
constexpr std::int32_t kImageAndTwoLines = 1;  // ToastImageAndText02
constexpr auto kHoldAfterShowing = std::chrono::milliseconds(5000);

}  // namespace

std::wstring LogoImageFile(const std::wstring& executable_path)
{
    // A path without a separator is taken whole as the folder.
    const std::wstring_view folder = platform::FolderPart(executable_path).value_or(executable_path);
    return std::wstring(folder) + platform::kPathSeparator + kLogoFileName;
}

bool ShowUpdateNotification(const std::wstring& text)
{
    toast::ToastManager& manager = toast::ToastManager::SharedInstance();
    manager.SetApplicationName(kApplicationName);
    manager.SetApplicationModelId(kApplicationModelId);

    toast::ToastTemplate content(kImageAndTwoLines);
    content.lines[0] = text;
    content.imageFile = LogoImageFile(platform::ExecutablePath());
    content.expiresAfterMs = 0;

    if (manager.Init()) manager.Show(content, new UpdateToastHandler);
    std::this_thread::sleep_for(kHoldAfterShowing);
    return true;
}
