#include "archive/codec/input_archive.h"

#include "archive/archive_format.h"
#include "archive/archive_test_support.h"
#include "archive/extraction/file_extract_callback.h"
#include "archive/extractor.h"

namespace archive {
namespace {

using namespace archive::testing;

class InputArchiveTest : public ArchiveTest {
protected:
    InputArchiveTest()
    {
        WriteFileBytes(Root() / "source" / "dir" / "file.txt", "content");
        archive_path_ = Zip("source", "package.zip");
    }

    Extractor handler_{library_, formats::Zip};
    fs::path archive_path_;
};

TEST_F(InputArchiveTest, ReadsItemPropertiesThroughTheLibrary)
{
    const InputArchive archive(handler_, Wide(archive_path_));
    EXPECT_EQ(&archive.Format(), &formats::Zip);
    ASSERT_EQ(archive.ItemCount(), 2u);
    EXPECT_EQ(archive.ItemProperty(0, kpidPath).GetString(), L"dir");
    EXPECT_TRUE(archive.ItemIsFolder(0));
    EXPECT_EQ(archive.ItemProperty(1, kpidPath).GetString(), L"dir/file.txt");
    EXPECT_FALSE(archive.ItemIsFolder(1));
    EXPECT_EQ(archive.ItemProperty(1, kpidSize).Kind(), PropKind::kUInt64);
}

TEST_F(InputArchiveTest, IndexPastTheLastItemIsRefused)
{
    const InputArchive archive(handler_, Wide(archive_path_));
    ExpectArchiveError([&] { archive.ItemProperty(2, kpidPath); }, "Could not retrieve property for item at index 2",
                       hresult::kInvalidArgument);
}

TEST_F(InputArchiveTest, MissingFileIsReportedBeforeAnyArchiveObjectIsMade)
{
    // A format the library does not know would fail at object creation.
    const ArchiveFormat unknown{0x5A, L".none", 0, 0};
    const Extractor handler(library_, unknown);
    const fs::path missing = Root() / "missing.zip";
    ExpectArchiveError([&] { InputArchive archive(handler, Wide(missing)); },
                       "Cannot open archive file '" + missing.string() + "'", 110);
    ExpectArchiveError([&] { InputArchive archive(handler, Wide(archive_path_)); }, "Cannot get class object",
                       static_cast<HRESULT>(0x80040111u));
}

TEST_F(InputArchiveTest, ExtractsChosenItemsOnly)
{
    const InputArchive archive(handler_, Wide(archive_path_));
    fs::create_directories(Root() / "out");
    ComPtr<FileExtractCallback> callback(
        new FileExtractCallback(handler_, archive, Wide(archive_path_), Wide(Root() / "out")));
    archive.Extract({0}, *callback);
    EXPECT_TRUE(fs::is_directory(Root() / "out" / "dir"));
    EXPECT_FALSE(fs::exists(Root() / "out" / "dir" / "file.txt"));
}

}  // namespace
}  // namespace archive
