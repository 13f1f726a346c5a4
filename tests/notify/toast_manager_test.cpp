#include "notify/toast_manager.h"

#include <gtest/gtest.h>

#include "support/fake_toast_platform.h"

namespace notify_test {
namespace {

using namespace testing_support;

using toast::ShortcutMode;
using toast::ShortcutOutcome;
using toast::ToastError;
using toast::ToastManager;
using toast::ToastTemplate;
namespace hresult = platform::hresult;

constexpr wchar_t kShortcut[] = L"/home/user/.local/share/applications/Pelvane.lnk";
constexpr std::int64_t kUnitsPerMs = 10000;

class ToastManagerTest : public testing::Test {
protected:
    ToastManagerTest()
    {
        manager_.SetApplicationName(L"Pelvane");
        manager_.SetApplicationModelId(L"Pelvane APP'ID");
    }

    RecordingHandler* NewHandler() { return new RecordingHandler(log_); }

    // Init, then Show of a plain type-1 notification; the notification the platform made.
    std::shared_ptr<FakeNotification> ShowOne(const ToastTemplate& content, std::int64_t* id = nullptr)
    {
        EXPECT_TRUE(manager_.Init());
        ToastError error = ToastError::NotReady;
        const std::int64_t shown = manager_.Show(content, NewHandler(), &error);
        EXPECT_EQ(error, ToastError::Ok);
        if (id) *id = shown;
        return fake_.notifications.empty() ? nullptr : fake_.notifications.back().lock();
    }

    FakeToastPlatform fake_;
    ToastManager manager_{fake_};
    std::shared_ptr<RecordingHandler::Log> log_ = std::make_shared<RecordingHandler::Log>();
};

TEST_F(ToastManagerTest, InitChecksPlatformFirstThenParametersBeforeTouchingTheShortcut)
{
    ToastManager unnamed(fake_);
    fake_.present = false;
    ToastError error = ToastError::Ok;
    EXPECT_FALSE(unnamed.Init(&error));
    EXPECT_EQ(error, ToastError::PlatformMissing);

    fake_.present = true;
    EXPECT_FALSE(unnamed.Init(&error));
    EXPECT_EQ(error, ToastError::MissingParameters);
    unnamed.SetApplicationName(L"Pelvane");
    EXPECT_FALSE(unnamed.Init(&error));
    EXPECT_EQ(error, ToastError::MissingParameters);
    EXPECT_EQ(fake_.shortcut_calls, 0);
    EXPECT_EQ(fake_.com_inits, 0);
    EXPECT_FALSE(unnamed.IsReady());
}

TEST_F(ToastManagerTest, InitSetsTheIdentityAndAFailingInitClearsReadiness)
{
    ToastError error = ToastError::NotReady;
    EXPECT_TRUE(manager_.Init(&error));
    EXPECT_EQ(error, ToastError::Ok);
    EXPECT_TRUE(manager_.IsReady());
    EXPECT_EQ(fake_.identity, L"Pelvane APP'ID");

    fake_.identity_result = hresult::kInvalidArgument;
    EXPECT_FALSE(manager_.Init(&error));
    EXPECT_EQ(error, ToastError::IdentityRejected);
    EXPECT_FALSE(manager_.IsReady());
}

TEST_F(ToastManagerTest, InitFailsWithShortcutFailedBeforeSettingTheIdentity)
{
    fake_.create_result = hresult::kAccessDenied;
    ToastError error = ToastError::Ok;
    EXPECT_FALSE(manager_.Init(&error));
    EXPECT_EQ(error, ToastError::ShortcutFailed);
    EXPECT_TRUE(fake_.identity.empty());
}

TEST_F(ToastManagerTest, ShortcutModeNoneNeverTouchesComOrTheFile)
{
    manager_.SetShortcutMode(ShortcutMode::None);
    EXPECT_TRUE(manager_.Init());
    EXPECT_EQ(fake_.com_inits, 0);
    EXPECT_EQ(fake_.shortcut_calls, 0);
}

TEST_F(ToastManagerTest, CheckOnlyFailsOnAMissingOrDifferingShortcutAndWritesNothing)
{
    manager_.SetShortcutMode(ShortcutMode::CheckOnly);
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::CreateFailed);
    EXPECT_TRUE(fake_.shortcuts.empty());

    fake_.shortcuts[kShortcut].id = L"pelvane app'id";
    ToastError error = ToastError::Ok;
    EXPECT_FALSE(manager_.Init(&error));
    EXPECT_EQ(error, ToastError::ShortcutFailed);
    EXPECT_EQ(fake_.shortcuts[kShortcut].id, L"pelvane app'id");

