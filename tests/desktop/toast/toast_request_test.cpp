#include "desktop/toast/toast_request.h"

#include <gtest/gtest.h>

namespace notify_test {
namespace {

TEST(ToastRequestTest, EmptyLinesAndAnEmptyImageAddNothing)
{
    const auto request = desktop::ReadToastRequest(
        R"(<toast><visual><binding><image src="file:///"/><text></text><text></text><text>3</text></binding></visual></toast>)");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->summary, "");
    EXPECT_EQ(request->body, "3");
    EXPECT_EQ(request->image_path, "");
    EXPECT_FALSE(request->urgent);
    EXPECT_EQ(request->actions, (std::vector<std::pair<std::string, std::string>>{{"default", ""}}));
}

TEST(ToastRequestTest, OnlyAlarmReminderAndIncomingCallAreUrgent)
{
    for (const char* scenario : {"alarm", "reminder", "incomingCall"}) {
        const auto request = desktop::ReadToastRequest(std::string("<toast scenario=\"") + scenario + "\"/>");
        ASSERT_TRUE(request);
        EXPECT_TRUE(request->urgent) << scenario;
    }
    EXPECT_FALSE(desktop::ReadToastRequest("<toast scenario=\"Default\"/>")->urgent);
}

TEST(ToastRequestTest, TextThatIsNoNotificationDocumentIsRefused)
{
    EXPECT_FALSE(desktop::ReadToastRequest("<toast><unclosed></toast>"));
    EXPECT_FALSE(desktop::ReadToastRequest("<other/>"));
}

}  // namespace
}  // namespace notify_test
