#include <unistd.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/extractor.h"
#include "archive_test_support.h"
#include "platform/process/child_process.h"

namespace archive {
namespace {

using namespace archive::testing;

// A Python string literal holding the text.
std::string PythonText(const std::string& text) { return nlohmann::json(text).dump(); }

// Each failure leaves no descriptor open behind it.
class ExtractorFailureTest : public ArchiveTest {
protected:
    void ExpectFailure(const fs::path& archive, const fs::path& output, const std::string& message, HRESULT code)
    {
        const std::size_t descriptors = OpenDescriptorCount();
        Extractor extractor(library_, formats::Zip);
        ExpectArchiveError([&] { extractor.ExtractToFolder(Wide(archive), Wide(output)); }, message, code);
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
    }

    fs::path ZipOneFile(const std::string& name, const std::string& content,
                        const std::vector<std::string>& options = {"-r"})
    {
        WriteFileBytes(Root() / "source" / name, content);
        return Zip("source", "package.zip", options);
    }

    // Writes an archive with the given entries using Python's zipfile, which
    // keeps hostile names as they are; a mode makes an entry a Unix one.
    fs::path CraftZip(const std::string& entries)
    {
        const fs::path archive = Root() / "crafted.zip";
        const std::string script =
            "import sys, zipfile\n"
            "def add(z, name, data, mode=None):\n"
            "    i = zipfile.ZipInfo(name)\n"
            "    if mode is not None: i.external_attr, i.create_system = mode << 16, 3\n"
            "    z.writestr(i, data)\n"
            "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n" +
            entries;
        WriteFileBytes(Root() / "craft.py", script);
        EXPECT_EQ(platform::RunProgram({"python3", (Root() / "craft.py").string(), archive.string()}), 0);
        return archive;
    }

    struct ModeCase {
        std::string name;  // a folder's ends with "/"
        unsigned stored;
        unsigned extracted;
    };

    // Extracts an archive of Unix entries with the stored modes and checks
    // the mode each one ends up with.
    void ExpectModes(const std::vector<ModeCase>& cases)
    {
        std::string entries;
        for (const ModeCase& entry : cases) {
            const std::string data = entry.name.ends_with('/') ? "" : entry.name;
            entries += "    add(z, '" + entry.name + "', '" + data + "', " + std::to_string(entry.stored) + ")\n";
        }
        const fs::path out = Root() / "out";
        fs::create_directories(out);
        Extractor extractor(library_, formats::Zip);
        extractor.ExtractToFolder(Wide(CraftZip(entries)), Wide(out));
        for (const ModeCase& entry : cases) {
            EXPECT_EQ(Mode(out / entry.name), entry.extracted) << entry.name;
            if (!entry.name.ends_with('/')) {
                EXPECT_EQ(ReadFileBytes(out / entry.name), entry.name);
            }
        }
    }
};

TEST_F(ExtractorFailureTest, CorruptedDataFailsWithCrcError)
{
    const std::string content = "stored content that will be damaged";
    const fs::path archive = ZipOneFile("file.txt", content, {"-r", "-0"});
    std::string bytes = ReadFileBytes(archive);
    const auto at = bytes.find(content);
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'X';
    WriteFileBytes(archive, bytes);
    fs::create_directories(Root() / "out");

    ExpectFailure(archive, Root() / "out", "CRC Failed", hresult::kFail);
}

TEST_F(ExtractorFailureTest, FolderInTheWayOfFileCannotBeDeleted)
{
    const fs::path archive = ZipOneFile("item", "data");
    fs::create_directories(Root() / "out" / "item");
    ExpectFailure(archive, Root() / "out", "Cannot delete output file " + (Root() / "out" / "item").string(),
                  hresult::kAbort);
}

TEST_F(ExtractorFailureTest, FileInTheWayOfFolderFailsTheFileBelowIt)
{
    const fs::path archive = ZipOneFile("dir/file.txt", "data");
    WriteFileBytes(Root() / "out" / "dir", "a file where the folder goes");
    ExpectFailure(archive, Root() / "out", "Cannot open output file " + (Root() / "out" / "dir" / "file.txt").string(),
                  hresult::kAbort);
}

TEST_F(ExtractorFailureTest, UnwritableOutputFolderCannotTakeFiles)
{
    const fs::path archive = ZipOneFile("file.txt", "data");
    // No permission bit stops the superuser; /proc refuses new files to everyone.
    fs::path output = Root() / "locked";
    if (geteuid() == 0) {
        output = "/proc/self";
    } else {
        fs::create_directories(output);
        fs::permissions(output, fs::perms::owner_read | fs::perms::owner_exec);
    }
    ExpectFailure(archive, output, "Cannot open output file " + (output / "file.txt").string(), hresult::kAbort);
}

TEST_F(ExtractorFailureTest, MissingOrInvalidArchiveIsNotOpened)
{
    const fs::path missing = Root() / "missing.zip";
    ExpectFailure(missing, Root(), "Cannot open archive file '" + missing.string() + "'", 110);

    const fs::path text = Root() / "text.zip";
    WriteFileBytes(text, "this is not a zip archive");
    ExpectFailure(text, Root(), "Cannot open archive '" + text.string() + "'", 110);

    const fs::path empty = Root() / "empty.zip";
    WriteFileBytes(empty, "");
    ExpectFailure(empty, Root(), "Cannot open archive '" + empty.string() + "'", 110);

    ExpectFailure(Root(), Root(), "Cannot open archive file '" + Root().string() + "'", 110);
}

class UnsafeArchiveTest : public ExtractorFailureTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnsafeArchiveTest, ItemLeavingOutputFolderIsRefused)
{
    const fs::path out = Root() / "deep" / "out";
    fs::create_directories(out);
    std::string name = GetParam();
    if (name.front() == '/') name = (Root() / "absolute-target").string();
    const fs::path archive =
        CraftZip("    add(z, 'first.txt', 'fine')\n    add(z, " + PythonText(name) + ", 'escaped')\n");

