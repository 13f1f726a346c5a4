#include "archive/codec/com.h"

#include <gtest/gtest.h>

#include <cstring>

#include "archive/archive_error.h"
#include "archive/archive_format.h"
#include "archive/codec/interfaces.h"

namespace archive {
namespace {

TEST(ComTest, OleStringHasLengthPrefixAndNul)
{
    BSTR text = SysAllocString(L"abc");
    ASSERT_NE(text, nullptr);
    std::uint32_t byte_length = 0;
    std::memcpy(&byte_length, reinterpret_cast<char*>(text) - 4, 4);
    EXPECT_EQ(byte_length, 3 * sizeof(wchar_t));
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(text[3], L'\0');
    SysFreeString(text);

    BSTR zeroed = SysAllocStringLen(nullptr, 2);
    EXPECT_EQ(SysStringLen(zeroed), 2u);
    EXPECT_EQ(zeroed[0], L'\0');
    SysFreeString(zeroed);

    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(ComTest, IdentifiersFollowTheLibrarysScheme)
{
    const CLSID zip = FormatClassId(formats::Zip);
    const CLSID expected = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x01, 0x00, 0x00}};
    EXPECT_TRUE(zip == expected);
    EXPECT_EQ(FormatClassId(formats::SevenZip).Data4[5], 0x07);
    EXPECT_EQ(formats::GZip.id, 0xEF);
    EXPECT_EQ(formats::Xz.features, 0x3Cu);

    const IID in_archive = {0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, 0x06, 0x00, 0x60, 0x00, 0x00}};
    EXPECT_TRUE(IInArchive::kIid == in_archive);
    EXPECT_EQ(IArchiveExtractCallback::kIid.Data4[5], 0x20);
    EXPECT_EQ(ICryptoGetTextPassword::kIid.Data4[3], 0x05);
    EXPECT_FALSE(IInStream::kIid == IOutStream::kIid);
}

TEST(ArchiveErrorTest, ConstructorsKeepOrConvertTheCode)
{
    const ArchiveError wide(L"宽", hresult::kFail);
    EXPECT_STREQ(wide.what(), "\xE5\xAE\xBD");
    EXPECT_EQ(wide.Code(), hresult::kFail);
    EXPECT_EQ(ArchiveError("narrow", 110).Code(), 110);
    EXPECT_EQ(ArchiveError(L"", platform::WindowsError::kModuleNotFound).Code(), static_cast<HRESULT>(0x8007007Eu));
    EXPECT_STREQ(ArchiveError(L"", 0).what(), "");

    EXPECT_EQ(HResultFromWindowsError(platform::WindowsError::kSuccess), 0);
    EXPECT_EQ(HResultFromWindowsError(static_cast<platform::WindowsError>(0x12345)), static_cast<HRESULT>(0x80072345u));
    EXPECT_EQ(HResultFromWindowsError(static_cast<platform::WindowsError>(0x80004005u)), hresult::kFail);
    EXPECT_EQ(FailureFromWindowsError(platform::WindowsError::kSuccess), hresult::kFail);
    EXPECT_EQ(FailureFromWindowsError(platform::WindowsError::kAccessDenied), static_cast<HRESULT>(0x80070005u));
}

}  // namespace
}  // namespace archive
