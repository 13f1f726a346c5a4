// Extraction by several workers, each with its own archive object and thread.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>

#include "archive/archive_format.h"
#include "archive/codec/input_archive.h"
#include "archive/extraction_plan.h"
#include "archive/extractor.h"
#include "archive_test_support.h"
#include "platform/process/child_process.h"
#include "support/zip_builder.h"

namespace archive {
namespace {

using namespace archive::testing;
using testing_support::ZipBuilder;

class ParallelExtractionTest : public ArchiveTest {
protected:
    void Extract(const fs::path& archive, const fs::path& output, std::size_t workers)
    {
        fs::create_directories(output);
        Extractor extractor(library_, formats::Zip);
        extractor.SetWorkerCount(workers);
        extractor.ExtractToFolder(Wide(archive), Wide(output));
    }

    ExtractionPlan Plan(const fs::path& archive, std::size_t workers)
    {
        const Extractor extractor(library_, formats::Zip);
        const InputArchive opened(extractor, Wide(archive));
        return PlanExtraction(opened, workers);
    }

    fs::path Write(const ZipBuilder& zip, const std::string& name)
    {
        WriteFileBytes(Root() / name, zip.Bytes());
        return Root() / name;
    }

    // Each entry below `folder`: its kind, mode, modification time and content.
    static std::map<std::string, std::string> Describe(const fs::path& folder)
    {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            std::string description = std::to_string(Mode(entry.path()));
            if (entry.is_directory()) {
                description += " folder";
            } else {
                description += " " + std::to_string(entry.last_write_time().time_since_epoch().count()) + " " +
                               ReadFileBytes(entry.path());
            }
            entries[fs::relative(entry.path(), folder).string()] = description;
        }
        return entries;
    }
};

TEST(BalanceBySizeTest, ListsAreBalancedByUnpackedSizeAndKeepTheArchiveOrder)
{
    EXPECT_EQ(BalanceBySize({5, 1, 4, 2, 3, 3}, 2), (std::vector<std::vector<std::uint32_t>>{{0, 1, 5}, {2, 3, 4}}));
    EXPECT_EQ(BalanceBySize({7}, 2), (std::vector<std::vector<std::uint32_t>>{{0}}));
    EXPECT_EQ(BalanceBySize({1, 2, 3}, 1), (std::vector<std::vector<std::uint32_t>>{{0, 1, 2}}));
}

TEST_F(ParallelExtractionTest, OneWorkerKeepsArchivesWhoseItemOrderDecidesTheResult)
{
    const auto bulk = std::make_shared<const std::string>(kMinimumSizeForWorkers, 'b');
    const auto plan_of = [&](ZipBuilder zip) { return Plan(Write(zip.File("bulk.bin", bulk), "plan.zip"), 2); };

    EXPECT_EQ(plan_of(ZipBuilder().File("a.txt", "a")).lists.size(), 2u);
    EXPECT_EQ(Plan(Write(ZipBuilder().File("a.txt", "a").File("b.txt", "b"), "small.zip"), 2).lists.size(), 0u);
    EXPECT_EQ(plan_of(ZipBuilder().File("a.txt", "a").File("a.txt", "again")).lists.size(), 0u);
    EXPECT_EQ(plan_of(ZipBuilder().File("A.txt", "a").File("a.txt", "other case")).lists.size(), 0u);
    EXPECT_EQ(plan_of(ZipBuilder().File("same", "file").File("same/inner.txt", "below")).lists.size(), 0u);
    EXPECT_EQ(plan_of(ZipBuilder().File("./a.txt", "a")).lists.size(), 0u);

    const ExtractionPlan plan = plan_of(ZipBuilder().File("a/b/c.txt", "c").Folder("d"));
    EXPECT_EQ(plan.folders, (std::vector<std::wstring>{L"a", L"a/b", L"d"}));
    EXPECT_EQ(plan.total_size, kMinimumSizeForWorkers + 1);
}

TEST_F(ParallelExtractionTest, TwoWorkersWriteWhatOneWorkerWritesOnAMixedArchive)
{
    const fs::path source = Root() / "source";
    std::mt19937 random(15);
    for (int i = 0; i < 60; ++i) {
        std::string data(1000 + random() % 200000, ' ');
        for (char& c : data) c = i % 3 ? static_cast<char>('a' + random() % 4) : static_cast<char>(random());
        WriteFileBytes(source / ("dir" + std::to_string(i % 4)) / ("sub" + std::to_string(i % 3)) /
                           ("file" + std::to_string(i) + (i % 3 ? ".txt" : ".raw")),
                       data);
    }
    WriteFileBytes(source / "中文目录" / "文件.txt", "中文内容");
    WriteFileBytes(source / "empty.txt", "");
    fs::create_directories(source / "empty-folder");
    WriteFileBytes(source / "readonly.txt", "locked");
    fs::permissions(source / "readonly.txt", fs::perms::owner_read | fs::perms::group_read);
    WriteFileBytes(source / "script.sh", "#!/bin/sh\n");
    fs::permissions(source / "script.sh", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    ASSERT_EQ(platform::RunProgram(
                  {"touch", "-d", "2001-02-03 04:05:06 UTC", (source / "dir1" / "sub1" / "file1.txt").string()}),
              0);
    // Random data stored, the rest deflated.
    const fs::path archive = Zip("source", "mixed.zip", {"-r", "-n", ".raw"});
    ASSERT_EQ(Plan(archive, 2).lists.size(), 2u);

    const std::size_t descriptors = OpenDescriptorCount();
    Extract(archive, Root() / "one", 1);
    Extract(archive, Root() / "two", 2);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    const auto expected = Describe(Root() / "one");
    EXPECT_EQ(expected.size(), 60u + 4 + 12 + 6);
    EXPECT_EQ(Describe(Root() / "two"), expected);
}

TEST_F(ParallelExtractionTest, UnsafePathInOneWorkerStopsTheOthers)
{
    const auto block = std::make_shared<const std::string>(128 * 1024, 's');
    ZipBuilder zip;
    zip.File("../escape.txt", std::string(1 << 20, 'e'));
    for (int i = 0; i < 200; ++i) zip.File("small/" + std::to_string(i) + ".bin", block);
    const fs::path out = Root() / "deep" / "out";
    const fs::path archive = Write(zip, "unsafe.zip");
    const ExtractionPlan plan = Plan(archive, 2);
    // The largest item, the unsafe one, is the first of the first worker.
    ASSERT_EQ(plan.lists.size(), 2u);
    ASSERT_EQ(plan.lists[0].front(), 0u);

    const std::size_t descriptors = OpenDescriptorCount();
    ExpectArchiveError([&] { Extract(archive, out, 2); }, "Unsafe item path ../escape.txt", hresult::kAbort);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_FALSE(fs::exists(Root() / "deep" / "escape.txt"));
    // The other worker had 12 MB to write when the first one stopped at once.
    EXPECT_FALSE(fs::exists(out / "small" / (std::to_string(plan.lists[1].back() - 1) + ".bin")));
}

}  // namespace
}  // namespace archive
