// The tray icon is a StatusNotifierItem on the session bus, with its menu
// exported over com.canonical.dbusmenu; every tray host uses these names.
#include "platform/tray_icon.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/text.h"

namespace platform {
namespace {

constexpr const char* ItemPath = "/StatusNotifierItem";
constexpr const char* ItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* MenuPath = "/MenuBar";
constexpr const char* MenuInterface = "com.canonical.dbusmenu";
constexpr const char* WatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* WatcherPath = "/StatusNotifierWatcher";
constexpr std::int32_t MenuRootId = 0;
constexpr std::uint32_t MenuRevision = 1;

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct SlotDeleter {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
struct MessageDeleter {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotDeleter>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageDeleter>;

// An empty method return for the call; null when it cannot be made.
MessagePtr NewReply(sd_bus_message* call)
{
    sd_bus_message* reply = nullptr;
    if (sd_bus_message_new_method_return(call, &reply) < 0) return nullptr;
    return MessagePtr(reply);
}

struct Pixmap {
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint8_t> bytes;  // ARGB32 in network byte order
};

std::vector<Pixmap> ToPixmaps(std::span<const IconImage> icon)
{
    std::vector<Pixmap> pixmaps;
    for (const IconImage& image : icon) {
        Pixmap pixmap{image.width, image.height, {}};
        pixmap.bytes.reserve(image.argb.size() * 4);
        for (const std::uint32_t pixel : image.argb) {
            for (const int shift : {24, 16, 8, 0}) pixmap.bytes.push_back(static_cast<std::uint8_t>(pixel >> shift));
        }
        pixmaps.push_back(std::move(pixmap));
    }
    return pixmaps;
}

class StatusNotifierItem {
public:
    // Null when the session bus cannot be reached or the item not exported.
    static std::unique_ptr<StatusNotifierItem> Publish(const TrayIconRecord& record);
    ~StatusNotifierItem();

private:
    explicit StatusNotifierItem(const TrayIconRecord& record);
    bool Export();

    // org.kde.StatusNotifierItem
    static int GetString(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                         void* userdata, sd_bus_error*);
    static int GetPixmaps(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                          void* userdata, sd_bus_error*);
    static int GetToolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata,
                          sd_bus_error*);
    static int GetWindowId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                           sd_bus_error*);
    static int GetItemIsMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                             sd_bus_error*);
    static int GetMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                       sd_bus_error*);
    static int OnActivate(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnSecondaryActivate(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnContextMenu(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnScroll(sd_bus_message* call, void*, sd_bus_error*);

    // com.canonical.dbusmenu
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

    static const sd_bus_vtable item_vtable[];
    static const sd_bus_vtable menu_vtable[];

    int PostMouse(sd_bus_message* call, Message mouse_message);
    const TrayMenuItem* FindItem(std::int32_t id) const;
    bool HandleEvent(std::int32_t id, const char* event) const;
    int AppendNode(sd_bus_message* reply, std::int32_t id, bool with_children) const;
    int AppendNodeProperties(sd_bus_message* reply, std::int32_t id) const;

    WindowHandle window_;
    std::uint32_t id_;
    Message callback_message_;
    std::string title_;
    std::string tip_;
    std::vector<Pixmap> pixmaps_;
    std::vector<TrayMenuItem> menu_;
    std::string bus_name_;
    BusPtr bus_;
    SlotPtr item_slot_;
    SlotPtr menu_slot_;
    bool owns_name_ = false;
};

const sd_bus_vtable StatusNotifierItem::item_vtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("WindowId", "i", GetWindowId, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", GetPixmaps, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("OverlayIconName", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", GetPixmaps, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconName", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", GetPixmaps, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionMovieName", "s", GetString, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", GetToolTip, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("ItemIsMenu", "b", GetItemIsMenu, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Menu", "o", GetMenu, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("ContextMenu", "ii", "", OnContextMenu, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Activate", "ii", "", OnActivate, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", OnSecondaryActivate, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", OnScroll, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
    SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable StatusNotifierItem::menu_vtable[] = {
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

StatusNotifierItem::StatusNotifierItem(const TrayIconRecord& record)
    : window_(record.window),
      id_(record.id),
      callback_message_(record.callback_message),
      title_(WideToUtf8(record.title)),
      tip_(WideToUtf8(record.tip)),
      pixmaps_(ToPixmaps(record.icon)),
      menu_(record.menu),
      bus_name_("org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(record.id))
{
}

std::unique_ptr<StatusNotifierItem> StatusNotifierItem::Publish(const TrayIconRecord& record)
{
    std::unique_ptr<StatusNotifierItem> item(new StatusNotifierItem(record));
    if (!item->Export()) return nullptr;
    return item;
}

bool StatusNotifierItem::Export()
{
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return false;
    bus_.reset(bus);
    // On the thread's default event loop, which the message loop runs.
    if (sd_bus_attach_event(bus, nullptr, 0) < 0) return false;

    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus, &slot, ItemPath, ItemInterface, item_vtable, this) < 0) return false;
    item_slot_.reset(slot);
    if (sd_bus_add_object_vtable(bus, &slot, MenuPath, MenuInterface, menu_vtable, this) < 0) return false;
    menu_slot_.reset(slot);

    if (sd_bus_request_name(bus, bus_name_.c_str(), 0) < 0) return false;
    owns_name_ = true;
    // The watcher's answer is not awaited: a missing tray host is not an error.
    return sd_bus_call_method_async(bus, nullptr, WatcherName, WatcherPath, WatcherName,
                                    "RegisterStatusNotifierItem", nullptr, nullptr, "s", bus_name_.c_str()) >= 0;
}

StatusNotifierItem::~StatusNotifierItem()
{
    item_slot_.reset();
    menu_slot_.reset();
    // Released at once, so the host drops the item even while we linger.
    if (owns_name_) sd_bus_release_name(bus_.get(), bus_name_.c_str());
}

int StatusNotifierItem::GetString(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                                  void* userdata, sd_bus_error*)
{
    const auto* item = static_cast<const StatusNotifierItem*>(userdata);
    const std::string_view name = property;
    const char* value = "";
    if (name == "Category") value = "ApplicationStatus";
    else if (name == "Id" || name == "Title") value = item->title_.c_str();
    else if (name == "Status") value = "Active";
    return sd_bus_message_append(reply, "s", value);
}

int StatusNotifierItem::GetPixmaps(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                                   void* userdata, sd_bus_error*)
{
    const auto* item = static_cast<const StatusNotifierItem*>(userdata);
    int r = sd_bus_message_open_container(reply, 'a', "(iiay)");
    if (r < 0) return r;
    if (std::strcmp(property, "IconPixmap") == 0) {
        for (const Pixmap& pixmap : item->pixmaps_) {
            r = sd_bus_message_open_container(reply, 'r', "iiay");
            if (r >= 0) r = sd_bus_message_append(reply, "ii", pixmap.width, pixmap.height);
            if (r >= 0) r = sd_bus_message_append_array(reply, 'y', pixmap.bytes.data(), pixmap.bytes.size());
            if (r >= 0) r = sd_bus_message_close_container(reply);
            if (r < 0) return r;
        }
    }
    return sd_bus_message_close_container(reply);
}

int StatusNotifierItem::GetToolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                                   void* userdata, sd_bus_error*)
{
    const auto* item = static_cast<const StatusNotifierItem*>(userdata);
    int r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
    if (r >= 0) r = sd_bus_message_append(reply, "s", "");
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(iiay)");
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_message_append(reply, "ss", item->tip_.c_str(), "");
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
}

int StatusNotifierItem::GetWindowId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                                    sd_bus_error*)
{
    return sd_bus_message_append(reply, "i", 0);
}

int StatusNotifierItem::GetItemIsMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                                      sd_bus_error*)
{
    // A left click is an activation of its own, not the menu.
    return sd_bus_message_append(reply, "b", 0);
}

int StatusNotifierItem::GetMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                                sd_bus_error*)
{
    return sd_bus_message_append(reply, "o", MenuPath);
}

int StatusNotifierItem::PostMouse(sd_bus_message* call, Message mouse_message)
{
    PostMessage(window_, callback_message_, id_, static_cast<LParam>(mouse_message));
    return sd_bus_reply_method_return(call, "");
}

int StatusNotifierItem::OnActivate(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    return static_cast<StatusNotifierItem*>(userdata)->PostMouse(call, WM_LBUTTONUP);
}

int StatusNotifierItem::OnSecondaryActivate(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    return static_cast<StatusNotifierItem*>(userdata)->PostMouse(call, WM_MBUTTONUP);
}

int StatusNotifierItem::OnContextMenu(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    return static_cast<StatusNotifierItem*>(userdata)->PostMouse(call, WM_RBUTTONUP);
}

int StatusNotifierItem::OnScroll(sd_bus_message* call, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(call, "");
}

int StatusNotifierItem::GetMenuString(sd_bus*, const char*, const char*, const char* property,
                                      sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", std::strcmp(property, "TextDirection") == 0 ? "ltr" : "normal");
}

int StatusNotifierItem::GetMenuVersion(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                                       sd_bus_error*)
{
    return sd_bus_message_append(reply, "u", 3u);
}

int StatusNotifierItem::GetIconThemePath(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                                         void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "as", 0);
}

