#include "desktop/toast/xml_document.h"

#include <gtest/gtest.h>

namespace notify_test {
namespace {

using desktop::XmlAttributeMap;
using desktop::XmlDocument;
using desktop::XmlNode;
using desktop::XmlNodeList;
namespace hresult = platform::hresult;

class XmlDocumentTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(document_.LoadXml(R"(<toast a="1"><b/><c><b/></c></toast>)"), hresult::kOk); }

    XmlNode First(const wchar_t* tag)
    {
        XmlNodeList list;
        XmlNode node;
        EXPECT_EQ(document_.GetElementsByTagName(tag, list), hresult::kOk);
        EXPECT_EQ(list.Item(0, node), hresult::kOk);
        return node;
    }

    XmlDocument document_;
};

TEST_F(XmlDocumentTest, CreatedNodesStayOutOfTheDocumentUntilAppended)
{
    XmlNode element;
    ASSERT_EQ(document_.CreateElement(L"b", element), hresult::kOk);
    XmlNodeList list;
    document_.GetElementsByTagName(L"b", list);
    EXPECT_EQ(list.Length(), 2u);
    EXPECT_EQ(document_.GetXml(), R"(<toast a="1"><b></b><c><b></b></c></toast>)");

    XmlNode appended;
    ASSERT_EQ(document_.AppendChild(First(L"toast"), element, appended), hresult::kOk);
    document_.GetElementsByTagName(L"b", list);
    EXPECT_EQ(list.Length(), 3u);
    XmlNode past_end;
    EXPECT_EQ(list.Item(3, past_end), hresult::kInvalidArgument);
}

TEST_F(XmlDocumentTest, AttributesAreFetchedByNameAndReplacedBySetNamedItem)
{
    XmlAttributeMap attributes;
    ASSERT_EQ(document_.GetAttributes(First(L"toast"), attributes), hresult::kOk);
    XmlNode missing;
    EXPECT_EQ(document_.GetNamedItem(attributes, L"z", missing), hresult::kFalse);
    EXPECT_FALSE(missing);

    XmlNode replacement;
    ASSERT_EQ(document_.CreateAttribute(L"a", replacement), hresult::kOk);
    ASSERT_EQ(document_.SetNamedItem(attributes, replacement), hresult::kOk);
    XmlNode text;
    ASSERT_EQ(document_.CreateTextNode(L"new", text), hresult::kOk);
    XmlNode appended;
    ASSERT_EQ(document_.AppendChild(replacement, text, appended), hresult::kOk);
    EXPECT_EQ(document_.GetXml(), R"(<toast a="new"><b></b><c><b></b></c></toast>)");
}

TEST_F(XmlDocumentTest, MisusedNodesFailWithoutChangingTheDocument)
{
    XmlNode appended;
    XmlNode element;
    ASSERT_EQ(document_.CreateElement(L"x", element), hresult::kOk);
    XmlNode text;
    ASSERT_EQ(document_.CreateTextNode(L"t", text), hresult::kOk);

    EXPECT_TRUE(platform::Failed(document_.AppendChild(First(L"toast"), XmlNode{}, appended)));
    EXPECT_TRUE(platform::Failed(document_.AppendChild(text, element, appended)));
    EXPECT_TRUE(platform::Failed(document_.AppendChild(First(L"c"), First(L"toast"), appended)));  // its own ancestor
    EXPECT_EQ(document_.SetAttribute(text, L"n", L"v"), hresult::kNoInterface);
    EXPECT_EQ(document_.GetXml(), R"(<toast a="1"><b></b><c><b></b></c></toast>)");
    EXPECT_EQ(document_.LoadXml("<unclosed>"), hresult::kInvalidArgument);
    EXPECT_EQ(document_.GetXml(), R"(<toast a="1"><b></b><c><b></b></c></toast>)");
}

}  // namespace
}  // namespace notify_test
