#include "desktop/toast/toast_template_content.h"

#include <array>
#include <string_view>

namespace desktop {
namespace {

constexpr std::array<std::string_view, 8> kTemplates = {
    R"(<toast><visual><binding template="ToastImageAndText01"><image id="1" src=""/><text id="1"></text></binding></visual></toast>)",
    R"(<toast><visual><binding template="ToastImageAndText02"><image id="1" src=""/><text id="1"></text><text id="2"></text></binding></visual></toast>)",
    R"(<toast><visual><binding template="ToastImageAndText03"><image id="1" src=""/><text id="1"></text><text id="2"></text></binding></visual></toast>)",
    R"(<toast><visual><binding template="ToastImageAndText04"><image id="1" src=""/><text id="1"></text><text id="2"></text><text id="3"></text></binding></visual></toast>)",
    R"(<toast><visual><binding template="ToastText01"><text id="1"></text></binding></visual></toast>)",
    R"(<toast><visual><binding template="ToastText02"><text id="1"></text><text id="2"></text></binding></visual></toast>)",
    R"(<toast><visual><binding template="ToastText03"><text id="1"></text><text id="2"></text></binding></visual></toast>)",
    R"(<toast><visual><binding template="ToastText04"><text id="1"></text><text id="2"></text><text id="3"></text></binding></visual></toast>)",
};

}  // namespace

platform::HResult GetTemplateContent(std::int32_t type, std::unique_ptr<XmlDocument>& document)
{
    document.reset();
    if (type < 0 || static_cast<std::size_t>(type) >= kTemplates.size()) return platform::hresult::kInvalidArgument;
    auto loaded = std::make_unique<XmlDocument>();
    const platform::HResult result = loaded->LoadXml(kTemplates[static_cast<std::size_t>(type)]);
    if (platform::Failed(result)) return result;
    document = std::move(loaded);
    return platform::hresult::kOk;
}

}  // namespace desktop
