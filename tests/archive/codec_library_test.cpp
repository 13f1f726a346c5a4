#include "archive/codec_library.h"

#include "archive/archive_format.h"
#include "archive/codec/interfaces.h"
#include "archive_test_support.h"

namespace archive {
namespace {

using namespace archive::testing;

using CodecLibraryTest = ArchiveTest;

TEST_F(CodecLibraryTest, MissingLibraryGivesError126)
{
    ExpectArchiveError([] { CodecLibrary library(L"no-such-codec-library.so"); },
                       "Cannot load 7-zip library (error 126)", static_cast<HRESULT>(0x8007007Eu));
    ExpectArchiveError([&] { CodecLibrary library(Wide(Root() / "absent.so")); },
                       "Cannot load 7-zip library (error 126)", static_cast<HRESULT>(0x8007007Eu));
}

TEST_F(CodecLibraryTest, FileThatIsNoLibraryGivesError193)
{
    WriteFileBytes(Root() / "fake.so", "not a shared library");
    ExpectArchiveError([&] { CodecLibrary library(Wide(Root() / "fake.so")); }, "Cannot load 7-zip library (error 193)",
                       static_cast<HRESULT>(0x800700C1u));
}

TEST_F(CodecLibraryTest, LibraryWithoutCreateObjectGivesError127)
{
    ExpectArchiveError([] { CodecLibrary library(L"libm.so.6"); }, "Cannot get CreateObject (error 127)",
                       static_cast<HRESULT>(0x8007007Fu));
}

TEST_F(CodecLibraryTest, UnknownMajorVersionIsRefused)
{
    ExpectArchiveError([] { CodecLibrary library(Wide(MERRO_CODEC_OF_ANOTHER_VERSION)); },
                       "Unsupported 7-zip library version 27.00 (expected 26.xx)", hresult::kNotImplemented);
}

TEST_F(CodecLibraryTest, BareNameIsFoundInTheCodecLibraryFolder)
{
    CodecLibrary library(L"7z.so");
    auto* archive = static_cast<IInArchive*>(library.CreateObject(FormatClassId(formats::Zip), IInArchive::kIid));
    ASSERT_NE(archive, nullptr);
    archive->Release();
}

TEST_F(CodecLibraryTest, UnknownClassIsNoObject)
{
    const ArchiveFormat unknown{0x5A, L".none", 0, 0};
    try {
        library_.CreateObject(FormatClassId(unknown), IInArchive::kIid);
        ADD_FAILURE() << "an object of an unknown class was created";
    } catch (const ArchiveError& error) {
        EXPECT_STREQ(error.what(), "Cannot get class object");
        EXPECT_LT(error.Code(), 0);
    }
}

}  // namespace
}  // namespace archive
