#include "desktop/toast/xml_document.h"

#include <pugixml.hpp>

#include <sstream>

#include "platform/base/text.h"

namespace desktop {
namespace {

enum class NodeKind { kNull, kNode, kAttribute };

struct Entry {
    NodeKind kind = NodeKind::kNull;
    pugi::xml_node node;            // an element or text node, or an attribute's holder
    pugi::xml_attribute attribute;  // valid for attributes
};

// Pre-order walk: document order.
void CollectElements(pugi::xml_node node, const std::string& name, std::vector<pugi::xml_node>& found)
{
    if (node.type() != pugi::node_element) return;
    if (name == node.name()) found.push_back(node);
    for (pugi::xml_node child : node.children()) CollectElements(child, name, found);
}

}  // namespace

platform::HResult XmlNodeList::Item(std::size_t index, XmlNode& node) const
{
    if (index >= nodes_.size()) return platform::hresult::kInvalidArgument;
    node = nodes_[index];
    return platform::hresult::kOk;
}

// pugixml keeps every node inside a document, so created nodes wait in a
// hidden "limbo" element beside the root until they are appended.
struct XmlDocument::Impl {
    pugi::xml_document document;
    pugi::xml_node root;
    pugi::xml_node limbo;
    mutable std::vector<Entry> entries{Entry{}};

    XmlNode Add(Entry entry) const
    {
        entries.push_back(entry);
        return XmlNode(entries.size() - 1);
    }
};

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) { impl_->limbo = impl_->document.append_child("limbo"); }

XmlDocument::~XmlDocument() = default;

bool XmlDocument::Owns(XmlNode node) const { return node && node.index_ < impl_->entries.size(); }

platform::HResult XmlDocument::LoadXml(std::string_view xml)
{
    auto fresh = std::make_unique<Impl>();
    if (!fresh->document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8)) {
        return platform::hresult::kInvalidArgument;
    }
    fresh->root = fresh->document.document_element();
    if (!fresh->root) return platform::hresult::kInvalidArgument;
    fresh->limbo = fresh->document.append_child("limbo");
    impl_ = std::move(fresh);
    return platform::hresult::kOk;
}

std::string XmlDocument::GetXml() const
{
    if (!impl_->root) return {};
    std::ostringstream out;
    impl_->root.print(out, "", pugi::format_raw | pugi::format_no_empty_element_tags);
    return out.str();
}

platform::HResult XmlDocument::GetElementsByTagName(std::wstring_view tag, XmlNodeList& elements) const
{
    elements.nodes_.clear();
    if (!impl_->root) return platform::hresult::kOk;
    std::vector<pugi::xml_node> found;
    CollectElements(impl_->root, platform::WideToUtf8(tag), found);
    for (pugi::xml_node node : found) elements.nodes_.push_back(impl_->Add({NodeKind::kNode, node, {}}));
    return platform::hresult::kOk;
}

platform::HResult XmlDocument::CreateElement(std::wstring_view name, XmlNode& element)
{
    element = {};
    const std::string utf8 = platform::WideToUtf8(name);
    if (utf8.empty()) return platform::hresult::kInvalidArgument;
    pugi::xml_node node = impl_->limbo.append_child(utf8.c_str());
    if (!node) return platform::hresult::kFail;
    element = impl_->Add({NodeKind::kNode, node, {}});
    return platform::hresult::kOk;
}

platform::HResult XmlDocument::CreateTextNode(std::wstring_view value, XmlNode& text)
{
    text = {};
    pugi::xml_node node = impl_->limbo.append_child(pugi::node_pcdata);
    if (!node || !node.set_value(platform::WideToUtf8(value).c_str())) return platform::hresult::kFail;
    text = impl_->Add({NodeKind::kNode, node, {}});
    return platform::hresult::kOk;
}

platform::HResult XmlDocument::CreateAttribute(std::wstring_view name, XmlNode& attribute)
{
    attribute = {};
    const std::string utf8 = platform::WideToUtf8(name);
    if (utf8.empty()) return platform::hresult::kInvalidArgument;
    pugi::xml_node holder = impl_->limbo.append_child("attribute");
    pugi::xml_attribute created = holder ? holder.append_attribute(utf8.c_str()) : pugi::xml_attribute{};
    if (!created) return platform::hresult::kFail;
    attribute = impl_->Add({NodeKind::kAttribute, holder, created});
    return platform::hresult::kOk;
}

