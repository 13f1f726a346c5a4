#include "archive/extractor.h"

#include <chrono>

#include "archive/archive_format.h"
#include "archive_test_support.h"
#include "platform/process/child_process.h"

namespace archive {
namespace {

using namespace archive::testing;

class ExtractorTest : public ArchiveTest {
protected:
    // The output folder exists, as the installation creates it first.
    void Extract(const fs::path& archive, const fs::path& output)
    {
        fs::create_directories(output);
        Extractor extractor(library_, formats::Zip);
        extractor.ExtractToFolder(Wide(archive), Wide(output));
    }
};

TEST_F(ExtractorTest, ExtractsNestedFoldersEmptyFolderChineseNamesModesAndTimes)
{
    const fs::path source = Root() / "source";
    WriteFileBytes(source / "top.txt", "top");
    WriteFileBytes(source / "a" / "b" / "deep.txt", "deep");
    WriteFileBytes(source / "中文目录" / "文件.txt", "中文内容");
    WriteFileBytes(source / "readonly.txt", "locked");
    fs::permissions(source / "readonly.txt", fs::perms::owner_read | fs::perms::group_read);
    WriteFileBytes(source / "script.sh", "#!/bin/sh\n");
    fs::permissions(source / "script.sh", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::create_directories(source / "empty");
    ASSERT_EQ(
        platform::RunProgram({"touch", "-d", "2001-02-03 04:05:06 UTC", (source / "a" / "b" / "deep.txt").string()}),
        0);
    // -D stores no folder entries: "a" and "a/b" exist only in the file's path.
    const fs::path with_folders = Zip("source", "folders.zip");
    const fs::path without_folders = Zip("source", "no-folders.zip", {"-r", "-D"});

    const std::size_t descriptors = OpenDescriptorCount();
    for (const fs::path& archive : {with_folders, without_folders}) {
        const fs::path out = Root() / ("out-" + archive.stem().string());
        Extract(archive, out);
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
        EXPECT_EQ(ReadFileBytes(out / "top.txt"), "top");
        EXPECT_EQ(ReadFileBytes(out / "a" / "b" / "deep.txt"), "deep");
        EXPECT_EQ(ReadFileBytes(out / "中文目录" / "文件.txt"), "中文内容");
        EXPECT_EQ(ReadFileBytes(out / "readonly.txt"), "locked");
        EXPECT_EQ(Mode(out / "readonly.txt"), 0440u);
        EXPECT_EQ(Mode(out / "script.sh"), 0750u);
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
            fs::last_write_time(out / "a" / "b" / "deep.txt").time_since_epoch());
        const auto expected = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{981173106}})
                .time_since_epoch());
        EXPECT_EQ(seconds, expected) << archive;
    }
    EXPECT_TRUE(fs::is_directory(Root() / "out-folders" / "empty"));
}

TEST_F(ExtractorTest, ReplacesExistingFilesReadOnlyOnesIncluded)
{
    WriteFileBytes(Root() / "source" / "file.txt", "new");
    const fs::path archive = Zip("source", "package.zip");
    const fs::path out = Root() / "out";
    WriteFileBytes(out / "file.txt", "old content that is longer");
    fs::permissions(out / "file.txt", fs::perms::owner_read);

    Extract(archive, out);
    EXPECT_EQ(ReadFileBytes(out / "file.txt"), "new");
}

TEST_F(ExtractorTest, OutputFolderWithoutSeparatorGetsOne)
{
    WriteFileBytes(Root() / "source" / "file.txt", "x");
    const fs::path archive = Zip("source", "package.zip");
    Extract(archive, Root() / "out");
    EXPECT_EQ(ReadFileBytes(Root() / "out" / "file.txt"), "x");
    EXPECT_FALSE(fs::exists(Root() / "outfile.txt"));
}

TEST_F(ExtractorTest, ArchiveMadeBy7zExtractsToo)
{
    WriteFileBytes(Root() / "source" / "sub" / "file.txt", "from 7z");
    const fs::path archive = Root() / "seven.zip";
    ASSERT_EQ(
        testing_support::RunInFolder(Root() / "source", {"7z", "a", "-bso0", "-bsp0", "-tzip", archive.string(), "."}),
        0);
    Extract(archive, Root() / "out");
    EXPECT_EQ(ReadFileBytes(Root() / "out" / "sub" / "file.txt"), "from 7z");
}

TEST_F(ExtractorTest, HooksSeeTotalSizeProgressAndFileNames)
{
    WriteFileBytes(Root() / "source" / "one.txt", std::string(1000, 'a'));
    WriteFileBytes(Root() / "source" / "dir" / "two.txt", std::string(500, 'b'));
    const fs::path archive = Zip("source", "package.zip");

    Extractor extractor(library_, formats::Zip);
    std::uint64_t total = 0;
    std::uint64_t completed = 0;
    std::vector<std::wstring> files;
    extractor.SetTotalSizeHook([&](std::uint64_t size) { total = size; });
    extractor.SetProgressHook([&](std::uint64_t size) { completed = size; });
    extractor.SetFileHook([&](const std::wstring& name) { files.push_back(name); });
    fs::create_directories(Root() / "out");
    extractor.ExtractToFolder(Wide(archive), Wide(Root() / "out"));

    EXPECT_EQ(total, 1500u);
    EXPECT_EQ(completed, 1500u);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::wstring>{L"one.txt", L"two.txt"}));
}

TEST_F(ExtractorTest, ThrowingHookStopsExtractionWithItsMessage)
{
    WriteFileBytes(Root() / "source" / "big.txt", std::string(100000, 'a'));
    const fs::path archive = Zip("source", "package.zip");
    Extractor extractor(library_, formats::Zip);
    extractor.SetTotalSizeHook([](std::uint64_t) { throw std::runtime_error("Package too large"); });

    fs::create_directories(Root() / "out");
    ExpectArchiveError([&] { extractor.ExtractToFolder(Wide(archive), Wide(Root() / "out")); }, "Package too large",
                       hresult::kAbort);
    EXPECT_FALSE(fs::exists(Root() / "out" / "big.txt"));
}

TEST_F(ExtractorTest, PasswordProtectedArchiveNeedsPassword)
{
    WriteFileBytes(Root() / "source" / "secret.txt", "hidden");
    const fs::path archive = Zip("source", "locked.zip", {"-r", "-P", "letmein"});

    ExpectArchiveError([&] { Extract(archive, Root() / "out"); }, "Password is not defined", hresult::kFail);

    Extractor extractor(library_, formats::Zip);
    extractor.SetPassword(L"letmein");
    fs::create_directories(Root() / "with-password");
    extractor.ExtractToFolder(Wide(archive), Wide(Root() / "with-password"));
    EXPECT_EQ(ReadFileBytes(Root() / "with-password" / "secret.txt"), "hidden");

    Extractor asking(library_, formats::Zip);
    asking.SetPasswordHook([] { return std::wstring(L"letmein"); });
    fs::create_directories(Root() / "from-hook");
    asking.ExtractToFolder(Wide(archive), Wide(Root() / "from-hook"));
    EXPECT_EQ(ReadFileBytes(Root() / "from-hook" / "secret.txt"), "hidden");
}

}  // namespace
}  // namespace archive
