#include "desktop/toast/toast_platform.h"

#include <new>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include "desktop/toast/shared_toast_platform.h"
#include "desktop/toast/toast_events_win.h"
#include "desktop/toast/winrt_string_win.h"
#include "desktop/toast/winrt_toast_interfaces_win.h"
#include "platform/base/text.h"

#include <objbase.h>
#include <roapi.h>
#include <wrl/client.h>

namespace desktop {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kToastManagerClass[] = L"Windows.UI.Notifications.ToastNotificationManager";
constexpr wchar_t kToastNotificationClass[] = L"Windows.UI.Notifications.ToastNotification";
constexpr wchar_t kXmlDocumentClass[] = L"Windows.Data.Xml.Dom.XmlDocument";
constexpr wchar_t kChannelClass[] = L"MerroUpdate.ToastEvents";
constexpr UINT kRunTask = WM_APP + 1;  // the wake-up: one task waits

LRESULT CALLBACK ChannelProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    auto* channel = reinterpret_cast<UiThreadChannel*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message != kRunTask || channel == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
    channel->RunNext();
    return 0;
}

// A notification made from the system's XmlDocument; its event handlers are
// removed, and their delegates emptied, when it goes.
class WindowsToastNotification final : public ToastNotification {
public:
    WindowsToastNotification(ComPtr<toast_abi::IToastNotification> notification,
                             std::shared_ptr<UiThreadChannel> channel)
        : notification_(std::move(notification)), channel_(std::move(channel))
    {
    }
    ~WindowsToastNotification() override
    {
        for (const Registration& registration : registrations_) {
            registration.empty_slot();
            registration.remove(*notification_.Get(), registration.token);
        }
    }

    toast_abi::IToastNotification* Get() const { return notification_.Get(); }

    platform::HResult PutExpirationTime(std::int64_t filetime) override
    {
        ComPtr<toast_abi::IDateTimeReference> expiry;
        expiry.Attach(new (std::nothrow) DateTimeReference(filetime));
        return expiry ? notification_->put_ExpirationTime(expiry.Get()) : E_OUTOFMEMORY;
    }
    platform::HResult AddActivated(ActivatedDelegate delegate) override
    {
        return Add<ActivatedEvent>(std::move(delegate));
    }
    platform::HResult AddDismissed(DismissedDelegate delegate) override
    {
        return Add<DismissedEvent>(std::move(delegate));
    }
    platform::HResult AddFailed(FailedDelegate delegate) override { return Add<FailedEvent>(std::move(delegate)); }

private:
    struct Registration {
        std::function<void()> empty_slot;
        HRESULT (*remove)(toast_abi::IToastNotification&, EventRegistrationToken);
        EventRegistrationToken token;
    };

    template <typename Event>
    platform::HResult Add(typename Event::Delegate delegate)
    {
        using Slot = DelegateSlot<typename Event::Delegate>;
        if (!delegate) return platform::hresult::kPointer;
        ComPtr<typename Event::Handler> handler;
        try {
            auto slot = std::make_shared<Slot>(Slot{std::move(delegate)});
            handler.Attach(new EventHandler<Event>(slot, channel_));
            registrations_.push_back({[slot] { slot->delegate = nullptr; }, &Event::Remove, {}});
        } catch (...) {
            return platform::hresult::kOutOfMemory;
        }
        const HRESULT result = Event::Add(*notification_.Get(), handler.Get(), &registrations_.back().token);
        if (FAILED(result)) registrations_.pop_back();
        return result;
    }

    const ComPtr<toast_abi::IToastNotification> notification_;
    const std::shared_ptr<UiThreadChannel> channel_;
    std::vector<Registration> registrations_;
};

class WindowsToastNotifier final : public ToastNotifier {
public:
    explicit WindowsToastNotifier(ComPtr<toast_abi::IToastNotifier> notifier) : notifier_(std::move(notifier)) {}

    platform::HResult Show(const std::shared_ptr<ToastNotification>& notification) override
    {
        const auto* toast = dynamic_cast<const WindowsToastNotification*>(notification.get());
        return toast ? notifier_->Show(toast->Get()) : platform::hresult::kInvalidArgument;
    }
    platform::HResult Hide(const std::shared_ptr<ToastNotification>& notification) override
    {
        const auto* toast = dynamic_cast<const WindowsToastNotification*>(notification.get());
        return toast ? notifier_->Hide(toast->Get()) : platform::hresult::kInvalidArgument;
    }

private:
    const ComPtr<toast_abi::IToastNotifier> notifier_;
};

