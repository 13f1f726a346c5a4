// A 1 GiB package streamed by the loopback server, never held in memory:
// the update either completes or fails cleanly, with nothing half-installed.
// Long (it writes the package twice over); it runs only when
// MERRO_LONG_TESTS=1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "reliability/update_run_fixture.h"
#include "support/temp_folder.h"
#include "support/zip_builder.h"

namespace {

using namespace testing_support;

namespace fs = std::filesystem;

constexpr int kItems = 1024;
constexpr std::size_t kItemSize = 1 << 20;

class LargePackageTest : public UpdateRunTest {
protected:
    void SetUp() override
    {
        const char* long_tests = std::getenv("MERRO_LONG_TESTS");
        if (!long_tests || std::string(long_tests) != "1") GTEST_SKIP() << "long test: set MERRO_LONG_TESTS=1";
        auto block = std::make_shared<std::string>(kItemSize, '\0');
        for (std::size_t i = 0; i < block->size(); ++i) (*block)[i] = static_cast<char>(i * 7919 % 251);
        ZipBuilder package;
        for (int i = 0; i < kItems; ++i) package.File("bulk/" + std::to_string(i) + ".bin", block);
        pieces_ = package.Layout();
        for (const auto& piece : pieces_) size_ += piece->size();
        block_ = block;
        ResetPeakResident();
    }

    // Serves the package at `path`, dropping the connection after `cut`
    // bytes when that is less than the whole.
    void ServePackage(const std::string& path, std::uint64_t cut)
    {
        http_.server().Get(path, [this, cut](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(
                size_, "application/zip", [this, cut](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    if (offset >= cut) return false;
                    return WritePiecesAt(offset, std::min<std::uint64_t>(length, cut - offset), sink);
                });
        });
    }

    // Writes up to 1 MiB of the archive's bytes from `offset`.
    bool WritePiecesAt(std::uint64_t offset, std::uint64_t length, httplib::DataSink& sink) const
    {
        length = std::min<std::uint64_t>(length, 1 << 20);
        std::uint64_t start = 0;
        for (const auto& piece : pieces_) {
            const std::uint64_t end = start + piece->size();
            if (offset < end) {
                const std::uint64_t from = offset - start;
                const std::uint64_t count = std::min<std::uint64_t>(length, piece->size() - from);
                return sink.write(piece->data() + from, count);
            }
            start = end;
        }
        return false;
    }

    // A value in KiB of the process's status: "VmHWM" is the peak resident
    // memory since ResetPeakResident, "VmRSS" the current.
    static long StatusKib(const std::string& name)
    {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
        }
        return 0;
    }
    // Earlier tests in the same process do not count.
    void ResetPeakResident()
    {
        std::ofstream("/proc/self/clear_refs") << "5";
        resident_at_start_kib_ = StatusKib("VmRSS");
    }

    ZipBuilder::Pieces pieces_;
    std::shared_ptr<const std::string> block_;
    std::uint64_t size_ = 0;
    long resident_at_start_kib_ = 0;
};

TEST_F(LargePackageTest, OneGigabytePackageIsInstalledOrFailsCleanly)
{
    ServePackage("/cut.zip", size_ * 9 / 10);
    Serve("/version", Document("2.0.0", "/cut.zip"));
    const std::string config = WriteConfig(http_.Url("/version"));
    RunUpdate();
    EXPECT_EQ(LogLines().back(), "[error] Download Zip Error");
    ExpectUnchanged(config);
    EXPECT_FALSE(fs::exists("com.qv.plug.zip"));

    ServePackage("/large.zip", size_);
    Serve("/offering-large", Document("2.0.0", "/large.zip"));
    WriteConfig(http_.Url("/offering-large"));
    RunUpdate();
    EXPECT_EQ(LogLines().back(), "[info] Update Config Finish!");
    EXPECT_EQ(fs::file_size("com.qv.plug.zip"), size_);
    EXPECT_EQ(std::distance(fs::directory_iterator(Extension() / "bulk"), fs::directory_iterator()), kItems);
    EXPECT_EQ(fs::file_size(Extension() / "bulk/1023.bin"), kItemSize);
    EXPECT_EQ(ReadFileBytes(Extension() / "bulk/512.bin"), *block_);
    // Neither the server nor the download held the package in memory.
    EXPECT_LT(StatusKib("VmHWM") - resident_at_start_kib_, static_cast<long>(size_ / 1024 / 2));
}

}  // namespace
