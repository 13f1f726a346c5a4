#pragma once
// The platform's published notification template documents.
#include <cstdint>
#include <memory>

#include "desktop/toast/xml_document.h"
#include "platform/base/hresult.h"

namespace desktop {

// GetTemplateContent: the legacy template of a ToastTemplateType number,
// ToastImageAndText01 to 04 (0 to 3) and ToastText01 to 04 (4 to 7);
// E_INVALIDARG for any other number.
platform::HResult GetTemplateContent(std::int32_t type, std::unique_ptr<XmlDocument>& document);

}  // namespace desktop
