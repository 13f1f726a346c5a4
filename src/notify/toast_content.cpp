#include "notify/toast_content.h"

#include <string>

#include "notify/toast_xml.h"

namespace toast {
namespace {

using platform::Failed;
using platform::HResult;

// Attribution, actions, audio, duration and scenario: what systems after
// Windows 7 understand.
HResult WriteModernParts(desktop::XmlDocument& document, const ToastTemplate& content)
{
    HResult result = platform::hresult::kOk;
    if (!content.attribution.empty()) result = SetAttribution(document, content.attribution);
    for (std::size_t j = 0; j < content.actionLabels.size() && !Failed(result); ++j) {
        result = AddActionButton(document, content.actionLabels[j], std::to_wstring(j));
    }
    if (Failed(result)) return result;

    if (!content.soundFile.empty() || content.soundMode != AudioMode::Default) {
        result = SetSound(document, content.soundFile, content.soundMode);
        if (Failed(result)) return result;
    }
    if (content.displayDuration != DisplayDuration::System) {
        result = SetToastDuration(document, content.displayDuration == DisplayDuration::Short ? L"short" : L"long");
        if (Failed(result)) return result;
    }
    return SetToastScenario(document, content.scenarioName);
}

}  // namespace

HResult WriteTemplate(desktop::XmlDocument& document, const ToastTemplate& content, std::uint32_t major_version)
{
    HResult result = platform::hresult::kOk;
    for (std::size_t i = 0; i < content.lines.size(); ++i) {
        result = SetTextLine(document, content.lines[i], i);
        if (Failed(result)) return result;
    }
    if (major_version > 6) {
        result = WriteModernParts(document, content);
        if (Failed(result)) return result;
    }
    if (HasImage(content.templateType)) result = SetImageSource(document, content.imageFile);
    return result;
}

}  // namespace toast
