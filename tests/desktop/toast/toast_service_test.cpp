// The manager over the freedesktop notification service on a private
// session bus, against a notification server of our own.
#include <gtest/gtest.h>

#include "desktop/identity/app_identity.h"
#include "notify/counting_handler.h"
#include "notify/toast_manager.h"
#include "support/fake_notification_server.h"
#include "support/private_session_bus.h"
#include "support/session_bus_client.h"

namespace notify_test {
namespace {

using namespace testing_support;

using toast::ToastError;
using toast::ToastTemplate;
using Hints = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

class NotificationServiceTest : public testing::Test {
protected:
    void SetUp() override
    {
        environment_.Set("HOME", home_.path().string());
        environment_.Set("XDG_DATA_HOME", (home_.path() / "data").string());
        bus_ = std::make_unique<PrivateSessionBus>();
        manager_ = std::make_unique<toast::ToastManager>(desktop::SystemToastPlatform());
        manager_->SetApplicationName(L"Pelvane");
        manager_->SetApplicationModelId(L"Pelvane APP'ID");
    }

    void StartServer()
    {
        server_ = FakeNotificationServer::Start(bus_->address());
        ASSERT_TRUE(server_) << "the notification server could not join the bus";
    }

    std::int64_t Show(const ToastTemplate& content, ToastError expected = ToastError::Ok)
    {
        ToastError error = ToastError::NotReady;
        const std::int64_t id = manager_->Show(content, new CountingHandler(events_), &error);
        EXPECT_EQ(error, expected);
        EXPECT_NE(id, -1);
        return id;
    }

    bool PumpUntilEvents(int count)
    {
        return PumpEventsUntil([&] { return *events_ >= count; }, kEventWait);
    }

    TempFolder home_;
    ScopedEnvironment environment_;
    std::unique_ptr<PrivateSessionBus> bus_;
    std::unique_ptr<FakeNotificationServer> server_;
    std::unique_ptr<toast::ToastManager> manager_;
    std::shared_ptr<int> events_ = std::make_shared<int>(0);
};

TEST_F(NotificationServiceTest, ProgramNotificationBecomesThisNotifyCall)
{
    StartServer();
    ASSERT_TRUE(manager_->Init());
    EXPECT_EQ(desktop::CurrentProcessExplicitAppUserModelID(), L"Pelvane APP'ID");
    EXPECT_NE(
        ReadFileBytes(home_.path() / "data/applications/Pelvane.desktop").find("\nX-AppUserModel-ID=Pelvane APP'ID\n"),
        std::string::npos);

    ToastTemplate content(1);
    content.lines[0] = L"Pelvane安装成功";
    content.imageFile = L"/opt/merro/QVLogo.png";
    Show(content);

    const auto calls = server_->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].app_name, "Pelvane");
    EXPECT_EQ(calls[0].replaces_id, 0u);
    EXPECT_EQ(calls[0].app_icon, "");
    EXPECT_EQ(calls[0].summary, "Pelvane安装成功");
    EXPECT_EQ(calls[0].body, "");
    EXPECT_EQ(calls[0].actions, (Strings{"default", ""}));
    EXPECT_EQ(calls[0].hints,
              (Hints{{"desktop-entry", "s:Pelvane"}, {"image-path", "s:file:///opt/merro/QVLogo.png"}}));
    EXPECT_EQ(calls[0].expire_timeout, -1);
}

TEST_F(NotificationServiceTest, ActionsAttributionSoundScenarioAndExpiryReachTheServer)
{
    StartServer();
    ASSERT_TRUE(manager_->Init());
    ToastTemplate content(7);
    content.lines = {L"标题", L"second", L""};
    content.attribution = L"via Pelvane";
    content.actionLabels = {L"打开", L"忽略"};
    content.soundFile = L"/usr/share/sounds/alarm.oga";
    content.soundMode = toast::AudioMode::Silent;
    content.scenarioName = L"reminder";
    content.expiresAfterMs = 60000;
    Show(content);

    const auto calls = server_->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].summary, "标题");
    EXPECT_EQ(calls[0].body, "second\nvia Pelvane");
    EXPECT_EQ(calls[0].actions, (Strings{"default", "", "0", "打开", "1", "忽略"}));
    EXPECT_EQ(calls[0].hints, (Hints{{"desktop-entry", "s:Pelvane"},
                                     {"sound-file", "s:/usr/share/sounds/alarm.oga"},
                                     {"suppress-sound", "b:true"},
                                     {"urgency", "y:2"},
                                     {"resident", "b:true"}}));
    EXPECT_GT(calls[0].expire_timeout, 55000);
    EXPECT_LE(calls[0].expire_timeout, 60000);
}

TEST_F(NotificationServiceTest, BroadcastAndUnicastSignalsBecomeTheHandlersLines)
{
    StartServer();
    ASSERT_TRUE(manager_->Init());
    for (int i = 0; i < 4; ++i) Show(ToastTemplate(1));
    const auto calls = server_->Calls();
    ASSERT_EQ(calls.size(), 4u);

    testing::internal::CaptureStdout();
    server_->EmitNotificationClosed(calls[3].id + 100, 2, false);  // another program's notification
    server_->EmitActionInvoked(calls[0].id, "default", false);
    server_->EmitActionInvoked(calls[0].id, "1", true);
    server_->EmitNotificationClosed(calls[0].id, 1, true);
    server_->EmitNotificationClosed(calls[1].id, 2, false);
    server_->EmitNotificationClosed(calls[2].id, 3, true);
    server_->EmitNotificationClosed(calls[0].id, 2, false);  // already closed
    server_->EmitNotificationClosed(calls[3].id, 4, false);
    const bool all_arrived = PumpUntilEvents(6);
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(all_arrived);
    EXPECT_EQ(output,
              "The user clicked in this toast\n"
              "The user clicked on action #1\n"
              "The toast has timed out\n"
              "The user dismissed this toast\n"
              "The application hid the toast using ToastNotifier.hide()\n"
              "The user dismissed this toast\n");
}

TEST_F(NotificationServiceTest, HideClosesTheNotificationAndTheServerReportsItHidden)
{
    StartServer();
    ASSERT_TRUE(manager_->Init());
    const std::int64_t id = Show(ToastTemplate(1));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(manager_->Hide(id));
    const bool arrived = PumpUntilEvents(1);
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(server_->ClosedByCall(), std::vector<std::uint32_t>{server_->Calls().at(0).id});
    EXPECT_TRUE(arrived);
    EXPECT_EQ(output, "The application hid the toast using ToastNotifier.hide()\n");
}

TEST_F(NotificationServiceTest, WithoutAServerTheNotifierRefusesToShow)
{
    ASSERT_TRUE(manager_->Init());
    Show(ToastTemplate(1), ToastError::ShowFailed);
}

TEST(NotificationPlatformTest, UnreachableSessionBusMeansThePlatformIsMissing)
{
    TempFolder runtime;
    ScopedEnvironment environment;
    environment.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (runtime.path() / "no-bus").string());
    environment.Set("XDG_RUNTIME_DIR", runtime.path().string());
    toast::ToastManager manager(desktop::SystemToastPlatform());
    manager.SetApplicationName(L"Pelvane");
    manager.SetApplicationModelId(L"Pelvane APP'ID");
    ToastError error = ToastError::Ok;
    EXPECT_FALSE(manager.Init(&error));
    EXPECT_EQ(error, ToastError::PlatformMissing);
}

}  // namespace
}  // namespace notify_test
