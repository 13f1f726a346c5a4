// Packages built to escape or wreck the extension folder, installed through
// ExtractPackage: nothing may be written outside the extension folder, and
// every refused package leaves the old extension exactly as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/installation_fixture.h"
#include "support/temp_folder.h"
#include "support/tree_snapshot.h"
#include "support/zip_builder.h"
#include "update/extension_replacement.h"
#include "update/package_installation.h"

namespace {

using namespace testing_support;

namespace fs = std::filesystem;
using Host = ZipBuilder::Host;

class HostileArchiveTest : public InstallationTest {
protected:
    HostileArchiveTest()
    {
        fs::create_directories(Outside());
        WriteFileBytes(Outside() / "victim.txt", "must stay");
    }

    // A folder beside the Wine prefix that hostile items aim at.
    fs::path Outside() const { return work_.path() / "outside"; }

    // From the extension folder up to the working folder.
    static std::string UpToWorkFolder() { return "../../../../../../../../"; }

    // Installs `package` over the old extension; true when ExtractPackage
    // completed, false when it raised. Either way nothing outside the
    // extension folder changed.
    bool Install(const std::string& package)
    {
        fs::remove_all(Extension());
        WriteTree(Extension(), OldExtension);
        WriteFileBytes("com.qv.plug.zip", package);
        const ActivityLogSession session;
        const testing_support::TreeSnapshot before(work_.path(), {Extension(), work_.path() / "Log"});
        bool installed = false;
        try {
            installed = ExtractPackage(session.log());
        } catch (const std::exception& error) {
            last_error_ = error.what();
        }
        EXPECT_EQ(testing_support::TreeSnapshot(work_.path(), {Extension(), work_.path() / "Log"}), before)
            << "something outside the extension folder changed";
        EXPECT_FALSE(fs::exists(SetAsideFolder()));
        EXPECT_FALSE(fs::exists(DiscardFolder()));
        return installed;
    }

    // The package is refused and the old extension is back, whole.
    void ExpectRefused(const std::string& package)
    {
        EXPECT_FALSE(Install(package));
        EXPECT_EQ(ReadTree(Extension()), OldExtension);
    }

    std::string last_error_;
};

TEST_F(HostileArchiveTest, PathTraversalInEverySpellingIsRefused)
{
    const std::string up = UpToWorkFolder();
    const std::string outside = Outside().string();
    const std::vector<std::pair<std::string, Host>> names = {
        {"../evil.txt", Host::Unix},
        {up + "outside/evil.txt", Host::Unix},
        {up + "outside/victim.txt", Host::Unix},
        {"sub/../../evil.txt", Host::Unix},
        {"./../evil.txt", Host::Unix},
        {"sub/./../../evil.txt", Host::Unix},
        {"..", Host::Unix},
        {"sub/..", Host::Unix},
        {outside + "/evil.txt", Host::Unix},
        {"/" + outside + "/evil.txt", Host::Unix},
        {outside + "/victim.txt", Host::Unix},
    };
    for (const auto& [name, host] : names) {
        SCOPED_TRACE(name);
        ExpectRefused(ZipBuilder().File("index.html", "<html>new</html>").File(name, "evil", host).Bytes());
    }
    EXPECT_EQ(ReadFileBytes(Outside() / "victim.txt"), "must stay");
    EXPECT_FALSE(fs::exists(Outside() / "evil.txt"));
}

// Texts that only look like a way out are ordinary names inside the folder.
// The codec library keeps a backslash as part of the name on this system,
// even in an archive made on Windows.
TEST_F(HostileArchiveTest, NamesThatMerelyResembleTraversalStayInside)
{
    const std::string up_in_windows_spelling = "..\\..\\..\\..\\..\\..\\..\\..\\outside\\evil.txt";
    const std::vector<std::pair<std::string, Host>> names = {
        {"..\\evil.txt", Host::Fat},
        {"sub\\..\\..\\evil.txt", Host::Fat},
        {up_in_windows_spelling, Host::Fat},
        {"\\\\server\\share\\evil.txt", Host::Fat},
        {"..evil.txt", Host::Unix},
        {"%2e%2e/evil.txt", Host::Unix},
        {"\xef\xbc\x8e\xef\xbc\x8e\xef\xbc\x8f"
         "evil.txt",
         Host::Unix},  // fullwidth "../"
        {"~/evil.txt", Host::Unix},
        {"C:\\evil.txt", Host::Unix},
        {"..\\evil.txt", Host::Unix},
    };
    for (const auto& [name, host] : names) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Install(ZipBuilder().File(name, "inside", host).Bytes())) << last_error_;
        const FolderTree tree = ReadTree(Extension());
        EXPECT_EQ(std::count_if(tree.begin(), tree.end(), [](const auto& entry) { return entry.second == "inside"; }),
                  1);
    }
}

