// The tray icon's menu, exported over com.canonical.dbusmenu: a root (id 0)
// holding the items, each item's id being its command.
#include "desktop/tray/dbus_menu_linux.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/base/text.h"

namespace desktop {
namespace {

constexpr const char* MenuInterface = "com.canonical.dbusmenu";
constexpr std::int32_t MenuRootId = 0;
constexpr std::uint32_t MenuRevision = 1;

// An empty method return for the call; null when it cannot be made.
UniqueMessage NewReply(sd_bus_message* call)
{
    sd_bus_message* reply = nullptr;
    if (sd_bus_message_new_method_return(call, &reply) < 0) return nullptr;
    return UniqueMessage(reply);
}

}  // namespace

const sd_bus_vtable DbusMenu::kMenuVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", GetMenuVersion, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("TextDirection", "s", GetMenuString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", GetMenuString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "as", GetIconThemePath, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", OnGetLayout, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", OnGetGroupProperties, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetProperty", "is", "v", OnGetProperty, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Event", "isvu", "", OnEvent, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", OnEventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShow", "i", "b", OnAboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", OnAboutToShowGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
    SD_BUS_VTABLE_END,
};

DbusMenu::DbusMenu(WindowHandle window, std::vector<TrayMenuItem> items) : window_(window), items_(std::move(items)) {}

bool DbusMenu::Export(sd_bus* bus, const char* path)
{
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus, &slot, path, MenuInterface, kMenuVtable, this) < 0) return false;
    slot_.reset(slot);
    return true;
}

void DbusMenu::Withdraw() { slot_.reset(); }

int DbusMenu::GetMenuString(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
                            sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", std::strcmp(property, "TextDirection") == 0 ? "ltr" : "normal");
}

int DbusMenu::GetMenuVersion(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                             sd_bus_error*)
{
    return sd_bus_message_append(reply, "u", 3u);
}

int DbusMenu::GetIconThemePath(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                               sd_bus_error*)
{
    return sd_bus_message_append(reply, "as", 0);
}

const TrayMenuItem* DbusMenu::FindItem(std::int32_t id) const
{
    for (const TrayMenuItem& item : items_) {
        if (item.command == id) return &item;
    }
    return nullptr;
}

// The root (id 0) holds the items; each item's id is its command.
int DbusMenu::AppendNodeProperties(sd_bus_message* reply, std::int32_t id) const
{
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r < 0) return r;
    if (id == MenuRootId) {
        r = sd_bus_message_append(reply, "{sv}", "children-display", "s", "submenu");
    } else if (const TrayMenuItem* item = FindItem(id)) {
        r = sd_bus_message_append(reply, "{sv}{sv}{sv}", "label", "s", platform::WideToUtf8(item->text).c_str(),
                                  "enabled", "b", 1, "visible", "b", 1);
    }
    if (r < 0) return r;
    return sd_bus_message_close_container(reply);
}

int DbusMenu::AppendNode(sd_bus_message* reply, std::int32_t id, bool with_children) const
{
    int r = sd_bus_message_open_container(reply, 'r', "ia{sv}av");
    if (r >= 0) r = sd_bus_message_append(reply, "i", id);
    if (r >= 0) r = AppendNodeProperties(reply, id);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "v");
    if (r >= 0 && id == MenuRootId && with_children) {
        for (const TrayMenuItem& item : items_) {
            r = sd_bus_message_open_container(reply, 'v', "(ia{sv}av)");
            if (r >= 0) r = AppendNode(reply, item.command, false);
            if (r >= 0) r = sd_bus_message_close_container(reply);
            if (r < 0) return r;
        }
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
}

int DbusMenu::OnGetLayout(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const auto* item = static_cast<const DbusMenu*>(userdata);
    std::int32_t parent = 0;
    std::int32_t depth = 0;
    int r = sd_bus_message_read(call, "ii", &parent, &depth);
    if (r < 0) return r;
    if (parent != MenuRootId && !item->FindItem(parent)) {
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "No menu item %d", parent);
    }
    const UniqueMessage owned_reply = NewReply(call);
    if (!owned_reply) return -ENOMEM;
    sd_bus_message* reply = owned_reply.get();
    r = sd_bus_message_append(reply, "u", MenuRevision);
    if (r >= 0) r = item->AppendNode(reply, parent, depth != 0);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    return r;
}

