#include "platform/base/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(TextTest, RoundTripsAsciiChineseAndAstralCharacters)
{
    const std::string utf8 = "Pelvane\xE5\xAE\x89\xE8\xA3\x85 \xF0\x9F\x98\x80";
    const std::wstring wide = Utf8ToWide(utf8);
    // One wide character on Linux, a surrogate pair on Windows.
    EXPECT_EQ(wide, L"Pelvane\u5B89\u88C5 \U0001F600");
    EXPECT_EQ(WideToUtf8(wide), utf8);
}

TEST(TextTest, WidensInvalidUtf8ByteByByte)
{
    // A lone continuation byte, a truncated sequence, an overlong "/" and an
    // encoded surrogate are each kept as their byte values.
    EXPECT_EQ(Utf8ToWide("a\x80z"), (std::wstring{L'a', 0x80, L'z'}));
    EXPECT_EQ(Utf8ToWide("\xE5\xAE"), (std::wstring{0xE5, 0xAE}));
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), (std::wstring{0xC0, 0xAF}));
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), (std::wstring{0xED, 0xA0, 0x80}));
}

TEST(TextTest, NarrowsInvalidCodePointsToReplacementCharacter)
{
    EXPECT_EQ(WideToUtf8(std::wstring{L'x', static_cast<wchar_t>(0xD800)}), "x\xEF\xBF\xBD");
    if constexpr (sizeof(wchar_t) >= 4) {
        EXPECT_EQ(WideToUtf8(std::wstring{static_cast<wchar_t>(0x110000)}), "\xEF\xBF\xBD");
    } else {
        EXPECT_EQ(WideToUtf8(std::wstring{static_cast<wchar_t>(0xDC00), L'y'}), "\xEF\xBF\xBDy");
    }
}

TEST(TextTest, KeepsEmbeddedNul)
{
    const std::string with_nul("a\0b", 3);
    EXPECT_EQ(Utf8ToWide(with_nul).size(), 3u);
    EXPECT_EQ(WideToUtf8(Utf8ToWide(with_nul)), with_nul);
}

}  // namespace
}  // namespace platform
