#include "desktop/toast/toast_service_linux.h"

#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "desktop/sd_bus_handles_linux.h"
#include "desktop/toast/toast_request.h"
#include "platform/base/system_time.h"
#include "platform/base/text.h"

namespace desktop {
namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
constexpr std::uint64_t kCallTimeoutUsec = 10'000'000;
constexpr std::int64_t kFileTimeUnitsPerMs = 10000;

struct BusError {
    // All null, as SD_BUS_ERROR_NULL (a C compound literal) makes it.
    sd_bus_error error{};
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&error); }
};

// NotificationClosed reasons: 1 expired, 2 dismissed by the user, 3 closed
// by a call, 4 undefined; as ToastDismissalReason numbers.
int DismissalReasonOf(std::uint32_t closed_reason)
{
    switch (closed_reason) {
    case 1: return 2;   // TimedOut
    case 3: return 1;   // ApplicationHidden
    default: return 0;  // UserCanceled
    }
}

// The expire time-out in milliseconds for an absolute expiry; -1 lets the
// server decide.
std::int32_t ExpireTimeout(std::int64_t expiry)
{
    if (expiry == 0) return -1;
    const std::int64_t remaining = (expiry - platform::SystemTimeAsFileTime()) / kFileTimeUnitsPerMs;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(remaining, 1, std::numeric_limits<std::int32_t>::max()));
}

class BusConnection;

class DesktopNotification final : public ToastNotification {
public:
    explicit DesktopNotification(std::string xml) : xml_(std::move(xml)) {}

    platform::HResult PutExpirationTime(std::int64_t filetime) override
    {
        expiry_ = filetime;
        return platform::hresult::kOk;
    }
    platform::HResult AddActivated(ActivatedDelegate delegate) override { return Add(activated_, std::move(delegate)); }
    platform::HResult AddDismissed(DismissedDelegate delegate) override { return Add(dismissed_, std::move(delegate)); }
    platform::HResult AddFailed(FailedDelegate delegate) override { return Add(failed_, std::move(delegate)); }

    const std::string& Xml() const { return xml_; }
    std::int64_t Expiry() const { return expiry_; }
    void MarkShown(const std::shared_ptr<BusConnection>& connection, std::uint32_t id)
    {
        connection_ = connection;
        id_ = id;
    }
    std::shared_ptr<BusConnection> Connection() const { return connection_.lock(); }
    std::uint32_t Id() const { return id_; }

    // Copies first: a delegate may add to or release the notification.
    void Activated(const std::optional<std::wstring>& arguments) const
    {
        for (const auto& delegate : std::vector(activated_)) delegate(arguments);
    }
    void Dismissed(int reason) const
    {
        for (const auto& delegate : std::vector(dismissed_)) delegate(reason);
    }

private:
    template <typename Delegate>
    static platform::HResult Add(std::vector<Delegate>& delegates, Delegate delegate)
    {
        if (!delegate) return platform::hresult::kPointer;
        delegates.push_back(std::move(delegate));
        return platform::hresult::kOk;
    }

    std::string xml_;
    std::int64_t expiry_ = 0;
    std::vector<ActivatedDelegate> activated_;
    std::vector<DismissedDelegate> dismissed_;
    std::vector<FailedDelegate> failed_;       // a refused Notify call is reported by Show instead
    std::weak_ptr<BusConnection> connection_;  // set once shown: its events arrive there
    std::uint32_t id_ = 0;
};

// Which session bus the environment names, as the bus library chooses it.
std::string SessionBusKey()
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string("runtime:") + (runtime ? runtime : "");
}

// The thread's session bus connection and the notifications on screen
// through it, kept like the platform keeps a shown notification: until the
// server reports it closed. Servers send their signals either broadcast or
// to the connection that called Notify, so the signals are matched on this
// connection, by id; one connection per thread keeps them in order.
class BusConnection {
public:
    // The thread's connection, opened anew when there is none, it has been
    // closed, or the environment now names another bus.
    static platform::HResult ForThisThread(std::shared_ptr<BusConnection>& connection)
    {
        thread_local std::shared_ptr<BusConnection> current;
        const std::string key = SessionBusKey();
        if (!current || current->key_ != key || sd_bus_is_open(current->bus_.get()) <= 0) {
            current.reset();
            auto opened = std::make_shared<BusConnection>(key);
            const platform::HResult result = opened->Connect();
            if (platform::Failed(result)) return result;
            current = std::move(opened);
        }
        connection = current;
        return platform::hresult::kOk;
    }