TEST_F(HostileArchiveTest, LinksAreWrittenAsPlainFilesSoNothingGoesThroughThem)
{
    const std::string outside = Outside().string();
    ExpectRefused(ZipBuilder().Link("link", outside).File("link/evil.txt", "evil").Bytes());
    ExpectRefused(ZipBuilder().Link("link", UpToWorkFolder() + "outside").File("link/evil.txt", "evil").Bytes());

    ASSERT_TRUE(Install(ZipBuilder().Link("link", outside + "/victim.txt").Bytes())) << last_error_;
    EXPECT_FALSE(fs::is_symlink(Extension() / "link"));
    EXPECT_EQ(ReadFileBytes(Extension() / "link"), outside + "/victim.txt");
    EXPECT_EQ(ReadFileBytes(Outside() / "victim.txt"), "must stay");
}

TEST_F(HostileArchiveTest, DuplicateNamesLeaveTheLastCopy)
{
    ASSERT_TRUE(Install(ZipBuilder()
                            .File("index.html", "first")
                            .Folder("js")
                            .File("js/main.js", "one")
                            .Folder("js")
                            .File("index.html", "second")
                            .File("js/main.js", "two")
                            .Bytes()))
        << last_error_;
    EXPECT_EQ(ReadTree(Extension()), (FolderTree{{"index.html", "second"}, {"js", "<folder>"}, {"js/main.js", "two"}}));
}

TEST_F(HostileArchiveTest, FileAndFolderOfTheSameNameAreRefusedUnlessTheFolderIsEmpty)
{
    ExpectRefused(ZipBuilder().File("same", "file").File("same/inner.txt", "below").Bytes());
    ExpectRefused(ZipBuilder().Folder("same").File("same", "file").Bytes());
    ExpectRefused(ZipBuilder().File("same/inner.txt", "below").File("same", "file").Bytes());
    // A folder item that cannot be made is passed over: the file stays.
    ASSERT_TRUE(Install(ZipBuilder().File("same", "file").Folder("same").Bytes())) << last_error_;
    EXPECT_EQ(ReadTree(Extension()), (FolderTree{{"same", "file"}}));
}

TEST_F(HostileArchiveTest, NamesTooLongForTheFileSystemAreRefused)
{
    ASSERT_TRUE(Install(ZipBuilder().File(std::string(255, 'n'), "longest").Bytes())) << last_error_;
    EXPECT_EQ(ReadFileBytes(Extension() / std::string(255, 'n')), "longest");

    WriteTree(Extension(), OldExtension);
    fs::remove(Extension() / std::string(255, 'n'));
    ExpectRefused(ZipBuilder().File("index.html", "new").File(std::string(256, 'n'), "too long").Bytes());

    std::string deep;
    for (int level = 0; level < 40; ++level) deep += std::string(200, 'd') + "/";
    ExpectRefused(ZipBuilder().File("index.html", "new").File(deep + "file.txt", "too deep").Bytes());
}

TEST_F(HostileArchiveTest, TruncatedArchivesAreRefused)
{
    const std::string whole = MakePackage(NewPackage);
    for (const std::size_t length : {std::size_t{0}, std::size_t{4}, whole.size() / 10, whole.size() / 2,
                                     whole.size() * 9 / 10, whole.size() - 1}) {
        SCOPED_TRACE(length);
        ExpectRefused(whole.substr(0, length));
    }
}

TEST_F(HostileArchiveTest, ChecksumErrorInTheLastItemUndoesTheEarlierOnes)
{
    ExpectRefused(MakeDamagedPackage());
    EXPECT_THAT(last_error_, testing::HasSubstr("CRC"));
    ExpectRefused(ZipBuilder().File("index.html", "new").File("last.txt", "damaged").DamageLastChecksum().Bytes());
}

// The installation shares the items out by size: the largest to the first
// worker, the next largest to the second, which meets the damage.
TEST_F(HostileArchiveTest, ChecksumErrorInTheSecondWorkersItemRestoresTheOldExtension)
{
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core extracts with one worker";
    ZipBuilder package;
    package.File("first.bin", std::string(4 << 20, 'f'));
    for (int i = 0; i < 40; ++i) package.File("small/" + std::to_string(i) + ".txt", std::string(64 * 1024, 's'));
    package.File("damaged.bin", std::string(3 << 20, 'd')).DamageLastChecksum();
    ExpectRefused(package.Bytes());
    EXPECT_EQ(last_error_, "CRC Failed");
}

TEST_F(HostileArchiveTest, ThousandsOfEmptyFilesAreInstalledCompletely)
{
    constexpr int kFiles = 10000;
    ZipBuilder package;
    for (int i = 0; i < kFiles; ++i) package.File("empty/" + std::to_string(i % 100) + "/" + std::to_string(i), "");
    ASSERT_TRUE(Install(package.Bytes())) << last_error_;
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Extension())) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(entry.file_size(), 0u);
            ++files;
        }
    }
    EXPECT_EQ(files, kFiles);
}

}  // namespace
