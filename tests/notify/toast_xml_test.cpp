#include "notify/toast_xml.h"

#include <gtest/gtest.h>

#include "desktop/toast/toast_template_content.h"
#include "notify/toast_content.h"

namespace notify_test {
namespace {

using desktop::XmlDocument;
using toast::ToastTemplate;
namespace hresult = platform::hresult;

constexpr char kOpenTemplate[] = R"(<toast><visual><binding template="ToastImageAndText02">)";
constexpr char kEmptyImage[] = R"(<image id="1" src=""></image>)";
constexpr char kEmptyLines[] = R"(<text id="1"></text><text id="2"></text>)";
constexpr char kClose[] = "</binding></visual></toast>";

std::unique_ptr<XmlDocument> Template(std::int32_t type)
{
    std::unique_ptr<XmlDocument> document;
    EXPECT_EQ(desktop::GetTemplateContent(type, document), hresult::kOk);
    return document;
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(ToastXmlTest, ProgramTemplateChangesTheDocumentInFourPlaces)
{
    ToastTemplate content(1);
    content.lines[0] = L"Pelvane安装成功";
    content.imageFile = L"/opt/merro/QVLogo.png";
    auto document = Template(1);
    ASSERT_EQ(toast::WriteTemplate(*document, content, 10), hresult::kOk);
    EXPECT_EQ(document->GetXml(),
              "<toast scenario=\"Default\"><visual><binding template=\"ToastImageAndText02\">"
              "<image id=\"1\" src=\"file:////opt/merro/QVLogo.png\"></image>"
              "<text id=\"1\">Pelvane安装成功</text><text id=\"2\"></text>" +
                  std::string(kClose));
}

TEST(ToastXmlTest, TwoActionsGetArgumentsZeroAndOneAndSwitchToTheGenericTemplate)
{
    ToastTemplate content(1);
    content.actionLabels = {L"打开", L"稍后"};
    auto document = Template(1);
    ASSERT_EQ(toast::WriteTemplate(*document, content, 10), hresult::kOk);
    EXPECT_EQ(document->GetXml(),
              "<toast template=\"ToastGeneric\" duration=\"long\" scenario=\"Default\">"
              "<visual><binding template=\"ToastImageAndText02\"><image id=\"1\" src=\"file:///\"></image>" +
                  std::string(kEmptyLines) +
                  "</binding></visual><actions><action content=\"打开\" arguments=\"0\"></action>"
                  "<action content=\"稍后\" arguments=\"1\"></action></actions></toast>");
}

TEST(ToastXmlTest, ShortDurationAfterActionsWins)
{
    ToastTemplate content(4);
    content.actionLabels = {L"a", L"b"};
    content.displayDuration = toast::DisplayDuration::Short;
    auto document = Template(4);
    ASSERT_EQ(toast::WriteTemplate(*document, content, 10), hresult::kOk);
    const std::string xml = document->GetXml();
    EXPECT_NE(xml.find(R"(<toast template="ToastGeneric" duration="short" scenario="Default">)"), std::string::npos);
    EXPECT_EQ(Count(xml, "<actions>"), 1u);

    content.displayDuration = static_cast<toast::DisplayDuration>(7);  // counts as Long
    auto other = Template(4);
    ASSERT_EQ(toast::WriteTemplate(*other, content, 10), hresult::kOk);
    EXPECT_NE(other->GetXml().find(R"(duration="long")"), std::string::npos);
}

TEST(ToastXmlTest, EmptyScenarioStillWritesTheAttribute)
{
    auto document = Template(1);
    ASSERT_EQ(toast::SetToastScenario(*document, L""), hresult::kOk);
    EXPECT_EQ(document->GetXml(), "<toast scenario=\"\"><visual><binding template=\"ToastImageAndText02\">" +
                                      std::string(kEmptyImage) + kEmptyLines + kClose);
}

TEST(ToastXmlTest, AttributionIsOneMoreTextElementAfterTheTemplateLines)
{
    ToastTemplate content(1);
    content.lines = {L"one", L"two"};
    content.attribution = L"来自 Pelvane";
    auto document = Template(1);
    ASSERT_EQ(toast::WriteTemplate(*document, content, 10), hresult::kOk);
    EXPECT_EQ(document->GetXml(),
              "<toast scenario=\"Default\">" + std::string(kOpenTemplate).substr(7) +
                  "<image id=\"1\" src=\"file:///\"></image><text id=\"1\">one</text><text id=\"2\">two</text>"
                  "<text placement=\"attribution\">来自 Pelvane</text>" +
                  kClose);
}

TEST(ToastXmlTest, SilentAudioWithoutFileAndLoopingAudioWithFile)
{
    auto silent = Template(1);
    ASSERT_EQ(toast::SetSound(*silent, L"", toast::AudioMode::Silent), hresult::kOk);
    EXPECT_EQ(silent->GetXml(), std::string(kOpenTemplate) + kEmptyImage + kEmptyLines +
                                    "</binding></visual><audio silent=\"true\"></audio></toast>");

    auto looping = Template(1);
    ASSERT_EQ(toast::SetSound(*looping, L"ms-winsoundevent:Notification.Looping.Alarm", toast::AudioMode::Loop),
              hresult::kOk);
    EXPECT_EQ(looping->GetXml(),
              std::string(kOpenTemplate) + kEmptyImage + kEmptyLines +
                  "</binding></visual><audio src=\"ms-winsoundevent:Notification.Looping.Alarm\" loop=\"true\">"
                  "</audio></toast>");
}

TEST(ToastXmlTest, ImagePathOf251CharactersFitsAnd252Fails)
{
    const std::wstring fits = L"/" + std::wstring(250, L'a');
    auto document = Template(1);
    ASSERT_EQ(toast::SetImageSource(*document, fits), hresult::kOk);
    EXPECT_NE(document->GetXml().find("src=\"file:///" + std::string(1, '/') + std::string(250, 'a') + "\""),
              std::string::npos);

    auto untouched = Template(1);
    const std::string before = untouched->GetXml();
    EXPECT_EQ(toast::SetImageSource(*untouched, fits + L"a"), static_cast<platform::HResult>(0x8007007A));
    EXPECT_EQ(untouched->GetXml(), before);
}

TEST(ToastXmlTest, ImageSourceFailuresInTheDocumentAreNotReported)
{
    auto text_only = Template(4);
    const std::string before = text_only->GetXml();
    EXPECT_EQ(toast::SetImageSource(*text_only, L"/logo.png"), hresult::kOk);
    EXPECT_EQ(text_only->GetXml(), before);
}

TEST(ToastXmlTest, TextValuesAppendAfterExistingContent)
{
    auto document = Template(1);
    ASSERT_EQ(toast::SetTextLine(*document, L"a&b", 1), hresult::kOk);
    ASSERT_EQ(toast::SetTextLine(*document, L"<c>", 1), hresult::kOk);
    EXPECT_NE(document->GetXml().find("<text id=\"2\">a&amp;b&lt;c&gt;</text>"), std::string::npos);
    EXPECT_TRUE(platform::Failed(toast::SetTextLine(*document, L"none", 2)));
}

TEST(ToastXmlTest, EveryTemplateTypeHasItsLineCountOfTextElementsAndImagesUpToType3)
{
    for (std::int32_t type = 0; type < 8; ++type) {
        const std::string xml = Template(type)->GetXml();
        EXPECT_EQ(Count(xml, "<text "), toast::TextLineCount(type)) << type;
        EXPECT_EQ(Count(xml, "<image "), toast::HasImage(type) ? 1u : 0u) << type;
        EXPECT_EQ(ToastTemplate(type).lines.size(), toast::TextLineCount(type));
    }
    std::unique_ptr<XmlDocument> none;
    EXPECT_EQ(desktop::GetTemplateContent(8, none), hresult::kInvalidArgument);
    EXPECT_EQ(desktop::GetTemplateContent(-1, none), hresult::kInvalidArgument);
    EXPECT_FALSE(none);
}

TEST(ToastXmlTest, AppendChildElementGivesEachNamedAttributeAndStopsWithoutAParent)
{
    auto document = Template(5);
    ASSERT_EQ(toast::AppendChildElement(*document, L"visual", L"extra", {L"one", L"two"}), hresult::kOk);
    EXPECT_NE(document->GetXml().find("<extra one=\"\" two=\"\"></extra></visual>"), std::string::npos);
    EXPECT_TRUE(platform::Failed(toast::AppendChildElement(*document, L"missing", L"extra", {})));
}

TEST(ToastXmlTest, DefaultTemplateOnWindowsSixOrWithoutExtrasAddsOnlyTheScenario)
{
    ToastTemplate content(5);
    content.lines = {L"a", L"b"};
    auto modern = Template(5);
    ASSERT_EQ(toast::WriteTemplate(*modern, content, 10), hresult::kOk);
    EXPECT_EQ(modern->GetXml(),
              "<toast scenario=\"Default\"><visual><binding template=\"ToastText02\">"
              "<text id=\"1\">a</text><text id=\"2\">b</text></binding></visual></toast>");
    auto legacy = Template(5);
    ASSERT_EQ(toast::WriteTemplate(*legacy, content, 6), hresult::kOk);
    EXPECT_EQ(legacy->GetXml(),
              "<toast><visual><binding template=\"ToastText02\">"
              "<text id=\"1\">a</text><text id=\"2\">b</text></binding></visual></toast>");
}

}  // namespace
}  // namespace notify_test
