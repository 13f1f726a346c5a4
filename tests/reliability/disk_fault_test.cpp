// The extension platform's folders on a small tmpfs that is too small or
// read-only: the package is refused or fails, the old extension stays, the
// error leaves the run, and the next run installs once there is room.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "archive/archive_error.h"
#include "reliability/update_run_fixture.h"
#include "support/child_process.h"
#include "support/small_tmpfs.h"
#include "support/temp_folder.h"
#include "support/zip_builder.h"

namespace {

using namespace testing_support;

namespace fs = std::filesystem;
using testing::HasSubstr;

class DiskFaultTest : public UpdateRunTest {
protected:
    DiskFaultTest() : config_(WriteConfig(http_.Url("/version"))) { fs::remove_all(Adobe()); }

    static fs::path Adobe() { return Extensions().parent_path().parent_path(); }

    // Mounts a tmpfs with `options` where the design application's folders
    // are and installs the old extension on it.
    bool MountAdobeFolder(const std::string& options)
    {
        tmpfs_.emplace(Adobe(), options);
        if (!tmpfs_->mounted()) return false;
        WriteTree(Extension(), OldExtension);
        return true;
    }

    // The service offering version 2.0.0 as `package`.
    void OfferPackage(const std::string& package)
    {
        Serve("/version", Document("2.0.0"));
        Serve("/package.zip", package);
    }

    // A package of `megabytes` MB of zeros: tiny to download, large unpacked.
    std::string ZerosPackage(int megabytes)
    {
        const fs::path source = work_.path() / "zeros";
        fs::create_directories(source);
        WriteFileBytes(source / "zeros.bin", "");
        fs::resize_file(source / "zeros.bin", static_cast<std::uintmax_t>(megabytes) << 20);
        EXPECT_EQ(testing_support::RunInFolder(source, {"zip", "-q", "-9", "../zeros.zip", "zeros.bin"}), 0);
        fs::remove_all(source);
        std::string bytes = ReadFileBytes(work_.path() / "zeros.zip");
        fs::remove(work_.path() / "zeros.zip");
        return bytes;
    }

    const std::string config_;
    std::optional<testing_support::SmallTmpfs> tmpfs_;
};

#define MOUNT_OR_SKIP(options)                                                                \
    if (!MountAdobeFolder(options)) {                                                         \
        GTEST_SKIP() << "cannot mount a tmpfs here (" << tmpfs_->error() << "); run as root"; \
    }

TEST_F(DiskFaultTest, PackageLargerThanTheFreeSpaceIsRefusedBeforeWriting)
{
    MOUNT_OR_SKIP("size=4m");
    const std::string package = ZerosPackage(16);
    ASSERT_LT(package.size(), 100'000u);
    OfferPackage(package);

    EXPECT_THAT(RunUpdateError(), HasSubstr("Not enough free space for the package: 16777216 bytes to unpack"));
    ExpectUnchanged(config_);
    EXPECT_EQ(LogLines().back(), "[info] Delete Old Files!");

    ASSERT_TRUE(tmpfs_->Remount("size=32m"));
    RunUpdate();
    EXPECT_EQ(ReadLocalConfig("versionNumber"), "2.0.0");
    EXPECT_EQ(fs::file_size(Extension() / "zeros.bin"), 16u << 20);
}

TEST_F(DiskFaultTest, PackageThatFitsTheFreeSpaceIsInstalled)
{
    MOUNT_OR_SKIP("size=4m");
    OfferPackage(ZerosPackage(2));
    RunUpdate();
    EXPECT_EQ(ReadLocalConfig("versionNumber"), "2.0.0");
    EXPECT_EQ(fs::file_size(Extension() / "zeros.bin"), 2u << 20);
}

// Each small file takes a whole page of the tmpfs, so the announced size fits
// and the file system still runs full part-way.
TEST_F(DiskFaultTest, FileSystemRunningFullDuringExtractionKeepsTheOldExtension)
{
    MOUNT_OR_SKIP("size=1m");
    testing_support::ZipBuilder package;
    for (int i = 0; i < 600; ++i) package.File("small/" + std::to_string(i) + ".txt", std::string(100, 's'));
    OfferPackage(package.Bytes());

    // The codec library stops with the stream's error and no message.
    EXPECT_THAT([this] { RunUpdate(); }, testing::Throws<archive::ArchiveError>(testing::Property(
                                             &archive::ArchiveError::Code,
                                             archive::HResultFromWindowsError(platform::WindowsError::kDiskFull))));
    ExpectUnchanged(config_);

    ASSERT_TRUE(tmpfs_->Remount("size=16m"));
    RunUpdate();
    EXPECT_EQ(ReadLocalConfig("versionNumber"), "2.0.0");
    EXPECT_EQ(std::distance(fs::directory_iterator(Extension() / "small"), fs::directory_iterator()), 600);
}

TEST_F(DiskFaultTest, ReadOnlyExtensionFolderKeepsTheOldExtension)
{
    MOUNT_OR_SKIP("size=4m");
    OfferUpdate("2.0.0");
    ASSERT_TRUE(tmpfs_->Remount("", true));

    EXPECT_THAT(RunUpdateError(), HasSubstr("Read-only file system"));
    ExpectUnchanged(config_);

    ASSERT_TRUE(tmpfs_->Remount(""));
    RunUpdate();
    ExpectUpdatedTo("2.0.0");
}

}  // namespace
