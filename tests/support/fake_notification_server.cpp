#include "support/fake_notification_server.h"

#include "support/event_wait.h"
#include "support/private_session_bus.h"

namespace testing_support {
namespace {

constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";

// A hint's variant as "<type>:<text>".
std::string ReadVariant(sd_bus_message* message)
{
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(message, &type, &contents) < 0 || type != 'v' || !contents) return "?";
    if (sd_bus_message_enter_container(message, 'v', contents) < 0) return "?";
    std::string text = std::string(contents) + ":";
    switch (contents[0]) {
    case 's': {
        const char* value = nullptr;
        sd_bus_message_read_basic(message, 's', &value);
        text += value ? value : "";
        break;
    }
    case 'b': {
        int value = 0;
        sd_bus_message_read_basic(message, 'b', &value);
        text += value ? "true" : "false";
        break;
    }
    case 'y': {
        std::uint8_t value = 0;
        sd_bus_message_read_basic(message, 'y', &value);
        text += std::to_string(value);
        break;
    }
    default: sd_bus_message_skip(message, contents); break;
    }
    sd_bus_message_exit_container(message);
    return text;
}

}  // namespace

std::unique_ptr<FakeNotificationServer> FakeNotificationServer::Start(const std::string& address)
{
    sd_bus* bus = ConnectToBus(address);
    if (!bus) return nullptr;
    auto server = std::make_unique<FakeNotificationServer>(bus);
    if (sd_bus_add_object(bus, &server->object_, kPath, &FakeNotificationServer::OnMethodCall, server.get()) < 0 ||
        sd_bus_request_name(bus, kInterface, 0) < 0) {
        return nullptr;
    }
    server->thread_ = std::thread([raw = server.get()] { raw->Run(); });
    return server;
}

FakeNotificationServer::FakeNotificationServer(sd_bus* bus) : bus_(bus) {}

FakeNotificationServer::~FakeNotificationServer()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable()) thread_.join();
    sd_bus_slot_unref(object_);
    sd_bus_flush_close_unref(bus_);
}

std::vector<NotifyCall> FakeNotificationServer::Calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> FakeNotificationServer::Summaries() const
{
    std::vector<std::string> summaries;
    for (const NotifyCall& call : Calls()) summaries.push_back(call.summary);
    return summaries;
}

std::vector<std::uint32_t> FakeNotificationServer::ClosedByCall() const
{
    std::lock_guard lock(mutex_);
    return closed_;
}

void FakeNotificationServer::EmitActionInvoked(std::uint32_t id, const std::string& key, bool unicast)
{
    Emit({id, "ActionInvoked", key, 0, unicast});
}

void FakeNotificationServer::EmitNotificationClosed(std::uint32_t id, std::uint32_t reason, bool unicast)
{
    Emit({id, "NotificationClosed", {}, reason, unicast});
}

// Hands the signal to the server's thread and waits until it has gone out.
void FakeNotificationServer::Emit(Signal signal)
{
    std::unique_lock lock(mutex_);
    queue_.push_back(std::move(signal));
    emitted_.wait_for(lock, kEventWait, [this] { return queue_.empty(); });
}

void FakeNotificationServer::Run()
{
    for (;;) {
        while (sd_bus_process(bus_, nullptr) > 0) {}
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            while (!queue_.empty()) {
                Send(queue_.front());
                queue_.pop_front();
            }
        }
        sd_bus_flush(bus_);
        emitted_.notify_all();
        sd_bus_wait(bus_, 20'000);
    }
}

void FakeNotificationServer::Send(const Signal& signal)
{
    sd_bus_message* message = nullptr;
    if (sd_bus_message_new_signal(bus_, &message, kPath, kInterface, signal.member.c_str()) < 0) return;
    if (signal.member == "ActionInvoked") {
        sd_bus_message_append(message, "us", signal.id, signal.key.c_str());
    } else {
        sd_bus_message_append(message, "uu", signal.id, signal.reason);
    }
    if (signal.unicast && senders_.contains(signal.id)) {
        sd_bus_message_set_destination(message, senders_[signal.id].c_str());
    }
    sd_bus_send(bus_, message, nullptr);
    sd_bus_message_unref(message);
}

int FakeNotificationServer::OnMethodCall(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    auto* self = static_cast<FakeNotificationServer*>(userdata);
    if (sd_bus_message_is_method_call(message, kInterface, "Notify")) return self->HandleNotify(message);
    if (sd_bus_message_is_method_call(message, kInterface, "CloseNotification")) return self->HandleClose(message);
    if (sd_bus_message_is_method_call(message, kInterface, "GetCapabilities")) {
        return sd_bus_reply_method_return(message, "as", 2, "actions", "body");
    }
    return 0;
}

int FakeNotificationServer::HandleNotify(sd_bus_message* message)
{
    NotifyCall call;
    const char* app_name = nullptr;
    const char* app_icon = nullptr;
    const char* summary = nullptr;
    const char* body = nullptr;
    if (sd_bus_message_read(message, "susss", &app_name, &call.replaces_id, &app_icon, &summary, &body) < 0)
        return -EINVAL;
    call.app_name = app_name, call.app_icon = app_icon, call.summary = summary, call.body = body;
    char** actions = nullptr;
    if (sd_bus_message_read_strv(message, &actions) < 0) return -EINVAL;
    for (char** action = actions; action && *action; ++action) {
        call.actions.emplace_back(*action);
        free(*action);
    }
    free(actions);
    if (sd_bus_message_enter_container(message, 'a', "{sv}") < 0) return -EINVAL;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* key = nullptr;
        sd_bus_message_read_basic(message, 's', &key);
        const std::string name = key ? key : "";
        call.hints[name] = ReadVariant(message);
        sd_bus_message_exit_container(message);
    }
    sd_bus_message_exit_container(message);
    if (sd_bus_message_read(message, "i", &call.expire_timeout) < 0) return -EINVAL;
    call.sender = sd_bus_message_get_sender(message) ? sd_bus_message_get_sender(message) : "";

    std::lock_guard lock(mutex_);
    call.id = next_id_++;
    senders_[call.id] = call.sender;
    calls_.push_back(call);
    return sd_bus_reply_method_return(message, "u", call.id);
}

// Like a real server: the closed notification's owner hears reason 3.
int FakeNotificationServer::HandleClose(sd_bus_message* message)
{
    std::uint32_t id = 0;
    if (sd_bus_message_read(message, "u", &id) < 0) return -EINVAL;
    std::lock_guard lock(mutex_);
    closed_.push_back(id);
    Send({id, "NotificationClosed", {}, 3, true});
    return sd_bus_reply_method_return(message, "");
}

}  // namespace testing_support