int DbusMenu::OnGetGroupProperties(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    const auto* item = static_cast<const DbusMenu*>(userdata);
    const std::int32_t* ids = nullptr;
    std::size_t size = 0;
    int r = sd_bus_message_read_array(call, 'i', reinterpret_cast<const void**>(&ids), &size);
    if (r < 0) return r;
    const UniqueMessage owned_reply = NewReply(call);
    if (!owned_reply) return -ENOMEM;
    sd_bus_message* reply = owned_reply.get();
    r = sd_bus_message_open_container(reply, 'a', "(ia{sv})");
    for (std::size_t i = 0; r >= 0 && i < size / sizeof(std::int32_t); ++i) {
        if (ids[i] != MenuRootId && !item->FindItem(ids[i])) continue;
        r = sd_bus_message_open_container(reply, 'r', "ia{sv}");
        if (r >= 0) r = sd_bus_message_append(reply, "i", ids[i]);
        if (r >= 0) r = item->AppendNodeProperties(reply, ids[i]);
        if (r >= 0) r = sd_bus_message_close_container(reply);
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    return r;
}

int DbusMenu::OnGetProperty(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const auto* item = static_cast<const DbusMenu*>(userdata);
    std::int32_t id = 0;
    const char* name = nullptr;
    const int r = sd_bus_message_read(call, "is", &id, &name);
    if (r < 0) return r;
    const std::string_view property = name;
    if (id == MenuRootId && property == "children-display")
        return sd_bus_reply_method_return(call, "v", "s", "submenu");
    if (const TrayMenuItem* entry = item->FindItem(id)) {
        if (property == "label")
            return sd_bus_reply_method_return(call, "v", "s", platform::WideToUtf8(entry->text).c_str());
        if (property == "enabled" || property == "visible") return sd_bus_reply_method_return(call, "v", "b", 1);
    }
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "No property %s of menu item %d", name, id);
}

// A click on an item is the menu's choice: WmCommand with its command.
bool DbusMenu::HandleEvent(std::int32_t id, const char* event) const
{
    const TrayMenuItem* item = FindItem(id);
    if (!item) return id == MenuRootId;
    if (std::strcmp(event, "clicked") == 0) PostToWindow(window_, WmCommand, item->command, 0);
    return true;
}

int DbusMenu::OnEvent(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    std::int32_t id = 0;
    const char* event = nullptr;
    const int r = sd_bus_message_read(call, "is", &id, &event);
    if (r < 0) return r;
    static_cast<const DbusMenu*>(userdata)->HandleEvent(id, event);
    return sd_bus_reply_method_return(call, "");
}

int DbusMenu::OnEventGroup(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    const auto* item = static_cast<const DbusMenu*>(userdata);
    std::vector<std::int32_t> unknown_ids;
    int r = sd_bus_message_enter_container(call, 'a', "(isvu)");
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(call, 'r', "isvu")) > 0) {
        std::int32_t id = 0;
        const char* event = nullptr;
        r = sd_bus_message_read(call, "is", &id, &event);
        if (r >= 0) r = sd_bus_message_skip(call, "vu");
        if (r >= 0) r = sd_bus_message_exit_container(call);
        if (r < 0) return r;
        if (!item->HandleEvent(id, event)) unknown_ids.push_back(id);
    }
    if (r < 0) return r;
    r = sd_bus_message_exit_container(call);
    if (r < 0) return r;
    const UniqueMessage owned_reply = NewReply(call);
    if (!owned_reply) return -ENOMEM;
    sd_bus_message* reply = owned_reply.get();
    r = sd_bus_message_append_array(reply, 'i', unknown_ids.data(), unknown_ids.size() * sizeof(std::int32_t));
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    return r;
}

int DbusMenu::OnAboutToShow(sd_bus_message* call, void*, sd_bus_error*)
{
    // The menu never changes, so the host never needs to fetch it again.
    return sd_bus_reply_method_return(call, "b", 0);
}

int DbusMenu::OnAboutToShowGroup(sd_bus_message* call, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(call, "aiai", 0, 0);
}

}  // namespace desktop