const TrayMenuItem* StatusNotifierItem::FindItem(std::int32_t id) const
{
    for (const TrayMenuItem& item : menu_) {
        if (item.command == id) return &item;
    }
    return nullptr;
}

// The root (id 0) holds the items; each item's id is its command.
int StatusNotifierItem::AppendNodeProperties(sd_bus_message* reply, std::int32_t id) const
{
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r < 0) return r;
    if (id == MenuRootId) {
        r = sd_bus_message_append(reply, "{sv}", "children-display", "s", "submenu");
    } else if (const TrayMenuItem* item = FindItem(id)) {
        r = sd_bus_message_append(reply, "{sv}{sv}{sv}", "label", "s", WideToUtf8(item->text).c_str(), "enabled",
                                  "b", 1, "visible", "b", 1);
    }
    if (r < 0) return r;
    return sd_bus_message_close_container(reply);
}

int StatusNotifierItem::AppendNode(sd_bus_message* reply, std::int32_t id, bool with_children) const
{
    int r = sd_bus_message_open_container(reply, 'r', "ia{sv}av");
    if (r >= 0) r = sd_bus_message_append(reply, "i", id);
    if (r >= 0) r = AppendNodeProperties(reply, id);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "v");
    if (r >= 0 && id == MenuRootId && with_children) {
        for (const TrayMenuItem& item : menu_) {
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

int StatusNotifierItem::OnGetLayout(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const auto* item = static_cast<const StatusNotifierItem*>(userdata);
    std::int32_t parent = 0;
    std::int32_t depth = 0;
    int r = sd_bus_message_read(call, "ii", &parent, &depth);
    if (r < 0) return r;
    if (parent != MenuRootId && !item->FindItem(parent)) {
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "No menu item %d", parent);
    }
    const MessagePtr owned_reply = NewReply(call);
    if (!owned_reply) return -ENOMEM;
    sd_bus_message* reply = owned_reply.get();
    r = sd_bus_message_append(reply, "u", MenuRevision);
    if (r >= 0) r = item->AppendNode(reply, parent, depth != 0);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    return r;
}

int StatusNotifierItem::OnGetGroupProperties(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    const auto* item = static_cast<const StatusNotifierItem*>(userdata);
    const std::int32_t* ids = nullptr;
    std::size_t size = 0;
    int r = sd_bus_message_read_array(call, 'i', reinterpret_cast<const void**>(&ids), &size);
    if (r < 0) return r;
    const MessagePtr owned_reply = NewReply(call);
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

int StatusNotifierItem::OnGetProperty(sd_bus_message* call, void* userdata, sd_bus_error* error)
{
    const auto* item = static_cast<const StatusNotifierItem*>(userdata);
    std::int32_t id = 0;
    const char* name = nullptr;
    const int r = sd_bus_message_read(call, "is", &id, &name);
    if (r < 0) return r;
    const std::string_view property = name;
    if (id == MenuRootId && property == "children-display") return sd_bus_reply_method_return(call, "v", "s", "submenu");
    if (const TrayMenuItem* entry = item->FindItem(id)) {
        if (property == "label") return sd_bus_reply_method_return(call, "v", "s", WideToUtf8(entry->text).c_str());
        if (property == "enabled" || property == "visible") return sd_bus_reply_method_return(call, "v", "b", 1);
    }
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "No property %s of menu item %d", name, id);
}

// A click on an item is the menu's choice: WM_COMMAND with its command.
bool StatusNotifierItem::HandleEvent(std::int32_t id, const char* event) const
{
    const TrayMenuItem* item = FindItem(id);
    if (!item) return id == MenuRootId;
    if (std::strcmp(event, "clicked") == 0) PostMessage(window_, WM_COMMAND, item->command, 0);
    return true;
}

int StatusNotifierItem::OnEvent(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    std::int32_t id = 0;
    const char* event = nullptr;
    const int r = sd_bus_message_read(call, "is", &id, &event);
    if (r < 0) return r;
    static_cast<const StatusNotifierItem*>(userdata)->HandleEvent(id, event);
    return sd_bus_reply_method_return(call, "");
}

int StatusNotifierItem::OnEventGroup(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    const auto* item = static_cast<const StatusNotifierItem*>(userdata);
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
    const MessagePtr owned_reply = NewReply(call);
    if (!owned_reply) return -ENOMEM;
    sd_bus_message* reply = owned_reply.get();
    r = sd_bus_message_append_array(reply, 'i', unknown_ids.data(), unknown_ids.size() * sizeof(std::int32_t));
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    return r;
}

int StatusNotifierItem::OnAboutToShow(sd_bus_message* call, void*, sd_bus_error*)
{
    // The menu never changes, so the host never needs to fetch it again.
    return sd_bus_reply_method_return(call, "b", 0);
}

int StatusNotifierItem::OnAboutToShowGroup(sd_bus_message* call, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(call, "aiai", 0, 0);
}

using ItemKey = std::pair<WindowHandle, std::uint32_t>;

std::map<ItemKey, std::unique_ptr<StatusNotifierItem>>& PublishedItems()
{
    static std::map<ItemKey, std::unique_ptr<StatusNotifierItem>> items;
    return items;
}

}  // namespace

bool AddTrayIcon(const TrayIconRecord& record)
{
    auto& items = PublishedItems();
    const ItemKey key{record.window, record.id};
    if (items.contains(key)) return false;
    auto item = StatusNotifierItem::Publish(record);
    if (!item) return false;
    items.emplace(key, std::move(item));
    return true;
}

bool DeleteTrayIcon(const TrayIconRecord& record)
{
    return PublishedItems().erase({record.window, record.id}) > 0;
}

}  // namespace platform
