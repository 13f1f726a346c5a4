#pragma once
// The notification-area icon (Shell_NotifyIconW) and its menu.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "desktop/window.h"

namespace desktop {

// A 32-bit image, row by row from the top, each pixel 0xAARRGGBB.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

struct TrayMenuItem {
    std::uint16_t command = 0;
    std::wstring text;
};

// What NOTIFYICONDATAW carries, plus the name the host lists the item under
// and the menu, which the host shows on right-click itself.
struct TrayIconRecord {
    WindowHandle window = nullptr;
    std::uint32_t id = 0;
    Message callback_message = 0;
    std::span<const IconImage> icon;
    // Lines separated by line feeds; hosts with a title show the first there.
    std::wstring tip;
    std::wstring title;
    std::vector<TrayMenuItem> menu;
};

// NIM_ADD. Clicks on the icon are posted to the window as callback_message
// with the id in wParam and the old-style mouse message in lParam
// (WmLButtonUp, WmMButtonUp, and WmRButtonUp when the host asks for a
// context menu of its own); a chosen menu item is posted as WmCommand with
// its command. False when the icon could not be published.
bool AddTrayIcon(const TrayIconRecord& record);

// NIM_DELETE: removes the icon of the record's window and id; false when
// there was none.
bool DeleteTrayIcon(const TrayIconRecord& record);

}  // namespace desktop
