// Windows refuses to delete read-only files: replacing an extension that has
// some, or undoing a replacement cut short, must still leave exactly one copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/paths/long_path_win.h"
#include "support/installation_fixture.h"
#include "update/log/activity_log.h"
#include "update/package_installation.h"
#include "update/paths.h"

namespace {

using namespace testing_support;

namespace fs = std::filesystem;

void MakeReadOnly(const fs::path& file)
{
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ASSERT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none) << file;
}

class WindowsInstallationTest : public InstallationTest {
protected:
    WindowsInstallationTest() { testing_support::WriteFileBytes("com.qv.plug.zip", MakePackage(NewPackage)); }
};

TEST_F(WindowsInstallationTest, OldExtensionWithReadOnlyFilesIsReplacedWithoutLeftovers)
{
    WriteTree(Extension(), OldExtension);
    MakeReadOnly(Extension() / "obsolete/deep/file.txt");
    MakeReadOnly(Extension() / "index.html");
    const ActivityLogSession session;
    ASSERT_TRUE(ExtractPackage(session.log()));
    EXPECT_EQ(ReadTree(Extension()), NewPackage);
    EXPECT_TRUE(NoReplacementLeftovers());
}

TEST_F(WindowsInstallationTest, InterruptedReplacementWithReadOnlyFilesIsUndone)
{
    // As a crash leaves it: the old copy set aside, part of the new one written.
    RecordReplacement();
    WriteTree(SetAsideFolder(), OldExtension);
    WriteTree(StagingFolder(), {{"index.html", "<html>half</html>"}});
    MakeReadOnly(StagingFolder() / "index.html");
    const ActivityLogSession session;
    RecoverInterruptedReplacement(session.log());
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    EXPECT_TRUE(NoReplacementLeftovers());
}

// Without the "\\?\" prefix every file call fails past 260 characters on a
// machine without the long-path policy. Wine has no such limit for the
// system's calls, but the C++ library's directory walk has one, so the deep
// file is read through a prefixed path.
TEST_F(WindowsInstallationTest, PackageWithPathsPastTheOldLimitInstallsAndIsReplaced)
{
    FolderTree deep = NewPackage;
    std::string folder = "node_modules";
    deep[folder] = "<folder>";
    for (int level = 0; level < 8; ++level) {
        folder += "/package-with-a-rather-long-name-" + std::to_string(level);
        deep[folder] = "<folder>";
    }
    deep[folder + "/index.js"] = "module.exports = 1;";
    const std::wstring installed =
        platform::LongPath(ExtensionDir() + L"/" + platform::Utf8ToWide(folder) + L"/index.js");
    ASSERT_GT(installed.size(), 300u);
    const ActivityLogSession session;
    testing_support::WriteFileBytes("com.qv.plug.zip", MakePackage(deep));
    ASSERT_TRUE(ExtractPackage(session.log()));
    EXPECT_EQ(testing_support::ReadFileBytes(installed), "module.exports = 1;");

    testing_support::WriteFileBytes("com.qv.plug.zip", MakePackage(NewPackage));
    ASSERT_TRUE(ExtractPackage(session.log()));
    EXPECT_EQ(ReadTree(Extension()), NewPackage);
    EXPECT_TRUE(NoReplacementLeftovers());
}

}  // namespace