    fake_.shortcuts[kShortcut].id = L"Pelvane APP'ID";
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::Unchanged);
}

TEST_F(ToastManagerTest, CreateOrRepairCreatesThenRepairsCaseSensitively)
{
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::Created);
    const FakeShortcut& created = fake_.shortcuts.at(kShortcut);
    EXPECT_EQ(created.id, L"Pelvane APP'ID");
    EXPECT_EQ(created.link.name, L"Pelvane");
    EXPECT_EQ(created.link.target, L"/opt/merro/merroupdate");
    EXPECT_EQ(created.link.arguments, L"");
    EXPECT_EQ(created.link.working_directory, L"/opt/merro");
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::Unchanged);

    fake_.shortcuts[kShortcut].id = L"Pelvane APP'Id";
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::Repaired);
    EXPECT_EQ(fake_.shortcuts[kShortcut].id, L"Pelvane APP'ID");

    fake_.shortcuts[kShortcut].id.reset();  // no identifier that converts to text
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::Repaired);
    EXPECT_EQ(fake_.shortcuts[kShortcut].id, L"Pelvane APP'ID");
}

TEST_F(ToastManagerTest, UnreadableShortcutIsWrittenAnewAndUnwritableOneFails)
{
    fake_.shortcuts[kShortcut].id = L"other";
    fake_.read_result = hresult::kAccessDenied;
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::Created);

    fake_.read_result = hresult::kOk;
    fake_.shortcuts[kShortcut].id = L"other";
    fake_.write_result = hresult::kAccessDenied;
    fake_.create_result = hresult::kAccessDenied;
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::CreateFailed);
}

TEST_F(ToastManagerTest, ShortcutPathOutsideTheLimitsFails)
{
    fake_.shortcut_folder.clear();  // the environment names no folder
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::CreateFailed);

    fake_.shortcut_folder = L"/" + std::wstring(250, L'f') + L"/";  // 252 + "Pelvane.lnk" > 259
    const int calls = fake_.shortcut_calls;
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::CreateFailed);
    EXPECT_EQ(fake_.shortcut_calls, calls);
    EXPECT_TRUE(fake_.shortcuts.empty());
}

TEST_F(ToastManagerTest, EnsureShortcutOutcomesForMissingParametersPlatformAndCom)
{
    ToastManager unnamed(fake_);
    EXPECT_EQ(unnamed.EnsureShortcut(), ShortcutOutcome::MissingParameters);

    fake_.present = false;
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::PlatformMissing);
    fake_.present = true;

    fake_.com_result = static_cast<HResult>(0x80004005);
    EXPECT_EQ(manager_.EnsureShortcut(), ShortcutOutcome::ComFailed);
}

TEST_F(ToastManagerTest, ComIsInitialisedOnceAndUninitialisedOnlyWhenOwned)
{
    {
        ToastManager changed_mode(fake_);
        changed_mode.SetApplicationName(L"Pelvane");
        changed_mode.SetApplicationModelId(L"Pelvane APP'ID");
        fake_.com_result = hresult::kChangedMode;  // the thread keeps its model
        EXPECT_EQ(changed_mode.EnsureShortcut(), ShortcutOutcome::Created);
        EXPECT_EQ(changed_mode.EnsureShortcut(), ShortcutOutcome::Unchanged);
        EXPECT_EQ(fake_.com_inits, 2);
    }
    EXPECT_EQ(fake_.com_uninits, 0);

    fake_.com_inits = 0;
    fake_.com_result = hresult::kFalse;
    {
        ToastManager owning(fake_);
        owning.SetApplicationName(L"Pelvane");
        owning.SetApplicationModelId(L"Pelvane APP'ID");
        owning.EnsureShortcut();
        owning.EnsureShortcut();
        EXPECT_EQ(fake_.com_inits, 1);
    }
    EXPECT_EQ(fake_.com_uninits, 1);
}

TEST_F(ToastManagerTest, ShowBeforeInitOrWithoutHandlerReportsAndFreesTheHandler)
{
    ToastError error = ToastError::Ok;
    EXPECT_EQ(manager_.Show(ToastTemplate(1), NewHandler(), &error), -1);
    EXPECT_EQ(error, ToastError::NotReady);
    EXPECT_EQ(log_->deleted, 1);

    ASSERT_TRUE(manager_.Init());
    EXPECT_EQ(manager_.Show(ToastTemplate(1), nullptr, &error), -1);
    EXPECT_EQ(error, ToastError::NoHandler);
    EXPECT_TRUE(fake_.notifier_ids.empty());
}

