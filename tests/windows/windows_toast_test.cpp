// The Windows toast backend under Wine: the toast classes are not
// registered there, so the manager meets the "notifications unavailable"
// path of the real system; the event handlers and the expiry box are the
// backend's own objects, driven as the system would drive them.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "desktop/toast/toast_events_win.h"
#include "desktop/toast/toast_platform.h"
#include "notify/toast_manager.h"
#include "support/fake_toast_platform.h"

#include <wrl/client.h>

namespace {

using Microsoft::WRL::ComPtr;
using platform::HResult;

constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154);

// Runs what has been posted to this thread, without waiting for more.
void RunPostedMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}

TEST(WindowsToastTest, UnregisteredToastClassesMakeShowFailWithoutACrash)
{
    desktop::ToastPlatform& system = desktop::SystemToastPlatform();
    ASSERT_TRUE(platform::Succeeded(system.InitializeCom()));
    {
        toast::ToastManager manager(system);
        manager.SetApplicationName(L"MerroToastTest");
        manager.SetApplicationModelId(L"Merro.ToastTest");
        manager.SetShortcutMode(toast::ShortcutMode::None);  // the shortcut has tests of its own
        toast::ToastError error = toast::ToastError::NotReady;
        ASSERT_TRUE(manager.Init(&error));
        EXPECT_EQ(error, toast::ToastError::Ok);

        auto log = std::make_shared<testing_support::RecordingHandler::Log>();
        toast::ToastTemplate content(4);
        content.lines = {L"Pelvane更新程序"};
        content.expiresAfterMs = 5000;
        EXPECT_EQ(manager.Show(content, new testing_support::RecordingHandler(log), &error), -1);
        EXPECT_EQ(log->deleted, 1);  // the handler was freed, not kept for events that cannot come
        EXPECT_TRUE(log->events.empty());
        EXPECT_FALSE(manager.Hide(0));
        manager.HideAll();
    }

    std::shared_ptr<desktop::ToastNotifier> notifier;
    EXPECT_EQ(system.CreateToastNotifier(L"Merro.ToastTest", L"MerroToastTest", notifier), kClassNotRegistered);
    EXPECT_FALSE(notifier);
    desktop::XmlDocument document;
    ASSERT_EQ(document.LoadXml("<toast><visual><binding template=\"ToastText01\"/></visual></toast>"), 0);
    std::shared_ptr<desktop::ToastNotification> notification;
    EXPECT_EQ(system.CreateToastNotification(document, notification), kClassNotRegistered);
    EXPECT_FALSE(notification);
    system.UninitializeCom();
}

TEST(WindowsToastTest, AnEventFromAnotherThreadRunsOnTheUiThreadUntilItsSlotIsEmptied)
{
    using Handler = desktop::EventHandler<desktop::ActivatedEvent>;
    HRESULT result = E_FAIL;
    const auto channel = desktop::UiThreadChannel::ForThisThread(result);
    ASSERT_TRUE(channel) << std::hex << result;

    std::vector<DWORD> threads;
    std::vector<std::optional<std::wstring>> arguments;
    const auto slot = std::make_shared<Handler::Slot>(Handler::Slot{[&](const std::optional<std::wstring>& value) {
        threads.push_back(::GetCurrentThreadId());
        arguments.push_back(value);
    }});
    ComPtr<desktop::toast_abi::IToastActivatedHandler> handler;
    handler.Attach(new Handler(slot, channel));
    ComPtr<IAgileObject> agile;
    EXPECT_EQ(handler.As(&agile), S_OK);
    ComPtr<IInspectable> inspectable;
    EXPECT_EQ(handler.As(&inspectable), E_NOINTERFACE);  // a delegate is IUnknown only

    // No arguments object: they cannot be read.
    const auto invoke_elsewhere = [&] { std::thread([&] { handler->Invoke(nullptr, nullptr); }).join(); };
    invoke_elsewhere();
    EXPECT_TRUE(threads.empty());  // posted, not run on the system's thread
    RunPostedMessages();
    EXPECT_EQ(threads, std::vector<DWORD>{::GetCurrentThreadId()});
    EXPECT_EQ(arguments, std::vector<std::optional<std::wstring>>{std::nullopt});

    slot->delegate = nullptr;  // what releasing the notification does
    invoke_elsewhere();
    RunPostedMessages();
    EXPECT_EQ(threads.size(), 1u);
}

TEST(WindowsToastTest, ExpiryBoxIsAnInspectableReferenceOfTheTicks)
{
    using desktop::toast_abi::IDateTimeReference;
    ComPtr<IDateTimeReference> expiry;
    expiry.Attach(new desktop::DateTimeReference(133'000'000'000'000'000));
    desktop::toast_abi::DateTime value{};
    EXPECT_EQ(expiry->get_Value(&value), S_OK);
    EXPECT_EQ(value.UniversalTime, 133'000'000'000'000'000);

    ComPtr<IInspectable> inspectable;
    ASSERT_EQ(expiry.As(&inspectable), S_OK);
    ULONG count = 0;
    IID* iids = nullptr;
    ASSERT_EQ(inspectable->GetIids(&count, &iids), S_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_TRUE(iids[0] == __uuidof(IDateTimeReference));
    ::CoTaskMemFree(iids);
}

}  // namespace
