#include "desktop/toast/toast_request.h"

#include <pugixml.hpp>

namespace desktop {
namespace {

constexpr std::string_view kFileUrl = "file:///";

// The image source is "file:///" followed by the path; a Linux path starts
// with its own "/", which the URL must not repeat.
std::string ImageUrl(std::string_view source)
{
    if (!source.starts_with(kFileUrl)) return std::string(source);
    std::string_view path = source.substr(kFileUrl.size());
    if (path.empty()) return {};
    while (path.starts_with('/')) path.remove_prefix(1);
    return std::string(kFileUrl) + std::string(path);
}

bool IsUrgentScenario(std::string_view scenario)
{
    return scenario == "alarm" || scenario == "reminder" || scenario == "incomingCall";
}

void AppendLine(std::string& text, std::string_view line)
{
    if (line.empty()) return;
    if (!text.empty()) text += '\n';
    text += line;
}

}  // namespace

std::optional<ToastRequest> ReadToastRequest(std::string_view xml)
{
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8)) return std::nullopt;
    const pugi::xml_node toast = document.child("toast");
    if (!toast) return std::nullopt;

    ToastRequest request;
    std::vector<std::string> lines;
    std::string attribution;
    for (const pugi::xpath_node& found : toast.select_nodes("//binding/text")) {
        const pugi::xml_node text = found.node();
        if (std::string_view(text.attribute("placement").value()) == "attribution") {
            AppendLine(attribution, text.text().get());
        } else {
            lines.emplace_back(text.text().get());
        }
    }
    if (!lines.empty()) request.summary = lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i) AppendLine(request.body, lines[i]);
    AppendLine(request.body, attribution);

    if (pugi::xml_node image = toast.select_node("//image").node())
        request.image_path = ImageUrl(image.attribute("src").value());
    if (pugi::xml_node audio = toast.select_node("//audio").node()) {
        request.sound_file = audio.attribute("src").value();
        request.suppress_sound = std::string_view(audio.attribute("silent").value()) == "true";
    }
    request.urgent = IsUrgentScenario(toast.attribute("scenario").value());

    request.actions.emplace_back("default", "");
    for (const pugi::xpath_node& found : toast.select_nodes("//actions/action")) {
        const pugi::xml_node action = found.node();
        request.actions.emplace_back(action.attribute("arguments").value(), action.attribute("content").value());
    }
    return request;
}

}  // namespace desktop
