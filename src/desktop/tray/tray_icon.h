#pragma once
// The program's icon in the notification area (the tray), and its menu.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "desktop/tray/icon_image.h"
#include "desktop/window.h"

namespace desktop {

struct TrayMenuItem {
    std::uint16_t command = 0;
    std::wstring text;
};

// One tray icon: the window its clicks go to and the id it is known by
// there, its images and tip, the name the host lists it under and the menu,
// which some hosts show on right-click themselves.
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

// Publishes the icon. Clicks on it are posted to the window as callback_message
// with the id in wParam and the old-style mouse message in lParam
// (WmLButtonUp, WmMButtonUp, and WmRButtonUp when the host asks for a
// context menu of its own); a chosen menu item is posted as WmCommand with
// its command. False when the icon could not be published.
bool AddTrayIcon(const TrayIconRecord& record);

// Removes the icon of the record's window and id; false when there was none.
bool DeleteTrayIcon(const TrayIconRecord& record);

}  // namespace desktop