// WinRT toasts, the Start-menu .lnk shortcut and the process's identifier.
class WindowsToastPlatform final : public SharedToastPlatform {
public:
    bool LoadPlatformFunctions() override
    {
        return ::GetModuleHandleW(L"combase.dll") || ::LoadLibraryW(L"combase.dll");
    }
    // The multithreaded model, as the manager expects: the toast events arrive on
    // the system's threads anyway and are posted to the UI thread.
    platform::HResult InitializeCom() override { return ::CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void UninitializeCom() override { ::CoUninitialize(); }

    platform::HResult CreateGuidFirstField(std::uint32_t& field) override
    {
        GUID guid;
        const platform::HResult result = ::CoCreateGuid(&guid);
        if (platform::Succeeded(result)) field = guid.Data1;
        return result;
    }

    platform::HResult CreateToastNotifier(const std::wstring& app_user_model_id, const std::wstring&,
                                          std::shared_ptr<ToastNotifier>& notifier) override
    {
        ComPtr<toast_abi::IToastNotificationManagerStatics> manager;
        HRESULT result = ::RoGetActivationFactory(ClassName(kToastManagerClass).Get(), IID_PPV_ARGS(&manager));
        if (FAILED(result)) return result;
        UniqueHString id;
        ComPtr<toast_abi::IToastNotifier> system_notifier;
        result = id.Assign(app_user_model_id);
        if (SUCCEEDED(result)) result = manager->CreateToastNotifierWithId(id.Get(), &system_notifier);
        if (FAILED(result)) return result;
        try {
            notifier = std::make_shared<WindowsToastNotifier>(std::move(system_notifier));
        } catch (...) {
            return platform::hresult::kOutOfMemory;
        }
        return platform::hresult::kOk;
    }

    platform::HResult CreateToastNotification(const XmlDocument& document,
                                              std::shared_ptr<ToastNotification>& notification) override
    {
        try {
            return MakeNotification(platform::Utf8ToWide(document.GetXml()), notification);
        } catch (...) {
            return platform::hresult::kOutOfMemory;
        }
    }

private:
    // The system's XmlDocument loaded with the text, the notification made of it.
    static HRESULT MakeNotification(const std::wstring& xml, std::shared_ptr<ToastNotification>& notification)
    {
        ComPtr<IInspectable> instance;
        HRESULT result = ::RoActivateInstance(ClassName(kXmlDocumentClass).Get(), &instance);
        ComPtr<toast_abi::IXmlDocumentIO> loader;
        ComPtr<toast_abi::IXmlDocument> content;
        UniqueHString text;
        if (SUCCEEDED(result)) result = instance.As(&loader);
        if (SUCCEEDED(result)) result = instance.As(&content);
        if (SUCCEEDED(result)) result = text.Assign(xml);
        if (SUCCEEDED(result)) result = loader->LoadXml(text.Get());
        if (FAILED(result)) return result;

        ComPtr<toast_abi::IToastNotificationFactory> factory;
        ComPtr<toast_abi::IToastNotification> system_notification;
        result = ::RoGetActivationFactory(ClassName(kToastNotificationClass).Get(), IID_PPV_ARGS(&factory));
        if (SUCCEEDED(result)) result = factory->CreateToastNotification(content.Get(), &system_notification);
        if (FAILED(result)) return result;
        // The calling thread is the one whose loop runs the delegates.
        std::shared_ptr<UiThreadChannel> channel = UiThreadChannel::ForThisThread(result);
        if (!channel) return result;
        notification = std::make_shared<WindowsToastNotification>(std::move(system_notification), std::move(channel));
        return S_OK;
    }
};

}  // namespace

std::shared_ptr<UiThreadChannel> UiThreadChannel::ForThisThread(HRESULT& result)
{
    // Closes the channel when the thread ends.
    struct Owner {
        std::shared_ptr<UiThreadChannel> channel;
        ~Owner()
        {
            if (channel) channel->Close();
        }
    };
    thread_local Owner owner;
    result = S_OK;
    if (owner.channel) return owner.channel;

    static const ATOM window_class = [] {
        WNDCLASSEXW description{};
        description.cbSize = sizeof(description);
        description.lpfnWndProc = &ChannelProcedure;
        description.hInstance = ::GetModuleHandleW(nullptr);
        description.lpszClassName = kChannelClass;
        return ::RegisterClassExW(&description);
    }();
    auto channel = std::make_shared<UiThreadChannel>();
    HWND window = nullptr;
    if (window_class != 0) {
        window = ::CreateWindowExW(0, kChannelClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    }
    if (window == nullptr) {
        result = window_class == 0 ? E_FAIL : HRESULT_FROM_WIN32(::GetLastError());
        return nullptr;
    }
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(channel.get()));
    channel->window_ = window;
    owner.channel = channel;
    return channel;
}

bool UiThreadChannel::Post(Task task) noexcept
{
    try {
        const std::lock_guard lock(mutex_);
        if (window_ == nullptr) return false;
        tasks_.push_back(std::move(task));
        if (!::PostMessageW(window_, kRunTask, 0, 0)) {
            tasks_.pop_back();  // the system's queue is full
            return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

void UiThreadChannel::RunNext() noexcept
{
    Task task;
    try {
        {
            const std::lock_guard lock(mutex_);
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    } catch (...) {
        // As on Linux: a delegate's failure does not stop the loop.
    }
}

void UiThreadChannel::Close() noexcept
{
    HWND window = nullptr;
    std::deque<Task> dropped;
    try {
        const std::lock_guard lock(mutex_);
        window = std::exchange(window_, nullptr);
        dropped.swap(tasks_);
    } catch (...) {
        return;
    }
    // Its waiting wake-ups go with it.
    if (window != nullptr) ::DestroyWindow(window);
}

ToastPlatform& SystemToastPlatform()
{
    static WindowsToastPlatform platform;
    return platform;
}

}  // namespace desktop
