// The tray icon is a StatusNotifierItem on the session bus, with its menu
// exported over com.canonical.dbusmenu; every tray host uses these names.
#include "desktop/tray/tray_icon.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "desktop/sd_bus_handles_linux.h"
#include "desktop/tray/dbus_menu_linux.h"
#include "platform/base/text.h"

namespace desktop {
namespace {

constexpr const char* ItemPath = "/StatusNotifierItem";
constexpr const char* ItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* MenuPath = "/MenuBar";
constexpr const char* WatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* WatcherPath = "/StatusNotifierWatcher";
// The watcher comes and goes with the panel: it may start after us at login,
// and a restarted panel has forgotten every item.
constexpr const char* WatcherOwnerChanged =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='org.kde.StatusNotifierWatcher'";

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

// The tool tip's title is the tip's first line, its text what follows.
std::string TipTitle(std::wstring_view tip) { return platform::WideToUtf8(tip.substr(0, tip.find(L'\n'))); }

std::string TipText(std::wstring_view tip)
{
    const auto end = tip.find(L'\n');
    return end == std::wstring_view::npos ? std::string{} : platform::WideToUtf8(tip.substr(end + 1));
}

class StatusNotifierItem {
public:
    // Null when the session bus cannot be reached or the item not exported.
    static std::unique_ptr<StatusNotifierItem> Publish(const TrayIconRecord& record);
    ~StatusNotifierItem();

private:
    explicit StatusNotifierItem(const TrayIconRecord& record);
    bool Export();
    bool Register();

    // org.kde.StatusNotifierItem
    static int GetString(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
                         sd_bus_error*);
    static int GetPixmaps(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                          void* userdata, sd_bus_error*);
    static int GetToolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* userdata,
                          sd_bus_error*);
    static int GetWindowId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*);
    static int GetItemIsMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                             sd_bus_error*);
    static int GetMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*);
    static int OnActivate(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnSecondaryActivate(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnContextMenu(sd_bus_message* call, void* userdata, sd_bus_error*);
    static int OnScroll(sd_bus_message* call, void*, sd_bus_error*);
    static int OnWatcherOwnerChanged(sd_bus_message* signal, void* userdata, sd_bus_error*);

    static const sd_bus_vtable kItemVtable[];

    int PostMouse(sd_bus_message* call, Message mouse_message);

    WindowHandle window_;
    std::uint32_t id_;
    Message callback_message_;
    std::string title_;
    std::string tip_title_;
    std::string tip_text_;
    std::vector<Pixmap> pixmaps_;
    DbusMenu menu_;
    std::string bus_name_;
    UniqueBus bus_;
    UniqueSlot item_slot_;
    UniqueSlot watcher_slot_;
    bool owns_name_ = false;
};

const sd_bus_vtable StatusNotifierItem::kItemVtable[] = {
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

StatusNotifierItem::StatusNotifierItem(const TrayIconRecord& record)
    : window_(record.window),
      id_(record.id),
      callback_message_(record.callback_message),
      title_(platform::WideToUtf8(record.title)),
      tip_title_(TipTitle(record.tip)),
      tip_text_(TipText(record.tip)),
      pixmaps_(ToPixmaps(record.icon)),
      menu_(record.window, record.menu),
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
    if (sd_bus_add_object_vtable(bus, &slot, ItemPath, ItemInterface, kItemVtable, this) < 0) return false;
    item_slot_.reset(slot);
    if (!menu_.Export(bus, MenuPath)) return false;

    if (sd_bus_request_name(bus, bus_name_.c_str(), 0) < 0) return false;
    owns_name_ = true;
    // Watched before the first registration, so no new watcher is missed.
    if (sd_bus_add_match_async(bus, &slot, WatcherOwnerChanged, OnWatcherOwnerChanged, nullptr, this) < 0) {
        return false;
    }
    watcher_slot_.reset(slot);
    return Register();
}

bool StatusNotifierItem::Register()
{
    // The watcher's answer is not awaited: a missing tray host is not an error.
    return sd_bus_call_method_async(bus_.get(), nullptr, WatcherName, WatcherPath, WatcherName,
                                    "RegisterStatusNotifierItem", nullptr, nullptr, "s", bus_name_.c_str()) >= 0;
}

int StatusNotifierItem::OnWatcherOwnerChanged(sd_bus_message* signal, void* userdata, sd_bus_error*)
{
    const char* name = nullptr;
    const char* old_owner = nullptr;
    const char* new_owner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &old_owner, &new_owner) < 0) return 0;
    if (*new_owner) static_cast<StatusNotifierItem*>(userdata)->Register();
    return 0;
}

StatusNotifierItem::~StatusNotifierItem()
{
    watcher_slot_.reset();
    item_slot_.reset();
    menu_.Withdraw();
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
    if (r >= 0) r = sd_bus_message_append(reply, "ss", item->tip_title_.c_str(), item->tip_text_.c_str());
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
    PostToWindow(window_, callback_message_, id_, static_cast<LParam>(mouse_message));
    return sd_bus_reply_method_return(call, "");
}

int StatusNotifierItem::OnActivate(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    return static_cast<StatusNotifierItem*>(userdata)->PostMouse(call, WmLButtonUp);
}

int StatusNotifierItem::OnSecondaryActivate(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    return static_cast<StatusNotifierItem*>(userdata)->PostMouse(call, WmMButtonUp);
}

int StatusNotifierItem::OnContextMenu(sd_bus_message* call, void* userdata, sd_bus_error*)
{
    return static_cast<StatusNotifierItem*>(userdata)->PostMouse(call, WmRButtonUp);
}

int StatusNotifierItem::OnScroll(sd_bus_message* call, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(call, "");
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

bool DeleteTrayIcon(const TrayIconRecord& record) { return PublishedItems().erase({record.window, record.id}) > 0; }

}  // namespace desktop
