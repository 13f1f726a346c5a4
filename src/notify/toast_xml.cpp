#include "notify/toast_xml.h"

namespace toast {
namespace {

using desktop::XmlAttributeMap;
using desktop::XmlNode;
using desktop::XmlNodeList;
using platform::Failed;
namespace hresult = platform::hresult;

constexpr std::size_t kMaxUrl = 260;  // characters, terminator included
constexpr std::wstring_view kFileScheme = L"file:///";

HResult FirstElementOfTag(XmlDocument& document, std::wstring_view tag, XmlNode& element)
{
    XmlNodeList elements;
    HResult result = document.GetElementsByTagName(tag, elements);
    if (Failed(result)) return result;
    return elements.Item(0, element);
}

HResult SetRootAttribute(XmlDocument& document, std::wstring_view name, std::wstring_view value)
{
    XmlNode toast;
    const HResult result = FirstElementOfTag(document, L"toast", toast);
    return Failed(result) ? result : document.SetAttribute(toast, name, value);
}

}  // namespace

HResult AppendTextValue(XmlDocument& document, std::wstring_view value, XmlNode node)
{
    XmlNode text;
    HResult result = document.CreateTextNode(value, text);
    if (Failed(result)) return result;
    XmlNode appended;
    return document.AppendChild(node, text, appended);
}

HResult AddEmptyAttribute(XmlDocument& document, std::wstring_view name, const XmlAttributeMap& attributes)
{
    XmlNode attribute;
    HResult result = document.CreateAttribute(name, attribute);
    if (Failed(result)) return result;
    return document.SetNamedItem(attributes, attribute);
}

HResult AppendChildElement(XmlDocument& document, std::wstring_view parent_tag, std::wstring_view element_name,
                           const std::vector<std::wstring>& attribute_names)
{
    XmlNode element;
    HResult result = document.CreateElement(element_name, element);
    if (Failed(result)) return result;
    XmlNode parent;
    result = FirstElementOfTag(document, parent_tag, parent);
    if (Failed(result)) return result;
    XmlNode appended;
    result = document.AppendChild(parent, element, appended);
    if (Failed(result)) return result;
    XmlAttributeMap attributes;
    result = document.GetAttributes(appended, attributes);
    if (Failed(result)) return result;
    for (const std::wstring& name : attribute_names) result = AddEmptyAttribute(document, name, attributes);
    return result;
}

HResult SetTextLine(XmlDocument& document, std::wstring_view text, std::size_t index)
{
    XmlNodeList texts;
    HResult result = document.GetElementsByTagName(L"text", texts);
    if (Failed(result)) return result;
    XmlNode line;
    result = texts.Item(index, line);
    if (Failed(result)) return result;
    return AppendTextValue(document, text, line);
}

HResult SetImageSource(XmlDocument& document, std::wstring_view path)
{
    if (kFileScheme.size() + path.size() + 1 > kMaxUrl) return hresult::kInsufficientBuffer;
    std::wstring url(kFileScheme);
    url += path;

    XmlNode image;
    XmlAttributeMap attributes;
    XmlNode source;
    if (Failed(FirstElementOfTag(document, L"image", image))) return hresult::kOk;
    if (Failed(document.GetAttributes(image, attributes))) return hresult::kOk;
    if (Failed(document.GetNamedItem(attributes, L"src", source))) return hresult::kOk;
    AppendTextValue(document, url, source);
    return hresult::kOk;
}

HResult SetSound(XmlDocument& document, std::wstring_view path, AudioMode mode)
{
    std::vector<std::wstring> names;
    if (!path.empty()) names.emplace_back(L"src");
    if (mode == AudioMode::Loop) names.emplace_back(L"loop");
    if (mode == AudioMode::Silent) names.emplace_back(L"silent");
    AppendChildElement(document, L"toast", L"audio", names);

    XmlNode audio;
    HResult result = FirstElementOfTag(document, L"audio", audio);
    if (Failed(result)) return result;
    XmlAttributeMap attributes;
    result = document.GetAttributes(audio, attributes);
    if (Failed(result)) return result;

    auto append_to = [&](std::wstring_view name, std::wstring_view value) {
        XmlNode attribute;
        const HResult found = document.GetNamedItem(attributes, name, attribute);
        return Failed(found) ? found : AppendTextValue(document, value, attribute);
    };
    if (!path.empty()) {
        result = append_to(L"src", path);
        if (Failed(result)) return result;
    }
    if (mode == AudioMode::Silent) result = append_to(L"silent", L"true");
    if (mode == AudioMode::Loop) result = append_to(L"loop", L"true");
    return result;
}

HResult SetAttribution(XmlDocument& document, std::wstring_view text)
{
    AppendChildElement(document, L"binding", L"text", {L"placement"});

    XmlNodeList texts;
    HResult result = document.GetElementsByTagName(L"text", texts);
    if (Failed(result)) return result;
    for (std::size_t i = 0; i < texts.Length(); ++i) {
        XmlNode element;
        XmlAttributeMap attributes;
        XmlNode placement;
        result = texts.Item(i, element);
        if (Failed(result)) continue;
        result = document.GetAttributes(element, attributes);
        if (Failed(result)) continue;
        result = document.GetNamedItem(attributes, L"placement", placement);
        if (Failed(result) || !placement) continue;
        result = AppendTextValue(document, L"attribution", placement);
        if (Failed(result)) continue;
        return SetTextLine(document, text, i);
    }
    return result;
}

HResult SetToastDuration(XmlDocument& document, std::wstring_view value)
{
    return SetRootAttribute(document, L"duration", value);
}

HResult SetToastScenario(XmlDocument& document, std::wstring_view value)
{
    return SetRootAttribute(document, L"scenario", value);
}

HResult AddActionButton(XmlDocument& document, std::wstring_view label, std::wstring_view arguments)
{
    XmlNodeList actions_list;
    HResult result = document.GetElementsByTagName(L"actions", actions_list);
    if (Failed(result)) return result;

    XmlNode actions;
    if (actions_list.Length() != 0) {
        result = actions_list.Item(0, actions);
        if (Failed(result)) return result;
    } else {
        XmlNode toast;
        result = FirstElementOfTag(document, L"toast", toast);
        if (Failed(result)) return result;
        result = document.SetAttribute(toast, L"template", L"ToastGeneric");
        if (Failed(result)) return result;
        result = document.SetAttribute(toast, L"duration", L"long");
        if (Failed(result)) return result;
        XmlNode created;
        result = document.CreateElement(L"actions", created);
        if (Failed(result)) return result;
        result = document.AppendChild(toast, created, actions);
        if (Failed(result)) return result;
    }

    XmlNode action;
    result = document.CreateElement(L"action", action);
    if (Failed(result)) return result;
    result = document.SetAttribute(action, L"content", label);
    if (Failed(result)) return result;
    result = document.SetAttribute(action, L"arguments", arguments);
    if (Failed(result)) return result;
    XmlNode appended;
    return document.AppendChild(actions, action, appended);
}

}  // namespace toast
