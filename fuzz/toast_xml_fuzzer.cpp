// A notification template with every field taken from the input is shown
// through the manager over the scripted platform. The document handed to the
// platform must parse back and hold exactly the template's texts in the
// places the notification vocabulary gives them; the expiry must be the
// clock plus the time-out, and clicking an action must name that action.
#include <fuzzer/FuzzedDataProvider.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "notify/toast_manager.h"
#include "platform/base/text.h"
#include "support/fake_toast_platform.h"

namespace {

using fuzz_support::Require;

using toast::AudioMode;
using toast::DisplayDuration;
using toast::ToastTemplate;

constexpr std::size_t kMaxText = 400;  // enough to pass the 260-character image URL
constexpr std::int64_t kFileTimeUnitsPerMs = 10000;

std::wstring ConsumeText(FuzzedDataProvider& input)
{
    return platform::Utf8ToWide(input.ConsumeRandomLengthString(kMaxText));
}

// What the document holds for a text: the document's strings end at a NUL.
std::string Stored(const std::wstring& text)
{
    const std::string utf8 = platform::WideToUtf8(text);
    return utf8.substr(0, utf8.find('\0'));
}

ToastTemplate ConsumeTemplate(FuzzedDataProvider& input)
{
    ToastTemplate content(input.ConsumeIntegralInRange<std::int32_t>(-1, 8));
    content.expiresAfterMs = input.ConsumeIntegral<std::int64_t>();
    content.soundMode = static_cast<AudioMode>(input.ConsumeIntegralInRange<std::int32_t>(-1, 3));
    content.displayDuration = static_cast<DisplayDuration>(input.ConsumeIntegralInRange<std::int32_t>(-1, 3));
    const std::size_t actions = input.ConsumeIntegralInRange<std::size_t>(0, 4);
    for (std::wstring& line : content.lines) line = ConsumeText(input);
    content.imageFile = ConsumeText(input);
    content.soundFile = ConsumeText(input);
    content.attribution = ConsumeText(input);
    content.scenarioName = ConsumeText(input);
    for (std::size_t i = 0; i < actions; ++i) content.actionLabels.push_back(ConsumeText(input));
    return content;
}

// A platform template exists for the type, and the image URL fits.
bool CanBeShown(const ToastTemplate& content)
{
    if (content.templateType < 0 || content.templateType > 7) return false;
    return !toast::HasImage(content.templateType) || content.imageFile.size() <= 251;
}

std::vector<std::string> ChildNames(pugi::xml_node node)
{
    std::vector<std::string> names;
    for (pugi::xml_node child : node.children()) names.emplace_back(child.name());
    return names;
}

void CheckTexts(pugi::xml_node binding, const ToastTemplate& content, bool modern)
{
    std::vector<pugi::xml_node> texts;
    for (pugi::xml_node text : binding.children("text")) texts.push_back(text);
    const bool attributed = modern && !content.attribution.empty();
    Require(texts.size() == content.lines.size() + (attributed ? 1 : 0));
    for (std::size_t i = 0; i < content.lines.size(); ++i) {
        Require(texts[i].child_value() == Stored(content.lines[i]));
        Require(!texts[i].attribute("placement"));
    }
    if (attributed) {
        Require(std::string(texts.back().attribute("placement").value()) == "attribution");
        Require(texts.back().child_value() == Stored(content.attribution));
    }

    pugi::xml_node image = binding.child("image");
    Require(static_cast<bool>(image) == toast::HasImage(content.templateType));
    if (image) Require(image.attribute("src").value() == "file:///" + Stored(content.imageFile));
}

void CheckActions(pugi::xml_node actions, const ToastTemplate& content)
{
    std::size_t j = 0;
    for (pugi::xml_node action : actions.children()) {
        Require(std::string(action.name()) == "action" && j < content.actionLabels.size());
        Require(action.attribute("content").value() == Stored(content.actionLabels[j]));
        Require(action.attribute("arguments").value() == std::to_string(j));
        ++j;
    }
    Require(j == content.actionLabels.size());
}

void CheckAudio(pugi::xml_node audio, const ToastTemplate& content)
{
    std::vector<std::string> names;
    for (pugi::xml_attribute attribute : audio.attributes()) names.emplace_back(attribute.name());
    std::vector<std::string> expected;
    if (!content.soundFile.empty()) expected.emplace_back("src");
    if (content.soundMode == AudioMode::Loop) expected.emplace_back("loop");
    if (content.soundMode == AudioMode::Silent) expected.emplace_back("silent");
    Require(names == expected);
    if (!content.soundFile.empty()) Require(audio.attribute("src").value() == Stored(content.soundFile));
    for (const char* flag : {"loop", "silent"}) {
        if (audio.attribute(flag)) Require(std::string(audio.attribute(flag).value()) == "true");
    }
}

void CheckRoot(pugi::xml_node toast, const ToastTemplate& content, bool modern)
{
    const bool has_actions = modern && !content.actionLabels.empty();
    const bool has_audio = modern && (!content.soundFile.empty() || content.soundMode != AudioMode::Default);
    std::vector<std::string> children = {"visual"};
    if (has_actions) children.emplace_back("actions");
    if (has_audio) children.emplace_back("audio");
    Require(ChildNames(toast) == children);
    if (has_actions) CheckActions(toast.child("actions"), content);
    if (has_audio) CheckAudio(toast.child("audio"), content);

    std::string duration;
    if (has_actions) duration = "long";
    if (modern && content.displayDuration != DisplayDuration::System) {
        duration = content.displayDuration == DisplayDuration::Short ? "short" : "long";
    }
    Require(toast.attribute("duration").value() == duration);
    Require(static_cast<bool>(toast.attribute("duration")) == !duration.empty());
    Require(toast.attribute("template").value() == std::string(has_actions ? "ToastGeneric" : ""));
    Require(static_cast<bool>(toast.attribute("scenario")) == modern);
    if (modern) Require(toast.attribute("scenario").value() == Stored(content.scenarioName));
}

void CheckDocument(const std::string& xml, const ToastTemplate& content, bool modern)
{
    // Escapes decoded and white space kept, nothing else normalised: the
    // parsed texts must be the stored ones byte for byte.
    pugi::xml_document document;
    Require(
        document.load_buffer(xml.data(), xml.size(), pugi::parse_escapes | pugi::parse_ws_pcdata, pugi::encoding_utf8));
    Require(ChildNames(document) == std::vector<std::string>{"toast"});
    pugi::xml_node toast = document.document_element();
    CheckRoot(toast, content, modern);
    Require(ChildNames(toast.child("visual")) == std::vector<std::string>{"binding"});
    CheckTexts(toast.child("visual").child("binding"), content, modern);
}

// The clock plus the time-out, held to the clock's range.
std::int64_t ExpectedExpiry(std::int64_t now, std::int64_t after_ms)
{
    __extension__ using Int128 = __int128;
    if (after_ms <= 0) return 0;
    const Int128 exact = Int128{now} + Int128{after_ms} * kFileTimeUnitsPerMs;
    return static_cast<std::int64_t>(std::min<Int128>(exact, std::numeric_limits<std::int64_t>::max()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    testing_support::FakeToastPlatform platform;
    platform.major_version = input.ConsumeIntegralInRange<std::uint32_t>(5, 11);
    const bool modern = platform.major_version > 6;
    const ToastTemplate content = ConsumeTemplate(input);
    auto log = std::make_shared<testing_support::RecordingHandler::Log>();
    {
        toast::ToastManager manager(platform);
        manager.SetApplicationName(L"Pelvane");
        manager.SetApplicationModelId(L"Pelvane APP'ID");
        manager.SetShortcutMode(toast::ShortcutMode::None);
        Require(manager.Init());

        toast::ToastError error = toast::ToastError::Ok;
        const std::int64_t id = manager.Show(content, new testing_support::RecordingHandler(log), &error);
        if (!CanBeShown(content)) {
            Require(id == -1 && platform.notifications.empty() && log->deleted == 1);
            return 0;
        }
        Require(id == 0x1234 && error == toast::ToastError::Ok && platform.shown.size() == 1);
        CheckDocument(platform.shown[0], content, modern);

        const auto notification = platform.notifications[0].lock();
        Require(notification && notification->activated.size() == 1);
        const std::int64_t expiry = ExpectedExpiry(platform.now, content.expiresAfterMs);
        Require(notification->expiry.value_or(0) == expiry);
        Require(notification->expiry.has_value() == (content.expiresAfterMs > 0));

        // The platform hands back the arguments of the clicked action.
        for (std::size_t j = 0; modern && j < content.actionLabels.size(); ++j) {
            notification->activated[0](std::to_wstring(j));
            Require(log->events.back() == "action " + std::to_string(j));
        }
    }
    Require(log->deleted == 1);  // released with the notification
    return 0;
}
