#pragma once
// A connection of the test to the session bus, served by the thread's default
// sd-event loop, that can act as the StatusNotifierWatcher. Calls wait by
// running that loop, so a tray icon of this same thread answers them too.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "desktop/sd_bus_handles_linux.h"
#include "support/event_wait.h"

namespace testing_support {

using BusMessagePtr = desktop::UniqueMessage;

// Runs the calling thread's default event loop until `done` holds or the
// limit passes; the final value of `done`.
inline bool PumpEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    sd_event* loop = nullptr;
    if (sd_event_default(&loop) < 0) return done();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) sd_event_run(loop, 20'000);
    sd_event_unref(loop);
    return done();
}

class SessionBusClient {
public:
    SessionBusClient()
    {
        if (sd_event_default(&event_) < 0) throw std::runtime_error("sd_event_default failed");
        if (sd_bus_open_user(&bus_) < 0) throw std::runtime_error("cannot reach the session bus");
        if (sd_bus_attach_event(bus_, event_, 0) < 0) throw std::runtime_error("sd_bus_attach_event failed");
    }
    ~SessionBusClient()
    {
        sd_bus_slot_unref(watcher_slot_);
        sd_bus_flush_close_unref(bus_);
        sd_event_unref(event_);
    }
    SessionBusClient(const SessionBusClient&) = delete;
    SessionBusClient& operator=(const SessionBusClient&) = delete;

