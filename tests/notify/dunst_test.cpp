// End to end against dunst, a real notification server, drawing on Xvfb
// and listening on a private session bus.
#include <gtest/gtest.h>

#include "notify/counting_handler.h"
#include "notify/toast_manager.h"
#include "platform/base/text.h"
#include "support/build_tree.h"
#include "support/fake_notification_server.h"
#include "support/private_session_bus.h"
#include "support/session_bus_client.h"

namespace notify_test {
namespace {

using namespace testing_support;

// How many notifications dunst shows now, as dunstctl prints it.
std::string DisplayedCount()
{
    const auto count = ChildProcess::Start({"dunstctl", "count", "displayed"}, {.capture_output = true});
    return count ? count->ReadLine(kEventWait).value_or("") : "";
}

class DunstTest : public testing::Test {
protected:
    void SetUp() override
    {
        environment_.Set("HOME", home_.path().string());
        environment_.Set("XDG_DATA_HOME", (home_.path() / "data").string());
        environment_.Set("XDG_CONFIG_HOME", (home_.path() / "config").string());
        bus_ = std::make_unique<PrivateSessionBus>();

        display_server_ = ChildProcess::Start(
            {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"}, {.capture_output = true});
        const auto display = display_server_ ? display_server_->ReadLine(kEventWait) : std::nullopt;
        if (!display || display->empty()) GTEST_SKIP() << "Xvfb could not start, so dunst has no display";
        environment_.Set("DISPLAY", ":" + *display);

        dunst_ = ChildProcess::Start({"dunst"});
        if (!dunst_ || !bus_->WaitForOwner("org.freedesktop.Notifications", kEventWait)) {
            GTEST_SKIP() << "dunst did not take the notification service name on the private bus";
        }
    }

    TempFolder home_;
    ScopedEnvironment environment_;
    std::unique_ptr<PrivateSessionBus> bus_;
    std::unique_ptr<ChildProcess> display_server_;
    std::unique_ptr<ChildProcess> dunst_;
};

TEST_F(DunstTest, ClosingTheNotificationInDunstIsAUserDismissal)
{
    toast::ToastManager manager(desktop::SystemToastPlatform());
    manager.SetApplicationName(L"Pelvane");
    manager.SetApplicationModelId(L"Pelvane APP'ID");
    ASSERT_TRUE(manager.Init());

    auto events = std::make_shared<int>(0);
    toast::ToastTemplate content(1);
    content.lines[0] = L"Pelvane安装成功";
    content.imageFile = platform::Utf8ToWide(testing_support::BuildPath("bin/QVLogo.png"));
    toast::ToastError error = toast::ToastError::NotReady;
    ASSERT_NE(manager.Show(content, new CountingHandler(events), &error), -1);
    ASSERT_EQ(error, toast::ToastError::Ok);
    // dunstctl closes only a notification that dunst already shows.
    ASSERT_TRUE(PumpEventsUntil([] { return DisplayedCount() == "1"; }, kEventWait)) << DisplayedCount();

    testing::internal::CaptureStdout();
    auto close = ChildProcess::Start({"dunstctl", "close"});
    const auto closed = close ? close->Wait(kEventWait) : std::nullopt;
    const bool arrived = PumpEventsUntil([&] { return *events >= 1; }, kEventWait);
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(closed, 0);
    EXPECT_TRUE(arrived);
    EXPECT_EQ(output, "The user dismissed this toast\n");
}

}  // namespace
}  // namespace notify_test
