#include "platform/net/url.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using platform::ParseUrl;
using platform::ResolveReference;

std::wstring Text(const platform::Url& url) { return url.scheme + L"://" + url.authority + url.path + url.query; }

TEST(UrlTest, RedirectsResolveAsTheStandardsExamplesSay)
{
    const platform::Url base = ParseUrl(L"http://a/b/c/d;p?q");
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"g", L"http://a/b/c/g"},
        {L"./g", L"http://a/b/c/g"},
        {L"g/", L"http://a/b/c/g/"},
        {L"/g", L"http://a/g"},
        {L"//g", L"http://g"},
        {L"?y", L"http://a/b/c/d;p?y"},
        {L"g?y", L"http://a/b/c/g?y"},
        {L"#s", L"http://a/b/c/d;p?q"},
        {L"", L"http://a/b/c/d;p?q"},
        {L".", L"http://a/b/c/"},
        {L"..", L"http://a/b/"},
        {L"../g", L"http://a/b/g"},
        {L"../..", L"http://a/"},
        {L"../../../g", L"http://a/g"},
        {L"/./g", L"http://a/g"},
        {L"HTTPS://x/y/../z", L"https://x/z"},
        {L"g;x=1/../y", L"http://a/b/c/y"},
    };
    for (const auto& [reference, expected] : cases) {
        EXPECT_EQ(Text(ResolveReference(base, reference)), expected) << reference;
    }
}

TEST(UrlTest, RequestTargetIsPureAsciiWithUtf8Escapes)
{
    EXPECT_EQ(platform::RequestTarget(ParseUrl(L"http://h")), L"/");
    EXPECT_EQ(platform::RequestTarget(ParseUrl(L"http://h/a b/包.zip?q=é")), L"/a%20b/%E5%8C%85.zip?q=%C3%A9");
    EXPECT_EQ(platform::RequestTarget(ParseUrl(L"http://h/%41#frag")), L"/%41");
}

TEST(UrlTest, FileUrlsNameLocalPathsAndRefuseSharesAndMalformedOnes)
{
    const std::pair<const wchar_t*, const wchar_t*> paths[] = {
        {L"///C:/dir/a%20b.zip", L"C:\\dir\\a b.zip"},
        {L"//localhost/C|/x?query#frag", L"C:\\x"},
        {L"//127.0.0.1/c:/%E5%8C%85", L"c:\\包"},
        {L"C:/x", L"C:\\x"},
        {L"//C:/x", L"C:\\x"},
    };
    for (const auto& [rest, expected] : paths) {
        EXPECT_EQ(platform::WindowsPathOfFileUrl(rest), expected) << rest;
        EXPECT_TRUE(platform::IsLocalFileUrl(rest)) << rest;
    }
    // Every spelling of a share or device: the system would log on to its host.
    for (const wchar_t* rest : {L"//server/share/f", L"//Server/share/f?x", L"//./C:/x", L"//host"}) {
        EXPECT_FALSE(platform::WindowsPathOfFileUrl(rest).has_value()) << rest;
        EXPECT_FALSE(platform::IsLocalFileUrl(rest)) << rest;
    }
    for (const wchar_t* rest :
         {L"////server/share/f", L"//localhost//server/share", L"\\\\server\\share", L"///%5C%5Cserver/share",
          L"///\\?\\UNC\\server\\share", L"//ho:st/x", L"///C:/a%00b"}) {
        EXPECT_FALSE(platform::WindowsPathOfFileUrl(rest).has_value()) << rest;
    }
}

}  // namespace