platform::HResult XmlDocument::AppendChild(XmlNode parent, XmlNode child, XmlNode& appended)
{
    appended = {};
    if (!Owns(parent) || !Owns(child)) return platform::hresult::kPointer;
    Entry& to = impl_->entries[parent.index_];
    Entry& from = impl_->entries[child.index_];
    if (from.kind != NodeKind::kNode) return platform::hresult::kInvalidArgument;

    if (to.kind == NodeKind::kAttribute) {
        // An attribute's children are its text: the text joins its value.
        if (from.node.type() != pugi::node_pcdata) return platform::hresult::kInvalidArgument;
        const std::string value = std::string(to.attribute.value()) + from.node.value();
        if (!to.attribute.set_value(value.c_str())) return platform::hresult::kFail;
        from.node.parent().remove_child(from.node);
        from = Entry{};
        appended = child;
        return platform::hresult::kOk;
    }
    if (to.kind != NodeKind::kNode || to.node.type() != pugi::node_element) return platform::hresult::kInvalidArgument;
    pugi::xml_node moved = to.node.append_move(from.node);
    if (!moved) return platform::hresult::kInvalidArgument;
    from.node = moved;
    appended = child;
    return platform::hresult::kOk;
}

platform::HResult XmlDocument::GetAttributes(XmlNode node, XmlAttributeMap& attributes) const
{
    attributes = {};
    if (!Owns(node)) return platform::hresult::kPointer;
    const Entry& entry = impl_->entries[node.index_];
    if (entry.kind != NodeKind::kNode || entry.node.type() != pugi::node_element)
        return platform::hresult::kNoInterface;
    attributes.owner_ = node;
    return platform::hresult::kOk;
}

platform::HResult XmlDocument::GetNamedItem(const XmlAttributeMap& attributes, std::wstring_view name,
                                            XmlNode& attribute) const
{
    attribute = {};
    if (!Owns(attributes.owner_)) return platform::hresult::kPointer;
    const Entry& owner = impl_->entries[attributes.owner_.index_];
    pugi::xml_attribute found = owner.node.attribute(platform::WideToUtf8(name).c_str());
    if (!found) return platform::hresult::kFalse;
    attribute = impl_->Add({NodeKind::kAttribute, owner.node, found});
    return platform::hresult::kOk;
}

platform::HResult XmlDocument::SetNamedItem(const XmlAttributeMap& attributes, XmlNode attribute)
{
    if (!Owns(attributes.owner_) || !Owns(attribute)) return platform::hresult::kPointer;
    pugi::xml_node owner = impl_->entries[attributes.owner_.index_].node;
    Entry& created = impl_->entries[attribute.index_];
    if (created.kind != NodeKind::kAttribute) return platform::hresult::kInvalidArgument;
    if (created.node == owner) return platform::hresult::kOk;
    if (created.node.parent() != impl_->limbo) return platform::hresult::kInvalidArgument;  // in use elsewhere

    if (pugi::xml_attribute existing = owner.attribute(created.attribute.name())) owner.remove_attribute(existing);
    pugi::xml_attribute placed = owner.append_copy(created.attribute);
    if (!placed) return platform::hresult::kFail;
    impl_->limbo.remove_child(created.node);
    created = Entry{NodeKind::kAttribute, owner, placed};
    return platform::hresult::kOk;
}

platform::HResult XmlDocument::SetAttribute(XmlNode element, std::wstring_view name, std::wstring_view value)
{
    if (!Owns(element)) return platform::hresult::kPointer;
    Entry& entry = impl_->entries[element.index_];
    if (entry.kind != NodeKind::kNode || entry.node.type() != pugi::node_element)
        return platform::hresult::kNoInterface;
    const std::string utf8 = platform::WideToUtf8(name);
    if (utf8.empty()) return platform::hresult::kInvalidArgument;
    pugi::xml_attribute target = entry.node.attribute(utf8.c_str());
    if (!target) target = entry.node.append_attribute(utf8.c_str());
    if (!target || !target.set_value(platform::WideToUtf8(value).c_str())) return platform::hresult::kFail;
    return platform::hresult::kOk;
}

}  // namespace desktop