    ExpectFailure(archive, out, "Unsafe item path " + name, hresult::kAbort);
    EXPECT_EQ(ReadFileBytes(out / "first.txt"), "fine");
    std::size_t written = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Root())) {
        if (entry.is_regular_file() && ReadFileBytes(entry.path()) == "escaped") ++written;
    }
    EXPECT_EQ(written, 0u);
}

INSTANTIATE_TEST_SUITE_P(Names, UnsafeArchiveTest, ::testing::Values("../x", "a/../../x", "/absolute", "a//b", ".."));

TEST_F(ExtractorFailureTest, SymbolicLinkItemBecomesRegularFileHoldingItsTarget)
{
    const fs::path out = Root() / "out";
    fs::create_directories(out);
    const fs::path outside = Root() / "outside";
    fs::create_directories(outside);
    const fs::path archive = CraftZip("    add(z, 'link', " + PythonText(outside.string()) +
                                      ", 0o120777)\n"
                                      "    add(z, 'link/escaped.txt', 'escaped')\n");

    ExpectFailure(archive, out, "Cannot open output file " + (out / "link" / "escaped.txt").string(), hresult::kAbort);
    EXPECT_FALSE(fs::is_symlink(out / "link"));
    EXPECT_EQ(ReadFileBytes(out / "link"), outside.string());
    EXPECT_EQ(Mode(out / "link") & 0111, 0u);
    EXPECT_TRUE(fs::is_empty(outside));
}

TEST_F(ExtractorFailureTest, PermissionBitsNeverIncludeSetIdOrSticky)
{
    ExpectModes({{"setuid", 0107755, 0755},
                 {"plain", 0640, 0640},
                 {"shut/", 040000, 0700},
                 {"shut/inside.txt", 0100444, 0444}});
}

TEST_F(ExtractorFailureTest, FilesTheOwnerCannotReadGetOwnerReadAndWrite)
{
    // A file its owner can read keeps its mode, read-only included.
    ExpectModes({{"no-bits", 0100000, 0600},
                 {"write-only", 0200, 0600},
                 {"group-read", 0100044, 0644},
                 {"read-only", 0100400, 0400}});
}

}  // namespace
}  // namespace archive
