#include "platform/notification_request.h"

#include <gtest/gtest.h>

namespace notify_test {
namespace {

TEST(NotificationRequestTest, EmptyLinesAndAnEmptyImageAddNothing)
{
    const auto request = platform::ReadNotificationRequest(
        R"(<toast><visual><binding><image src="file:///"/><text></text><text></text><text>3</text></binding></visual></toast>)");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->summary, "");
    EXPECT_EQ(request->body, "3");
    EXPECT_EQ(request->image_path, "");
    EXPECT_FALSE(request->urgent);
    EXPECT_EQ(request->actions, (std::vector<std::pair<std::string, std::string>>{{"default", ""}}));
}

TEST(NotificationRequestTest, OnlyAlarmReminderAndIncomingCallAreUrgent)
{
    for (const char* scenario : {"alarm", "reminder", "incomingCall"}) {
        const auto request = platform::ReadNotificationRequest(std::string("<toast scenario=\"") + scenario + "\"/>");
        ASSERT_TRUE(request);
        EXPECT_TRUE(request->urgent) << scenario;
    }
    EXPECT_FALSE(platform::ReadNotificationRequest("<toast scenario=\"Default\"/>")->urgent);
}

TEST(NotificationRequestTest, TextThatIsNoNotificationDocumentIsRefused)
{
    EXPECT_FALSE(platform::ReadNotificationRequest("<toast><unclosed></toast>"));
    EXPECT_FALSE(platform::ReadNotificationRequest("<other/>"));
}

}  // namespace
}  // namespace notify_test