    // Runs the event loop until the condition holds; false after the time-out.
    bool RunUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kEventWait)
    {
        return PumpEventsUntil(condition, timeout);
    }

    // A method call; null when no answer came. Errors come back as replies.
    BusMessagePtr Call(const std::string& destination, const char* path, const char* interface, const char* member,
                       const std::function<void(sd_bus_message*)>& append_arguments = {})
    {
        sd_bus_message* call = nullptr;
        if (sd_bus_message_new_method_call(bus_, &call, destination.c_str(), path, interface, member) < 0) {
            return nullptr;
        }
        const BusMessagePtr owned_call(call);
        if (append_arguments) append_arguments(call);
        BusMessagePtr reply;
        const auto limit = std::chrono::duration_cast<std::chrono::microseconds>(kEventWait).count();
        if (sd_bus_call_async(bus_, nullptr, call, StoreReply, &reply, static_cast<std::uint64_t>(limit)) < 0) {
            return nullptr;
        }
        RunUntil([&] { return reply != nullptr; });
        return reply;
    }

    BusMessagePtr GetProperty(const std::string& destination, const char* path, const char* interface,
                              const char* property)
    {
        auto reply = Call(destination, path, "org.freedesktop.DBus.Properties", "Get",
                          [&](sd_bus_message* call) { sd_bus_message_append(call, "ss", interface, property); });
        if (reply && sd_bus_message_is_method_error(reply.get(), nullptr)) return nullptr;
        return reply;
    }

    std::string GetStringProperty(const std::string& destination, const char* path, const char* interface,
                                  const char* property, const char* type = "s")
    {
        const auto reply = GetProperty(destination, path, interface, property);
        const char* value = nullptr;
        if (!reply || sd_bus_message_read(reply.get(), "v", type, &value) < 0) return "<none>";
        return value;
    }

    // A string property of a tray item (a StatusNotifierItem at its usual path).
    std::string ItemProperty(const std::string& item, const char* property, const char* type = "s")
    {
        return GetStringProperty(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", property, type);
    }

    // The title of a tray item's tool tip; "<none>" when it cannot be read.
    std::string ItemToolTipTitle(const std::string& item) { return ItemToolTip(item).first; }

    // A tray item's tool tip: its title and its text; "<none>" for both when
    // it cannot be read.
    std::pair<std::string, std::string> ItemToolTip(const std::string& item)
    {
        const auto tip = GetProperty(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "ToolTip");
        const char* title = nullptr;
        const char* text = nullptr;
        if (!tip || sd_bus_message_enter_container(tip.get(), 'v', "(sa(iiay)ss)") < 0 ||
            sd_bus_message_enter_container(tip.get(), 'r', "sa(iiay)ss") < 0 ||
            sd_bus_message_skip(tip.get(), "sa(iiay)") < 0 || sd_bus_message_read(tip.get(), "ss", &title, &text) < 0) {
            return {"<none>", "<none>"};
        }
        return {title, text};
    }

    struct Pixmap {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> bytes;
    };

    // A tray item's IconPixmap images; empty when they cannot be read.
    std::vector<Pixmap> ItemIconPixmaps(const std::string& item)
    {
        const auto icon = GetProperty(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "IconPixmap");
        std::vector<Pixmap> pixmaps;
        if (!icon || sd_bus_message_enter_container(icon.get(), 'v', "a(iiay)") < 0 ||
            sd_bus_message_enter_container(icon.get(), 'a', "(iiay)") < 0) {
            return pixmaps;
        }
        while (sd_bus_message_enter_container(icon.get(), 'r', "iiay") > 0) {
            Pixmap pixmap;
            const void* bytes = nullptr;
            std::size_t size = 0;
            if (sd_bus_message_read(icon.get(), "ii", &pixmap.width, &pixmap.height) < 0 ||
                sd_bus_message_read_array(icon.get(), 'y', &bytes, &size) < 0 ||
                sd_bus_message_exit_container(icon.get()) < 0) {
                return {};
            }
            const auto* first = static_cast<const std::uint8_t*>(bytes);
            pixmap.bytes.assign(first, first + size);
            pixmaps.push_back(std::move(pixmap));
        }
        return pixmaps;
    }

    // The label of a tray item's menu entry; "<none>" when it has none.
    std::string MenuItemLabel(const std::string& item, std::int32_t id)
    {
        const auto reply = Call(item, "/MenuBar", "com.canonical.dbusmenu", "GetProperty",
                                [id](sd_bus_message* call) { sd_bus_message_append(call, "is", id, "label"); });
        const char* label = nullptr;
        if (!reply || sd_bus_message_read(reply.get(), "v", "s", &label) < 0) return "<none>";
        return label;
    }

    bool NameHasOwner(const std::string& name)
    {
        const auto reply = Call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                                [&](sd_bus_message* call) { sd_bus_message_append(call, "s", name.c_str()); });
        int owned = 0;
        return reply && sd_bus_message_read(reply.get(), "b", &owned) >= 0 && owned;
    }

    // Owns org.kde.StatusNotifierWatcher and records each registration.
    void ServeStatusNotifierWatcher()
    {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", OnRegisterItem, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END,
        };
        ASSERT_GE(sd_bus_add_object_vtable(bus_, &watcher_slot_, "/StatusNotifierWatcher",
                                           "org.kde.StatusNotifierWatcher", vtable, this),
                  0);
        ASSERT_GE(sd_bus_request_name(bus_, "org.kde.StatusNotifierWatcher", 0), 0);
    }

    // Gives up the watcher's name, as a panel that quits does.
    void WithdrawStatusNotifierWatcher()
    {
        ASSERT_GE(sd_bus_release_name(bus_, "org.kde.StatusNotifierWatcher"), 0);
        watcher_slot_ = sd_bus_slot_unref(watcher_slot_);
    }

    // The services named in RegisterStatusNotifierItem calls, in order.
    const std::vector<std::string>& registered_items() const { return registered_items_; }

private:
    static int StoreReply(sd_bus_message* reply, void* userdata, sd_bus_error*)
    {
        static_cast<BusMessagePtr*>(userdata)->reset(sd_bus_message_ref(reply));
        return 0;
    }
    static int OnRegisterItem(sd_bus_message* call, void* userdata, sd_bus_error*)
    {
        const char* service = nullptr;
        const int r = sd_bus_message_read(call, "s", &service);
        if (r < 0) return r;
        static_cast<SessionBusClient*>(userdata)->registered_items_.emplace_back(service);
        return sd_bus_reply_method_return(call, "");
    }

    sd_event* event_ = nullptr;
    sd_bus* bus_ = nullptr;
    sd_bus_slot* watcher_slot_ = nullptr;
    std::vector<std::string> registered_items_;
};

}  // namespace testing_support