TEST_F(ToastManagerTest, PlatformFailuresInShowGiveNoIdAndLeaveTheErrorOk)
{
    ASSERT_TRUE(manager_.Init());
    ToastTemplate expiring(1);
    expiring.expiresAfterMs = 1000;
    const auto fail_with = [&](HResult FakeToastPlatform::*field) {
        fake_.*field = hresult::kFail;
        ToastError error = ToastError::NotReady;
        const std::int64_t id = manager_.Show(expiring, NewHandler(), &error);
        fake_.*field = hresult::kOk;
        return id == -1 && error == ToastError::Ok;
    };
    EXPECT_TRUE(fail_with(&FakeToastPlatform::notifier_result));
    EXPECT_TRUE(fail_with(&FakeToastPlatform::template_result));
    EXPECT_TRUE(fail_with(&FakeToastPlatform::notification_result));
    EXPECT_TRUE(fail_with(&FakeToastPlatform::expiration_result));
    EXPECT_TRUE(fail_with(&FakeToastPlatform::guid_result));
    EXPECT_TRUE(fake_.shown.empty());
    EXPECT_EQ(log_->deleted, 5);

    ToastTemplate long_image(1);
    long_image.imageFile = std::wstring(252, L'x');
    EXPECT_EQ(manager_.Show(long_image, NewHandler()), -1);

    fake_.dismissed_result = hresult::kFail;
    ToastError error = ToastError::Ok;
    EXPECT_EQ(manager_.Show(ToastTemplate(1), NewHandler(), &error), -1);
    EXPECT_EQ(error, ToastError::NoHandler);
}

TEST_F(ToastManagerTest, IdIsTheGuidsFirstFieldAndIsReturnedWhenShowingFails)
{
    fake_.guids = {0xFFFFFFFFu};
    fake_.show_result = hresult::kFail;
    ASSERT_TRUE(manager_.Init());
    ToastError error = ToastError::Ok;
    const std::int64_t id = manager_.Show(ToastTemplate(1), NewHandler(), &error);
    EXPECT_EQ(id, 4294967295);
    EXPECT_EQ(error, ToastError::ShowFailed);
    EXPECT_EQ(fake_.shown.size(), 1u);

    EXPECT_TRUE(manager_.Hide(id));
    EXPECT_EQ(fake_.hidden.size(), 1u);
    EXPECT_FALSE(manager_.Hide(id));
    EXPECT_EQ(fake_.hidden.size(), 1u);
}

TEST_F(ToastManagerTest, SameIdReplacesTheEarlierNotification)
{
    fake_.guids = {42, 42};
    ToastTemplate first(1);
    first.lines[0] = L"first";
    ToastTemplate second(1);
    second.lines[0] = L"second";
    ShowOne(first);
    ShowOne(second);
    EXPECT_TRUE(fake_.notifications[0].expired());
    EXPECT_EQ(log_->deleted, 1);  // with the earlier notification went its handler

    manager_.HideAll();
    ASSERT_EQ(fake_.hidden.size(), 1u);
    EXPECT_NE(fake_.hidden[0].find("second"), std::string::npos);
}

TEST_F(ToastManagerTest, HideNeedsReadinessAStoredIdAndANotifier)
{
    std::int64_t id = 0;
    fake_.guids = {7};
    ShowOne(ToastTemplate(1), &id);
    EXPECT_FALSE(manager_.Hide(8));

    fake_.notifier_result = hresult::kFail;
    EXPECT_FALSE(manager_.Hide(id));
    fake_.notifier_result = hresult::kOk;

    fake_.hide_result = hresult::kFail;
    EXPECT_FALSE(manager_.Hide(id));  // refused, but forgotten all the same
    fake_.hide_result = hresult::kOk;
    EXPECT_FALSE(manager_.Hide(id));
    EXPECT_EQ(fake_.hidden.size(), 1u);

    ToastManager unready(fake_);
    EXPECT_FALSE(unready.Hide(id));
}

TEST_F(ToastManagerTest, HideAllHidesInAscendingIdOrderWithoutReadiness)
{
    fake_.guids = {30, 10, 20};
    for (const wchar_t* line : {L"thirty", L"ten", L"twenty"}) {
        ToastTemplate content(1);
        content.lines[0] = line;
        ShowOne(content);
    }
    fake_.identity_result = hresult::kFail;
    EXPECT_FALSE(manager_.Init());
    manager_.HideAll();
    ASSERT_EQ(fake_.hidden.size(), 3u);
    EXPECT_NE(fake_.hidden[0].find("ten"), std::string::npos);
    EXPECT_NE(fake_.hidden[1].find("twenty"), std::string::npos);
    EXPECT_NE(fake_.hidden[2].find("thirty"), std::string::npos);
    manager_.HideAll();
    EXPECT_EQ(fake_.hidden.size(), 3u);
    EXPECT_EQ(log_->deleted, 3);
}

