#pragma once
// Windows only: the COM objects the toast backend hands to WinRT (the event
// handlers, the boxed expiry time) and the channel that brings an event from
// the system's thread to the UI thread. A handler reads the event's
// arguments where the system calls it and posts the delegate's call; the
// delegate runs on the UI thread, and not at all once its notification has
// been released (the slot is emptied then). Nothing throws out of a COM
// method.
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "desktop/toast/toast_platform.h"
#include "desktop/toast/winrt_string_win.h"
#include "desktop/toast/winrt_toast_interfaces_win.h"

#include <objbase.h>
#include <wrl/client.h>

namespace desktop {

// A message-only window of the thread that made it, and the tasks other
// threads queue for that thread: each Post queues one task and posts one
// wake-up message, whose dispatch runs the oldest task. Closed when that
// thread ends; tasks still waiting then are dropped unrun.
class UiThreadChannel {
public:
    using Task = std::function<void()>;

    // The calling thread's channel, made on its first use; null (and the
    // system's error in `result`) when its window cannot be created.
    static std::shared_ptr<UiThreadChannel> ForThisThread(HRESULT& result);

    UiThreadChannel() = default;
    UiThreadChannel(const UiThreadChannel&) = delete;
    UiThreadChannel& operator=(const UiThreadChannel&) = delete;

    // Any thread: queues the task for the owning thread's loop; false when
    // the channel is closed or the task could not be queued.
    bool Post(Task task) noexcept;
    // The owning thread, on a wake-up: runs the oldest waiting task.
    void RunNext() noexcept;
    // The owning thread: no more posts, the waiting tasks are dropped.
    void Close() noexcept;

private:
    std::mutex mutex_;
    HWND window_ = nullptr;  // null once closed
    std::deque<Task> tasks_;
};

// Where a handler finds its delegate. Only the UI thread touches the
// delegate: it sets it, calls it, and empties it when the notification goes.
template <typename Delegate>
struct DelegateSlot {
    Delegate delegate;
};

// IUnknown of an object that implements one interface and is agile: the
// system may call and release it on any thread. `Extra` is one more IID it
// answers (IInspectable for a WinRT object).
template <typename Interface, typename Extra = IUnknown>
class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (object == nullptr) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IAgileObject) || iid == __uuidof(Extra) ||
            iid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    std::atomic<ULONG> references_{1};
};

// The three events: the handler interface, the delegate, the value read
// from the arguments on the system's thread, and the delegate's call.
struct ActivatedEvent {
    using Handler = toast_abi::IToastActivatedHandler;
    using Arguments = IInspectable;
    using Delegate = ActivatedDelegate;
    using Value = std::optional<std::wstring>;
    static Value Read(IInspectable* arguments)
    {
        Microsoft::WRL::ComPtr<toast_abi::IToastActivatedEventArgs> activated;
        if (arguments == nullptr || FAILED(arguments->QueryInterface(IID_PPV_ARGS(&activated)))) return std::nullopt;
        UniqueHString text;
        if (FAILED(activated->get_Arguments(text.Put()))) return std::nullopt;
        return text.Text();
    }
    static void Call(const Delegate& delegate, const Value& value) { delegate(value); }
    static HRESULT Add(toast_abi::IToastNotification& source, Handler* handler, EventRegistrationToken* token)
    {
        return source.add_Activated(handler, token);
    }
    static HRESULT Remove(toast_abi::IToastNotification& source, EventRegistrationToken token)
    {
        return source.remove_Activated(token);
    }
};

struct DismissedEvent {
    using Handler = toast_abi::IToastDismissedHandler;
    using Arguments = toast_abi::IToastDismissedEventArgs;
    using Delegate = DismissedDelegate;
    using Value = std::optional<int>;
    static Value Read(Arguments* arguments)
    {
        toast_abi::ToastDismissalReason reason = toast_abi::UserCanceled;
        if (arguments == nullptr || FAILED(arguments->get_Reason(&reason))) return std::nullopt;
        return static_cast<int>(reason);
    }
    static void Call(const Delegate& delegate, Value value) { delegate(value); }
    static HRESULT Add(toast_abi::IToastNotification& source, Handler* handler, EventRegistrationToken* token)
    {
        return source.add_Dismissed(handler, token);
    }
    static HRESULT Remove(toast_abi::IToastNotification& source, EventRegistrationToken token)
    {
        return source.remove_Dismissed(token);
    }
};

struct FailedEvent {
    using Handler = toast_abi::IToastFailedHandler;
    using Arguments = toast_abi::IToastFailedEventArgs;
    using Delegate = FailedDelegate;
    struct Value {};  // the error code is not passed on
    static Value Read(Arguments*) { return {}; }
    static void Call(const Delegate& delegate, Value) { delegate(); }
    static HRESULT Add(toast_abi::IToastNotification& source, Handler* handler, EventRegistrationToken* token)
    {
        return source.add_Failed(handler, token);
    }
    static HRESULT Remove(toast_abi::IToastNotification& source, EventRegistrationToken token)
    {
        return source.remove_Failed(token);
    }
};

// TypedEventHandler<ToastNotification, …> of one event.
template <typename Event>
class EventHandler final : public ComObject<typename Event::Handler> {
public:
    using Slot = DelegateSlot<typename Event::Delegate>;

    EventHandler(std::shared_ptr<Slot> slot, std::shared_ptr<UiThreadChannel> channel)
        : slot_(std::move(slot)), channel_(std::move(channel))
    {
    }

    HRESULT STDMETHODCALLTYPE Invoke(toast_abi::IToastNotification*,
                                     typename Event::Arguments* arguments) noexcept override
    {
        try {
            channel_->Post([slot = slot_, value = Event::Read(arguments)] {
                // A copy: the delegate may release the notification, which empties the slot.
                if (const auto delegate = slot->delegate) Event::Call(delegate, value);
            });
        } catch (...) {
            // No memory for the task: the event is lost, the system is not told.
        }
        return S_OK;
    }

private:
    const std::shared_ptr<Slot> slot_;
    const std::shared_ptr<UiThreadChannel> channel_;
};

// IReference<DateTime> of one fixed time.
class DateTimeReference final : public ComObject<toast_abi::IDateTimeReference, IInspectable> {
public:
    explicit DateTimeReference(INT64 filetime) : value_{filetime} {}

    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) noexcept override
    {
        if (count == nullptr || iids == nullptr) return E_POINTER;
        *count = 0;
        *iids = static_cast<IID*>(::CoTaskMemAlloc(sizeof(IID)));
        if (*iids == nullptr) return E_OUTOFMEMORY;
        **iids = __uuidof(toast_abi::IDateTimeReference);
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) noexcept override
    {
        static constexpr wchar_t kName[] = L"Windows.Foundation.IReference`1<Windows.Foundation.DateTime>";
        return name ? ::WindowsCreateString(kName, static_cast<UINT32>(std::size(kName) - 1), name) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) noexcept override
    {
        if (level == nullptr) return E_POINTER;
        *level = BaseTrust;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Value(toast_abi::DateTime* value) noexcept override
    {
        if (value == nullptr) return E_POINTER;
        *value = value_;
        return S_OK;
    }

private:
    const toast_abi::DateTime value_;
};

}  // namespace desktop
