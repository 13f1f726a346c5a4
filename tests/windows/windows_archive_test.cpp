// The archive layer over the real 7z.dll cross-built for Windows, on archives
// made by the zip tool and by the tests' own ZIP writer.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "archive/archive_error.h"
#include "archive/archive_format.h"
#include "archive/codec/input_archive.h"
#include "archive/codec_library.h"
#include "archive/extractor.h"
#include "platform/process/dynamic_library.h"
#include "support/build_tree.h"
#include "support/temp_folder.h"
#include "support/zip_builder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

const fs::path kPackage = testing_support::BuildPath("tests/windows/fixtures/package.zip");

bool IsReadOnly(const fs::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

class WindowsArchiveTest : public ::testing::Test {
protected:
    void Extract(const fs::path& archive, const fs::path& output) const
    {
        extractor_.ExtractToFolder(archive.wstring(), output.wstring() + L"\\");
    }

    testing_support::TempFolder folder_;
    const archive::CodecLibrary library_{platform::CodecLibraryFileNames()};
    const archive::Extractor extractor_{library_, archive::formats::Zip};
};

TEST_F(WindowsArchiveTest, PackageOfTheZipToolIsWrittenWithItsNamesAndReadOnlyFile)
{
    const fs::path out = folder_.path() / "out";
    Extract(kPackage, out);
    EXPECT_EQ(ReadFileBytes(out / "CSXS/manifest.xml"), "<ExtensionManifest Version=\"2.0\"/>");
    EXPECT_EQ(ReadFileBytes(out / "js/lib/main.js"), "console.log('new');");
    EXPECT_EQ(ReadFileBytes(out / L"资源" / L"图标.png"), "png bytes");
    EXPECT_TRUE(fs::is_directory(out / "empty"));
    // The library reports the Unix mode only: read-only must come from it.
    EXPECT_TRUE(IsReadOnly(out / "readonly.txt"));
    EXPECT_FALSE(IsReadOnly(out / "index.html"));
    EXPECT_FALSE(IsReadOnly(out / "js"));
}

TEST_F(WindowsArchiveTest, ExtractingAgainReplacesTheReadOnlyFile)
{
    const fs::path out = folder_.path() / "out";
    Extract(kPackage, out);
    Extract(kPackage, out);
    EXPECT_EQ(ReadFileBytes(out / "readonly.txt"), "read only");
}

// Paths come from the library as BSTRs of oleaut32 and are freed by us; a
// mismatched allocator corrupts the heap long before this loop ends.
TEST_F(WindowsArchiveTest, ItemPathsComeWithBackslashesInTheLibrarysStrings)
{
    const archive::InputArchive archive(extractor_, kPackage.wstring());
    std::set<std::wstring> paths;
    for (int round = 0; round < 200; ++round) {
        for (std::uint32_t index = 0; index < archive.ItemCount(); ++index) {
            paths.insert(archive.ItemProperty(index, archive::kpidPath).GetString());
        }
    }
    EXPECT_TRUE(paths.count(L"js\\lib\\main.js")) << "the library's separator changed";
    EXPECT_TRUE(paths.count(L"资源\\图标.png"));
}

TEST_F(WindowsArchiveTest, ItemLeavingTheFolderIsRefusedAndNothingIsWrittenOutside)
{
    const fs::path archive = folder_.path() / "hostile.zip";
    WriteFileBytes(archive,
                   testing_support::ZipBuilder().File("good.txt", "good").File("../escaped.txt", "bad").Bytes());
    const fs::path out = folder_.path() / "out";
    fs::create_directory(out);
    try {
        Extract(archive, out);
        ADD_FAILURE() << "the hostile archive was extracted";
    } catch (const archive::ArchiveError& error) {
        EXPECT_EQ(std::string(error.what()), "Unsafe item path ..\\escaped.txt");
        EXPECT_EQ(error.Code(), archive::hresult::kAbort);
    }
    EXPECT_FALSE(fs::exists(folder_.path() / "escaped.txt"));
}

TEST_F(WindowsArchiveTest, LibraryErrorsCarryTheWindowsNumbers)
{
    const auto message_of = [](const std::wstring& name) {
        try {
            archive::CodecLibrary library(name);
        } catch (const archive::ArchiveError& error) {
            return std::string(error.what());
        }
        return std::string("loaded");
    };
    EXPECT_EQ(message_of(L"absent.dll"), "Cannot load 7-zip library (error 126)");
    const fs::path not_a_library = folder_.path() / "text.dll";
    WriteFileBytes(not_a_library, "not a library");
    EXPECT_EQ(message_of(not_a_library.wstring()), "Cannot load 7-zip library (error 193)");
    // 7za.dll is not shipped, so the search goes on to 7z.dll beside the program.
    EXPECT_EQ(message_of(L"7z.dll"), "loaded");
}

}  // namespace