TEST_F(ToastManagerTest, WindowsSixShowsOnlyTextAndImage)
{
    fake_.major_version = 6;
    ToastTemplate content(1);
    content.lines[0] = L"line";
    content.imageFile = L"/logo.png";
    content.attribution = L"via";
    content.actionLabels = {L"open"};
    content.soundMode = toast::AudioMode::Silent;
    content.displayDuration = toast::DisplayDuration::Short;
    content.scenarioName = L"alarm";
    ShowOne(content);
    ASSERT_EQ(fake_.shown.size(), 1u);
    EXPECT_EQ(fake_.shown[0],
              "<toast><visual><binding template=\"ToastImageAndText02\"><image id=\"1\" src=\"file:////logo.png\">"
              "</image><text id=\"1\">line</text><text id=\"2\"></text></binding></visual></toast>");
}

TEST_F(ToastManagerTest, ExpirationIsNowPlusTheDelayInFileTimeUnits)
{
    ToastTemplate content(1);
    content.expiresAfterMs = 1500;
    auto notification = ShowOne(content);
    ASSERT_TRUE(notification);
    EXPECT_EQ(notification->expiry, fake_.now + 1500 * kUnitsPerMs);

    auto unexpiring = ShowOne(ToastTemplate(1));
    EXPECT_FALSE(unexpiring->expiry.has_value());
}

TEST_F(ToastManagerTest, UserDismissalAtOrAfterTheExpiryCountsAsTimedOut)
{
    ToastTemplate content(1);
    content.expiresAfterMs = 1000;
    auto notification = ShowOne(content);
    ASSERT_TRUE(notification);
    ASSERT_EQ(notification->dismissed.size(), 1u);
    const std::int64_t expiry = *notification->expiry;
    auto& dismiss = notification->dismissed[0];

    fake_.now = expiry - 1;
    dismiss(0);
    fake_.now = expiry;
    dismiss(0);
    fake_.now = expiry + 1;
    dismiss(0);
    dismiss(1);
    dismiss(std::nullopt);  // the reason could not be read
    EXPECT_EQ(log_->events, (std::vector<std::string>{"dismissed 0", "dismissed 2", "dismissed 2", "dismissed 1"}));

    log_->events.clear();
    auto unexpiring = ShowOne(ToastTemplate(1));
    fake_.now += 1'000'000'000;
    unexpiring->dismissed[0](0);
    EXPECT_EQ(log_->events, (std::vector<std::string>{"dismissed 0"}));
}

TEST_F(ToastManagerTest, ActivationArgumentsParseAsNumbersAndEmptyMeansPlainActivation)
{
    auto notification = ShowOne(ToastTemplate(1));
    ASSERT_TRUE(notification);
    ASSERT_EQ(notification->activated.size(), 1u);
    auto& activate = notification->activated[0];
    activate(std::wstring(L"3"));
    activate(std::wstring(L"abc"));
    activate(std::wstring(L"  -2x"));
    activate(std::wstring());
    activate(std::nullopt);
    notification->failed[0]();
    EXPECT_EQ(log_->events,
              (std::vector<std::string>{"action 3", "action 0", "action -2", "activated", "activated", "failed"}));
}

TEST_F(ToastManagerTest, HandlerLivesWhileTheNotificationHoldsItsDelegates)
{
    std::int64_t id = 0;
    auto notification = ShowOne(ToastTemplate(1), &id);
    EXPECT_TRUE(manager_.Hide(id));
    EXPECT_EQ(log_->deleted, 0);  // still held here
    notification->dismissed[0](1);
    EXPECT_EQ(log_->events, (std::vector<std::string>{"dismissed 1"}));
    notification.reset();
    EXPECT_EQ(log_->deleted, 1);
}

TEST_F(ToastManagerTest, EachNotificationKeepsItsOwnHandler)
{
    auto first_log = std::make_shared<RecordingHandler::Log>();
    ASSERT_TRUE(manager_.Init());
    fake_.guids = {1, 2};
    manager_.Show(ToastTemplate(1), new RecordingHandler(first_log));
    manager_.Show(ToastTemplate(1), NewHandler());
    fake_.notifications[0].lock()->activated[0](std::wstring());
    EXPECT_EQ(first_log->events, (std::vector<std::string>{"activated"}));
    EXPECT_TRUE(log_->events.empty());
}

}  // namespace
}  // namespace notify_test
