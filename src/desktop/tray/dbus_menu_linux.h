#pragma once
// The tray icon's menu over com.canonical.dbusmenu. The host shows it; an
// item clicked there is posted to the window as WmCommand with its command.
#include <cstdint>
#include <vector>

#include "desktop/sd_bus_handles_linux.h"
#include "desktop/tray/tray_icon.h"

namespace desktop {

class DbusMenu {
public:
    DbusMenu(WindowHandle window, std::vector<TrayMenuItem> items);
    DbusMenu(const DbusMenu&) = delete;
    DbusMenu& operator=(const DbusMenu&) = delete;

    // Serves the menu at the path of the bus; false when it cannot.
    bool Export(sd_bus* bus, const char* path);
    void Withdraw();

private:
    static int GetMenuString(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
                             sd_bus_error*);
    static int GetMenuVersion(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                              sd_bus_error*);
    static int GetIconThemePath(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                                sd_bus_error*);
    static int OnGetLayout(sd_bus_message* call, void* userdata, sd_bus_error* error);
    static int OnGetGroupProperties(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnGetProperty(sd_bus_message* call, void* userdata, sd_bus_error* error);
    static int OnEvent(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnEventGroup(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnAboutToShow(sd_bus_message* call, void*, sd_bus_error*);
    static int OnAboutToShowGroup(sd_bus_message* call, void*, sd_bus_error*);

    static const sd_bus_vtable kMenuVtable[];

    const TrayMenuItem* FindItem(std::int32_t id) const;
    bool HandleEvent(std::int32_t id, const char* event) const;
    int AppendNode(sd_bus_message* reply, std::int32_t id, bool with_children) const;
    int AppendNodeProperties(sd_bus_message* reply, std::int32_t id) const;

    WindowHandle window_;
    std::vector<TrayMenuItem> items_;
    UniqueSlot slot_;
};

}  // namespace desktop
