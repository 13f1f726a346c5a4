#pragma once
// Windows only: the WinRT interfaces of Windows.UI.Notifications and
// Windows.Data.Xml.Dom that the toast backend calls, declared here because
// MinGW-w64 ships no header for them. Each is laid out as the system's
// vtable is: IInspectable's six slots (or IUnknown's three for a delegate),
// then the methods in their published order. Slots the backend never calls
// keep their place with parameters it never looks at. The IIDs are the
// published ones; the parameterised ones (the event handlers and
// IReference<DateTime>) are the values of the signature rule, which
// tests/windows/winrt_iid_test.cpp computes.
#include <windows.h>

#include <eventtoken.h>
#include <hstring.h>
#include <inspectable.h>

namespace desktop::toast_abi {

// Windows.Foundation.DateTime: 100 ns ticks since 1601-01-01 UTC, FILETIME's unit.
struct DateTime {
    INT64 UniversalTime;
};

// Windows.UI.Notifications.ToastDismissalReason.
enum ToastDismissalReason : INT32 { UserCanceled = 0, ApplicationHidden = 1, TimedOut = 2 };

// Windows.Data.Xml.Dom.IXmlDocument: only handed on, so none of its 17 methods is declared.
struct IXmlDocument : IInspectable {};

struct IXmlDocumentIO : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE LoadXml(HSTRING xml) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadXmlWithSettings(HSTRING xml, IInspectable* settings) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveToFileAsync(IInspectable* file, IInspectable** operation) = 0;
};

// Windows.Foundation.IReference<DateTime>: what ExpirationTime takes.
struct IDateTimeReference : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Value(DateTime* value) = 0;
};

struct IToastActivatedEventArgs : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Arguments(HSTRING* arguments) = 0;
};

struct IToastDismissedEventArgs : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Reason(ToastDismissalReason* reason) = 0;
};

struct IToastFailedEventArgs : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* error) = 0;
};

struct IToastNotification;

// TypedEventHandler<ToastNotification, Object>: Activated's arguments are an
// IInspectable that answers IToastActivatedEventArgs.
struct IToastActivatedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IInspectable* arguments) = 0;
};

// TypedEventHandler<ToastNotification, ToastDismissedEventArgs>.
struct IToastDismissedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IToastDismissedEventArgs* arguments) = 0;
};

// TypedEventHandler<ToastNotification, ToastFailedEventArgs>.
struct IToastFailedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IToastNotification* sender, IToastFailedEventArgs* arguments) = 0;
};

struct IToastNotification : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Content(IXmlDocument** content) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ExpirationTime(IDateTimeReference* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExpirationTime(IDateTimeReference** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Dismissed(IToastDismissedHandler* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Dismissed(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Activated(IToastActivatedHandler* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Activated(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Failed(IToastFailedHandler* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Failed(EventRegistrationToken token) = 0;
};

struct IToastNotificationFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotification(IXmlDocument* content,
                                                              IToastNotification** notification) = 0;
};

struct IToastNotifier : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Show(IToastNotification* notification) = 0;
    virtual HRESULT STDMETHODCALLTYPE Hide(IToastNotification* notification) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Setting(INT32* setting) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToSchedule(IInspectable* scheduled) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFromSchedule(IInspectable* scheduled) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetScheduledToastNotifications(IInspectable** scheduled) = 0;
};

struct IToastNotificationManagerStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotifier(IToastNotifier** notifier) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateToastNotifierWithId(HSTRING application_id, IToastNotifier** notifier) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTemplateContent(INT32 type, IXmlDocument** content) = 0;
};

}  // namespace desktop::toast_abi

// clang-format off: one interface identifier per line.
__CRT_UUID_DECL(desktop::toast_abi::IXmlDocument, 0xf7f3a506, 0x1e87, 0x42d6, 0xbc, 0xfb, 0xb8, 0xc8, 0x09, 0xfa, 0x54,
                0x94)
__CRT_UUID_DECL(desktop::toast_abi::IXmlDocumentIO, 0x6cd0e74e, 0xee65, 0x4489, 0x9e, 0xbf, 0xca, 0x43, 0xe8, 0x7b,
                0xa6, 0x37)
__CRT_UUID_DECL(desktop::toast_abi::IDateTimeReference, 0x5541d8a7, 0x497c, 0x5aa4, 0x86, 0xfc, 0x77, 0x13, 0xad, 0xbf,
                0x2a, 0x2c)
__CRT_UUID_DECL(desktop::toast_abi::IToastActivatedEventArgs, 0xe3bf92f3, 0xc197, 0x436f, 0x82, 0x65, 0x06, 0x25, 0x82,
                0x4f, 0x8d, 0xac)
__CRT_UUID_DECL(desktop::toast_abi::IToastDismissedEventArgs, 0x3f89d935, 0xd9cb, 0x4538, 0xa0, 0xf0, 0xff, 0xe7, 0x65,
                0x99, 0x38, 0xf8)
__CRT_UUID_DECL(desktop::toast_abi::IToastFailedEventArgs, 0x35176862, 0xcfd4, 0x44f8, 0xad, 0x64, 0xf5, 0x00, 0xfd,
                0x89, 0x6c, 0x3b)
__CRT_UUID_DECL(desktop::toast_abi::IToastActivatedHandler, 0xab54de2d, 0x97d9, 0x5528, 0xb6, 0xad, 0x10, 0x5a, 0xfe,
                0x15, 0x65, 0x30)
__CRT_UUID_DECL(desktop::toast_abi::IToastDismissedHandler, 0x61c2402f, 0x0ed0, 0x5a18, 0xab, 0x69, 0x59, 0xf4, 0xaa,
                0x99, 0xa3, 0x68)
__CRT_UUID_DECL(desktop::toast_abi::IToastFailedHandler, 0x95e3e803, 0xc969, 0x5e3a, 0x97, 0x53, 0xea, 0x2a, 0xd2, 0x2a,
                0x9a, 0x33)
__CRT_UUID_DECL(desktop::toast_abi::IToastNotification, 0x997e2675, 0x059e, 0x4e60, 0x8b, 0x06, 0x17, 0x60, 0x91, 0x7c,
                0x8b, 0x80)
__CRT_UUID_DECL(desktop::toast_abi::IToastNotificationFactory, 0x04124b20, 0x82c6, 0x4229, 0xb1, 0x09, 0xfd, 0x9e, 0xd4,
                0x66, 0x2b, 0x53)
__CRT_UUID_DECL(desktop::toast_abi::IToastNotifier, 0x75927b93, 0x03f3, 0x41ec, 0x91, 0xd3, 0x6e, 0x5b, 0xac, 0x1b,
                0x38, 0xe7)
__CRT_UUID_DECL(desktop::toast_abi::IToastNotificationManagerStatics, 0x50ac103f, 0xd235, 0x4598, 0xbb, 0xef, 0x98,
                0xfe, 0x4d, 0x1a, 0x3a, 0xd4)
// clang-format on
