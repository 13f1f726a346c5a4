#pragma once
// The order in which a template's fields reach the notification document.
#include <cstdint>

#include "desktop/toast/xml_document.h"
#include "notify/toast_template.h"
#include "platform/base/hresult.h"

namespace toast {

// Text lines; then, only on a Windows major version above 6, attribution,
// actions, audio, duration and scenario; then the image for image types.
// Stops at the first failure.
platform::HResult WriteTemplate(desktop::XmlDocument& document, const ToastTemplate& content,
                                std::uint32_t major_version);

}  // namespace toast
