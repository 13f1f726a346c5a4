#include "notify/update_notification.h"

#include <gtest/gtest.h>

#include "notify/toast_manager.h"
#include "notify/update_toast_handler.h"
#include "platform/base/text.h"
#include "platform/paths/executable_path.h"
#include "support/build_tree.h"
#include "support/fake_notification_server.h"
#include "support/private_session_bus.h"
#include "support/session_bus_client.h"

namespace notify_test {
namespace {

using namespace testing_support;

TEST(LogoImageFileTest, IsBesideTheExecutableOrAfterAPathWithoutSeparator)
{
    EXPECT_EQ(LogoImageFile(L"/opt/更新/merroupdate"), L"/opt/更新/QVLogo.png");
    EXPECT_EQ(LogoImageFile(L"merroupdate"), L"merroupdate/QVLogo.png");
}

TEST(LogoImageFileTest, BuildPlacesARealPngBesideTheExecutable)
{
    const std::string logo = ReadFileBytes(BuildPath("bin/QVLogo.png"));
    ASSERT_GT(logo.size(), 100u);
    EXPECT_EQ(logo.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(logo.substr(12, 4), "IHDR");
}

TEST(UpdateToastHandlerTest, EachEventWritesItsLine)
{
    UpdateToastHandler handler;
    testing::internal::CaptureStdout();
    handler.OnActivated();
    handler.OnActivatedWithAction(3);
    for (int reason : {0, 1, 2, 3, -1}) handler.OnDismissed(reason);
    handler.OnFailed();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "The user clicked in this toast\n"
              "The user clicked on action #3\n"
              "The user dismissed this toast\n"
              "The application hid the toast using ToastNotifier.hide()\n"
              "The toast has timed out\n"
              "Toast not activated\n"
              "Toast not activated\n"
              "Error showing current toast\n");
}

class ShowUpdateNotificationTest : public testing::Test {
protected:
    ShowUpdateNotificationTest()
    {
        environment_.Set("HOME", home_.path().string());
        environment_.Set("XDG_DATA_HOME", (home_.path() / "data").string());
    }
    ~ShowUpdateNotificationTest() override { toast::ToastManager::SharedInstance().HideAll(); }

    // Runs it and tells how long it held the thread.
    std::chrono::milliseconds TimedShow(const std::wstring& text)
    {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(ShowUpdateNotification(text));
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }

    TempFolder home_;
    ScopedEnvironment environment_;
};

TEST_F(ShowUpdateNotificationTest, ShowsTheTextWithTheLogoUnderTheProgramsNameThenHolds)
{
    const PrivateSessionBus bus;
    auto server = FakeNotificationServer::Start(bus.address());
    ASSERT_TRUE(server);

    EXPECT_GE(TimedShow(L"Pelvane更新成功"), std::chrono::milliseconds(5000));
    const auto calls = server->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].app_name, "Pelvane");
    EXPECT_EQ(calls[0].summary, "Pelvane更新成功");
    EXPECT_EQ(calls[0].body, "");
    EXPECT_EQ(calls[0].hints.at("image-path"),
              "s:file://" + platform::WideToUtf8(LogoImageFile(platform::ExecutablePath())));
    EXPECT_EQ(calls[0].expire_timeout, -1);
    EXPECT_NE(
        ReadFileBytes(home_.path() / "data/applications/Pelvane.desktop").find("X-AppUserModel-ID=Pelvane APP'ID"),
        std::string::npos);
}

TEST_F(ShowUpdateNotificationTest, WithoutASessionBusNothingIsShownAndItStillHolds)
{
    environment_.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home_.path() / "no-bus").string());
    EXPECT_GE(TimedShow(L"Pelvane安装成功"), std::chrono::milliseconds(5000));
    EXPECT_FALSE(toast::ToastManager::SharedInstance().IsReady());
}

}  // namespace
}  // namespace notify_test
