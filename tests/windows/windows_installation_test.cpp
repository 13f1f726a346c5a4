// Windows refuses to delete read-only files: replacing an extension that has
// some, or undoing a replacement cut short, must still leave exactly one copy.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/installation_fixture.h"
#include "update/log/activity_log.h"
#include "update/package_installation.h"

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
    WriteTree(SetAsideFolder(), OldExtension);
    WriteTree(Extension(), {{"index.html", "<html>half</html>"}});
    MakeReadOnly(Extension() / "index.html");
    RecoverInterruptedReplacement();
    EXPECT_EQ(ReadTree(Extension()), OldExtension);
    EXPECT_TRUE(NoReplacementLeftovers());
}

}  // namespace
