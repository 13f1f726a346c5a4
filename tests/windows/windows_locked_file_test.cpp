// A file that another program holds open without delete sharing (a scanner,
// Illustrator's extension helper) for a moment: replacing it, or removing
// the folder it is in, waits for it instead of failing.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/durable/replacement_file.h"
#include "platform/files/file_system.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Opens `file` for reading, sharing reading and writing but not deletion,
// as a scanner does, and closes it a second later.
class HeldOpen {
public:
    explicit HeldOpen(const fs::path& file)
    {
        std::promise<bool> opened;
        std::future<bool> is_open = opened.get_future();
        thread_ = std::thread([file, &opened] {
            const HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            opened.set_value(handle != INVALID_HANDLE_VALUE);
            if (handle == INVALID_HANDLE_VALUE) return;
            // Wall-clock time: the program shows no sign of waiting, so the file
            // is let go a second in, inside the three seconds it keeps trying.
            std::this_thread::sleep_for(std::chrono::seconds(1));
            ::CloseHandle(handle);
        });
        open_ = is_open.get();
    }
    ~HeldOpen() { thread_.join(); }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;

    bool open() const { return open_; }

private:
    std::thread thread_;
    bool open_ = false;
};

// Without delete sharing the file can be neither replaced nor removed.
bool RefusesDeletion(const fs::path& file)
{
    return !::DeleteFileW(file.c_str()) &&
           (::GetLastError() == ERROR_SHARING_VIOLATION || ::GetLastError() == ERROR_ACCESS_DENIED);
}

TEST(WindowsLockedFileTest, HeldFileIsReplacedOnceReleased)
{
    const testing_support::WorkFolder work;
    ASSERT_TRUE(testing_support::WriteFileBytes("LocalConfig.json", "old"));
    const HeldOpen holder(fs::absolute("LocalConfig.json"));
    ASSERT_TRUE(holder.open());
    ASSERT_TRUE(RefusesDeletion("LocalConfig.json"));

    platform::ReplacementFile replacement(L"LocalConfig.json");
    ASSERT_EQ(replacement.Write("new", 3), 0);
    EXPECT_EQ(replacement.Commit(), 0) << replacement.failed_call() << ": " << replacement.ErrorText();
    EXPECT_EQ(testing_support::ReadFileBytes("LocalConfig.json"), "new");
}

TEST(WindowsLockedFileTest, FolderWithAHeldFileIsRemovedOnceReleased)
{
    const testing_support::WorkFolder work;
    fs::create_directories("extension/js");
    ASSERT_TRUE(testing_support::WriteFileBytes("extension/js/main.js", "held"));
    const HeldOpen holder(fs::absolute("extension/js/main.js"));
    ASSERT_TRUE(holder.open());
    ASSERT_TRUE(RefusesDeletion("extension/js/main.js"));

    EXPECT_NO_THROW(platform::RemoveTree("extension"));
    EXPECT_FALSE(fs::exists("extension"));
}

}  // namespace
