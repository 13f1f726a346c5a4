#pragma once
// Writing a notification's content into the platform's notification
// document. Each routine returns the result of the last document call it
// ran and stops at the first failing one, unless noted.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/toast/xml_document.h"
#include "notify/toast_template.h"
#include "platform/base/hresult.h"

namespace toast {

using desktop::XmlDocument;
using platform::HResult;

// Appends a text node with the value as the node's last child; an attribute
// node gets its value this way, after whatever it already holds.
HResult AppendTextValue(XmlDocument& document, std::wstring_view value, desktop::XmlNode node);

// Puts a new attribute without a value into the map.
HResult AddEmptyAttribute(XmlDocument& document, std::wstring_view name, const desktop::XmlAttributeMap& attributes);

// Appends a new element under the first element of the parent tag and gives
// it the attributes; a failing attribute does not stop the others.
HResult AppendChildElement(XmlDocument& document, std::wstring_view parent_tag, std::wstring_view element_name,
                           const std::vector<std::wstring>& attribute_names);

HResult SetTextLine(XmlDocument& document, std::wstring_view text, std::size_t index);

// "file:///" + path into the first "image" element's "src". A path too long
// for the 260-character URL gives 0x8007007A; the document steps themselves
// are not reported.
HResult SetImageSource(XmlDocument& document, std::wstring_view path);

HResult SetSound(XmlDocument& document, std::wstring_view path, AudioMode mode);

// Adds a "text" element with placement "attribution" holding the text.
HResult SetAttribution(XmlDocument& document, std::wstring_view text);

HResult SetToastDuration(XmlDocument& document, std::wstring_view value);
HResult SetToastScenario(XmlDocument& document, std::wstring_view value);

// The first action also switches the notification to the "ToastGeneric"
// template with the long display time.
HResult AddActionButton(XmlDocument& document, std::wstring_view label, std::wstring_view arguments);

}  // namespace toast
