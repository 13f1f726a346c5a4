#pragma once
// The XML document operations the notification content is written with
// (on Windows the Windows.Data.Xml.Dom document). Nodes are handles into the
// document that made them; created nodes stay detached until appended.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/hresult.h"

namespace desktop {

// An element, text or attribute node of one XmlDocument; empty when null.
class XmlNode {
public:
    XmlNode() = default;
    explicit operator bool() const { return index_ != 0; }

private:
    friend class XmlDocument;
    explicit XmlNode(std::size_t index) : index_(index) {}
    std::size_t index_ = 0;
};

// IXmlNodeList: a count and positional access.
class XmlNodeList {
public:
    std::size_t Length() const { return nodes_.size(); }
    // E_INVALIDARG past the end.
    platform::HResult Item(std::size_t index, XmlNode& node) const;

private:
    friend class XmlDocument;
    std::vector<XmlNode> nodes_;
};

// IXmlNamedNodeMap: the attributes of one element.
class XmlAttributeMap {
private:
    friend class XmlDocument;
    XmlNode owner_;
};

class XmlDocument {
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Replaces the content with the parsed UTF-8 text; E_INVALIDARG when it
    // is not well-formed or has no root element.
    platform::HResult LoadXml(std::string_view xml);
    // The document as UTF-8 text, without declaration or added white space.
    std::string GetXml() const;

    // Elements of the tag, in document order.
    platform::HResult GetElementsByTagName(std::wstring_view tag, XmlNodeList& elements) const;
    platform::HResult CreateElement(std::wstring_view name, XmlNode& element);
    platform::HResult CreateTextNode(std::wstring_view value, XmlNode& text);
    platform::HResult CreateAttribute(std::wstring_view name, XmlNode& attribute);
    // Appends as last child. A text appended to an attribute extends its value.
    platform::HResult AppendChild(XmlNode parent, XmlNode child, XmlNode& appended);
    platform::HResult GetAttributes(XmlNode node, XmlAttributeMap& attributes) const;
    // S_FALSE and a null node when the element has no attribute of the name.
    platform::HResult GetNamedItem(const XmlAttributeMap& attributes, std::wstring_view name, XmlNode& attribute) const;
    // Adds a created attribute, replacing one of the same name.
    platform::HResult SetNamedItem(const XmlAttributeMap& attributes, XmlNode attribute);
    // E_NOINTERFACE when the node is not an element.
    platform::HResult SetAttribute(XmlNode element, std::wstring_view name, std::wstring_view value);

private:
    // A non-null node made by this document.
    bool Owns(XmlNode node) const;

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace desktop
