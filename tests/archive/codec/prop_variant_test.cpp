#include "archive/codec/prop_variant.h"

#include <gtest/gtest.h>

#include "archive/archive_error.h"
#include "archive/archive_test_support.h"

namespace archive {
namespace {

using testing::ExpectArchiveError;

TEST(PropVariantTest, ConstructorsGiveTheirTypesAndKinds)
{
    EXPECT_EQ(PropVariant().Kind(), PropKind::kEmpty);
    EXPECT_TRUE(PropVariant().IsEmpty());

    const PropVariant text(std::wstring_view(L"名前"));
    EXPECT_EQ(text.vt, VT_BSTR);
    EXPECT_EQ(text.Kind(), PropKind::kString);
    EXPECT_EQ(text.GetString(), L"名前");
    EXPECT_EQ(SysStringLen(text.bstrVal), 2u);

    EXPECT_EQ(PropVariant(true).boolVal, kVariantTrue);
    EXPECT_EQ(PropVariant(false).boolVal, kVariantFalse);
    EXPECT_TRUE(PropVariant(true).GetBool());
    EXPECT_EQ(PropVariant(std::uint32_t{7}).vt, VT_UI4);
    EXPECT_EQ(PropVariant(std::uint64_t{7}).vt, VT_UI8);
    EXPECT_EQ(PropVariant(std::uint64_t{7}).Kind(), PropKind::kUInt64);
    const PropVariant time(FILETIME{1, 2});
    EXPECT_EQ(time.Kind(), PropKind::kFileTime);
    EXPECT_EQ(time.GetFileTime().dwHighDateTime, 2u);
}

TEST(PropVariantTest, KindOfEveryTypeInTheTable)
{
    const std::pair<VARTYPE, PropKind> table[] = {
        {VT_UI1, PropKind::kUInt8}, {VT_UI2, PropKind::kUInt16}, {VT_UINT, PropKind::kUInt32},
        {VT_I1, PropKind::kInt8},   {VT_I2, PropKind::kInt16},   {VT_I4, PropKind::kInt32},
        {VT_INT, PropKind::kInt32}, {VT_I8, PropKind::kInt64},   {VT_BOOL, PropKind::kBool},
    };
    for (const auto& [type, kind] : table) {
        PropVariant value;
        value.vt = type;
        EXPECT_EQ(value.Kind(), kind) << type;
    }
    PropVariant unsupported;
    unsupported.vt = 5;  // VT_R8
    ExpectArchiveError([&] { unsupported.Kind(); }, "Property type not supported", hresult::kInvalidArgument);
}

TEST(PropVariantTest, UnsignedReadsWidenSmallTypesOnly)
{
    PropVariant small;
    small.vt = VT_UI2;
    small.uiVal = 0xBEEF;
    EXPECT_TRUE(small.IsUInt32());
    EXPECT_EQ(small.GetUInt32(), 0xBEEFu);

    const PropVariant wide(std::uint64_t{1});
    EXPECT_FALSE(wide.IsUInt32());
    ExpectArchiveError([&] { wide.GetUInt32(); }, "PropVariant is not a 32-bits unsigned integer", hresult::kFail);
}

TEST(PropVariantTest, ReadsOfTheWrongTypeThrow)
{
    const PropVariant number(std::uint32_t{1});
    ExpectArchiveError([&] { number.GetBool(); }, "PropVariant is not a bool", hresult::kFail);
    ExpectArchiveError([&] { number.GetString(); }, "PropVariant is not a string", hresult::kFail);
    ExpectArchiveError([&] { number.GetFileTime(); }, "PropVariant is not a FILETIME", hresult::kFail);
}

TEST(PropVariantTest, NullStringReadsAsEmpty)
{
    PropVariant value;
    value.vt = VT_BSTR;
    value.bstrVal = nullptr;
    EXPECT_TRUE(value.IsString());
    EXPECT_EQ(value.GetString(), L"");
}

TEST(PropVariantTest, MovePassesTheStringOnAndClearEmpties)
{
    PropVariant source(std::wstring_view(L"moved"));
    PropVariant target(std::wstring_view(L"replaced"));
    target = std::move(source);
    EXPECT_TRUE(source.IsEmpty());
    EXPECT_EQ(target.GetString(), L"moved");

    PROPVARIANT raw{};
    target.MoveTo(raw);
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_EQ(raw.vt, VT_BSTR);
    PropVariant owner;
    static_cast<PROPVARIANT&>(owner) = raw;  // takes the string back, freed by its destructor
    EXPECT_EQ(owner.GetString(), L"moved");

    owner.Clear();
    EXPECT_TRUE(owner.IsEmpty());
    EXPECT_EQ(owner.uhVal, 0u);
}

}  // namespace
}  // namespace archive