    explicit BusConnection(std::string key) : key_(std::move(key)) {}

    platform::HResult Notify(const std::string& application, const ToastRequest& request, std::int32_t timeout,
                             std::uint32_t& id)
    {
        sd_bus_message* raw = nullptr;
        if (sd_bus_message_new_method_call(bus_.get(), &raw, kService, kPath, kInterface, "Notify") < 0) {
            return platform::hresult::kFail;
        }
        UniqueMessage call(raw);
        if (platform::Failed(AppendNotifyArguments(call.get(), application, request, timeout)))
            return platform::hresult::kFail;

        BusError error;
        sd_bus_message* reply_raw = nullptr;
        if (sd_bus_call(bus_.get(), call.get(), kCallTimeoutUsec, &error.error, &reply_raw) < 0) {
            return platform::hresult::kFail;
        }
        UniqueMessage reply(reply_raw);
        return sd_bus_message_read(reply.get(), "u", &id) < 0 ? platform::hresult::kFail : platform::hresult::kOk;
    }

    platform::HResult Close(std::uint32_t id)
    {
        BusError error;
        const int result = sd_bus_call_method(bus_.get(), kService, kPath, kInterface, "CloseNotification",
                                              &error.error, nullptr, "u", id);
        return result < 0 ? platform::hresult::kFail : platform::hresult::kOk;
    }

    void Track(std::uint32_t id, std::shared_ptr<DesktopNotification> notification)
    {
        shown_[id] = std::move(notification);
    }

private:
    platform::HResult Connect()
    {
        sd_bus* raw = nullptr;
        if (sd_bus_open_user(&raw) < 0) return platform::hresult::kFail;
        bus_.reset(raw);
        if (sd_bus_attach_event(bus_.get(), nullptr, SD_EVENT_PRIORITY_NORMAL) < 0) return platform::hresult::kFail;
        if (platform::Failed(Match("ActionInvoked", &BusConnection::OnActionInvoked, action_slot_)))
            return platform::hresult::kFail;
        return Match("NotificationClosed", &BusConnection::OnNotificationClosed, closed_slot_);
    }

    platform::HResult Match(const char* member, sd_bus_message_handler_t handler, UniqueSlot& slot)
    {
        sd_bus_slot* raw = nullptr;
        if (sd_bus_match_signal(bus_.get(), &raw, nullptr, kPath, kInterface, member, handler, this) < 0) {
            return platform::hresult::kFail;
        }
        slot.reset(raw);
        return platform::hresult::kOk;
    }

    static platform::HResult AppendNotifyArguments(sd_bus_message* call, const std::string& application,
                                                   const ToastRequest& request, std::int32_t timeout)
    {
        if (sd_bus_message_append(call, "susss", application.c_str(), 0u, "", request.summary.c_str(),
                                  request.body.c_str()) < 0) {
            return platform::hresult::kFail;
        }
        if (sd_bus_message_open_container(call, 'a', "s") < 0) return platform::hresult::kFail;
        for (const auto& [key, label] : request.actions) {
            if (sd_bus_message_append(call, "ss", key.c_str(), label.c_str()) < 0) return platform::hresult::kFail;
        }
        if (sd_bus_message_close_container(call) < 0) return platform::hresult::kFail;

        if (sd_bus_message_open_container(call, 'a', "{sv}") < 0) return platform::hresult::kFail;
        int result = sd_bus_message_append(call, "{sv}", "desktop-entry", "s", application.c_str());
        if (result >= 0 && !request.image_path.empty()) {
            result = sd_bus_message_append(call, "{sv}", "image-path", "s", request.image_path.c_str());
        }
        if (result >= 0 && !request.sound_file.empty()) {
            result = sd_bus_message_append(call, "{sv}", "sound-file", "s", request.sound_file.c_str());
        }
        if (result >= 0 && request.suppress_sound)
            result = sd_bus_message_append(call, "{sv}", "suppress-sound", "b", 1);
        if (result >= 0 && request.urgent) {
            result = sd_bus_message_append(call, "{sv}", "urgency", "y", static_cast<std::uint8_t>(2));
            if (result >= 0) result = sd_bus_message_append(call, "{sv}", "resident", "b", 1);
        }
        if (result < 0 || sd_bus_message_close_container(call) < 0) return platform::hresult::kFail;
        return sd_bus_message_append(call, "i", timeout) < 0 ? platform::hresult::kFail : platform::hresult::kOk;
    }

    std::shared_ptr<DesktopNotification> Find(std::uint32_t id) const
    {
        const auto entry = shown_.find(id);
        return entry == shown_.end() ? nullptr : entry->second;
    }

    // Handlers run inside the bus library's C frames: nothing may escape.
    static int OnActionInvoked(sd_bus_message* message, void* userdata, sd_bus_error*)
    {
        std::uint32_t id = 0;
        const char* key = nullptr;
        if (sd_bus_message_read(message, "us", &id, &key) < 0) return 0;
        try {
            auto notification = static_cast<BusConnection*>(userdata)->Find(id);
            if (!notification) return 0;
            const std::string_view action = key;
            notification->Activated(action == "default" ? std::wstring{} : platform::Utf8ToWide(action));
        } catch (...) {
        }
        return 0;
    }

    static int OnNotificationClosed(sd_bus_message* message, void* userdata, sd_bus_error*)
    {
        std::uint32_t id = 0;
        std::uint32_t reason = 0;
        if (sd_bus_message_read(message, "uu", &id, &reason) < 0) return 0;
        try {
            auto* self = static_cast<BusConnection*>(userdata);
            auto notification = self->Find(id);
            if (!notification) return 0;
            self->shown_.erase(id);
            notification->Dismissed(DismissalReasonOf(reason));
        } catch (...) {
        }
        return 0;
    }

    std::string key_;
    UniqueBus bus_;
    UniqueSlot action_slot_;
    UniqueSlot closed_slot_;
    std::map<std::uint32_t, std::shared_ptr<DesktopNotification>> shown_;
};

class DesktopNotifier final : public ToastNotifier {
public:
    DesktopNotifier(std::shared_ptr<BusConnection> connection, std::string application)
        : connection_(std::move(connection)), application_(std::move(application))
    {
    }

    platform::HResult Show(const std::shared_ptr<ToastNotification>& notification) override
    {
        auto desktop = std::dynamic_pointer_cast<DesktopNotification>(notification);
        if (!desktop) return platform::hresult::kInvalidArgument;
        const std::optional<ToastRequest> request = ReadToastRequest(desktop->Xml());
        if (!request) return platform::hresult::kInvalidArgument;
        std::uint32_t id = 0;
        const platform::HResult result =
            connection_->Notify(application_, *request, ExpireTimeout(desktop->Expiry()), id);
        if (platform::Failed(result)) return result;
        desktop->MarkShown(connection_, id);
        connection_->Track(id, desktop);
        return platform::hresult::kOk;
    }

    platform::HResult Hide(const std::shared_ptr<ToastNotification>& notification) override
    {
        auto desktop = std::dynamic_pointer_cast<DesktopNotification>(notification);
        if (!desktop) return platform::hresult::kInvalidArgument;
        const std::shared_ptr<BusConnection> connection = desktop->Connection();
        if (!connection) return platform::hresult::kOk;  // never on screen
        return connection->Close(desktop->Id());
    }

private:
    std::shared_ptr<BusConnection> connection_;
    std::string application_;
};

}  // namespace

bool SessionBusReachable()
{
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0) return false;
    UniqueBus bus(raw);
    return true;
}

platform::HResult CreateDesktopNotifier(const std::wstring& application_name, std::shared_ptr<ToastNotifier>& notifier)
{
    std::shared_ptr<BusConnection> connection;
    const platform::HResult result = BusConnection::ForThisThread(connection);
    if (platform::Failed(result)) return result;
    notifier = std::make_shared<DesktopNotifier>(std::move(connection), platform::WideToUtf8(application_name));
    return platform::hresult::kOk;
}

platform::HResult CreateDesktopNotification(const XmlDocument& document,
                                            std::shared_ptr<ToastNotification>& notification)
{
    notification = std::make_shared<DesktopNotification>(document.GetXml());
    return platform::hresult::kOk;
}

}  // namespace desktop
