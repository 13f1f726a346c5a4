#pragma once
// What the installation and update tests share: a private working folder and
// Wine prefix, a window that records what is posted to it, packages made with
// the zip tool (on Windows, where the tool is not at hand, written by the
// tests' own ZIP writer with the same stored items), and readers for the
// activity log and the extension folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/text.h"
#include "platform/files/file_system.h"
#include "platform/paths/drive_mapping.h"
#include "platform/paths/native_path.h"
#include "support/activity_log.h"
#include "support/documents.h"
#include "support/temp_folder.h"
#include "update/extension_replacement.h"
#include "update/package_installation.h"
#include "update/paths.h"
#include "update/run_outcome.h"

#if defined(_WIN32)
#include "support/zip_builder.h"
#else
#include "support/child_process.h"
#endif

namespace testing_support {

// The JSON library's error for a value that is missing where a string is read.
inline auto ThrowsMissingStringError()
{
    return testing::ThrowsMessage<nlohmann::json::type_error>(
        testing::StrEq("[json.exception.type_error.302] type must be string, but is null"));
}

// Relative path -> content of each file, "<folder>" for each folder.
using FolderTree = std::map<std::string, std::string>;

// Package contents shared by the tests: files at the top and in sub-folders,
// and a Chinese file name.
inline const FolderTree NewPackage = {
    {"CSXS", "<folder>"},
    {"CSXS/manifest.xml", "<ExtensionManifest Version=\"2.0\"/>"},
    {"index.html", "<html>new</html>"},
    {"js", "<folder>"},
    {"js/main.js", "console.log('new');"},
    {"资源", "<folder>"},
    {"资源/图标.png", "png bytes"},
};

inline const FolderTree OldExtension = {
    {"CSXS", "<folder>"},
    {"CSXS/manifest.xml", "<ExtensionManifest Version=\"1.0\"/>"},
    {"index.html", "<html>old</html>"},
    {"obsolete", "<folder>"},
    {"obsolete/deep", "<folder>"},
    {"obsolete/deep/file.txt", "only in the old extension"},
};

// Another copy of the machine replacing the extension: a thread holds the
// extension lock (on Windows a mutex belongs to its thread) until Release.
class ReplacementByAnotherCopy {
public:
    ReplacementByAnotherCopy()
        : holder_([this] {
              const platform::MachineLock lock = LockExtension(std::chrono::milliseconds(0));
              {
                  const std::lock_guard guard(mutex_);
                  held_ = lock.held();
                  taken_ = true;
              }
              changed_.notify_all();
              std::unique_lock guard(mutex_);
              changed_.wait(guard, [this] { return released_; });
          })
    {
        std::unique_lock guard(mutex_);
        changed_.wait(guard, [this] { return taken_; });
    }
    ~ReplacementByAnotherCopy() { Release(); }

    bool held() const { return held_; }

    void Release()
    {
        {
            const std::lock_guard guard(mutex_);
            released_ = true;
        }
        changed_.notify_all();
        if (holder_.joinable()) holder_.join();
    }

    // Releases after `delay`, from the holder's side, while the caller waits.
    void ReleaseAfter(std::chrono::milliseconds delay)
    {
        releaser_ = std::thread([this, delay] {
            std::this_thread::sleep_for(delay);
            released_early_ = true;
            Release();
        });
    }
    bool released_early() const { return released_early_; }
    void JoinReleaser()
    {
        if (releaser_.joinable()) releaser_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool taken_ = false;
    bool held_ = false;
    bool released_ = false;
    std::atomic<bool> released_early_{false};
    std::thread holder_;
    std::thread releaser_;
};

class InstallationTest : public ::testing::Test {
protected:
    InstallationTest()
    {
        // The folders every machine (or Wine prefix) with the design application has.
        std::filesystem::create_directories(AdobeFolder());
        platform::RemoveTree(platform::NativePath(CepRootDir()));
    }
    ~InstallationTest() override
    {
        // On Windows the extension platform's folder is the machine's, not the test's.
        try {
            platform::RemoveTree(platform::NativePath(CepRootDir()));
        } catch (const std::filesystem::filesystem_error&) {
        }
    }

    static std::filesystem::path AdobeFolder()
    {
        return platform::NativePath(platform::MapDrivePath(L"C:/Program Files/Common Files/Adobe"));
    }

    static std::filesystem::path Extension() { return platform::NativePath(ExtensionDir()); }
    static std::filesystem::path Extensions() { return platform::NativePath(CepExtensionsDir()); }

    // Writes the files of `tree` below `folder`.
    static void WriteTree(const std::filesystem::path& folder, const FolderTree& tree)
    {
        std::filesystem::create_directories(folder);
        for (const auto& [name, content] : tree) {
            const auto path = folder / platform::NativePath(platform::Utf8ToWide(name));
            if (content == "<folder>") {
                std::filesystem::create_directories(path);
            } else {
                std::filesystem::create_directories(path.parent_path());
                WriteFileBytes(path, content);
            }
        }
    }

    static FolderTree ReadTree(const std::filesystem::path& folder)
    {
        FolderTree tree;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            const std::string name = platform::GenericUtf8Path(std::filesystem::relative(entry.path(), folder));
            tree[name] = entry.is_directory() ? "<folder>" : ReadFileBytes(entry.path());
        }
        return tree;
    }

    // Zips `tree` with the zip tool, stored uncompressed so that a test can
    // find and damage an item's bytes.
    std::string MakePackage(const FolderTree& tree)
    {
#if defined(_WIN32)
        ZipBuilder zip;
        for (const auto& [name, content] : tree) {
            if (content == "<folder>") zip.Folder(name);
            else zip.File(name, content);
        }
        return zip.Bytes();
#else
        const auto source = work_.path() / ("package-source-" + std::to_string(++packages_made_));
        WriteTree(source, tree);
        const auto zip = work_.path() / ("package-" + std::to_string(packages_made_) + ".zip");
        EXPECT_EQ(ZipFolder(source, zip, {"-0", "-r"}), 0);
        std::filesystem::remove_all(source);
        std::string bytes = ReadFileBytes(zip);
        std::filesystem::remove(zip);
        return bytes;
#endif
    }

    // A package whose last item's stored bytes are damaged, so that its CRC
    // check fails after the earlier items were written.
    std::string MakeDamagedPackage()
    {
        FolderTree tree = NewPackage;
        tree["zz-last.txt"] = "LAST-ITEM-CONTENT-LAST-ITEM-CONTENT";
        std::string bytes = MakePackage(tree);
        const auto at = bytes.find("LAST-ITEM-CONTENT");
        EXPECT_NE(at, std::string::npos);
        if (at != std::string::npos) bytes[at] = 'X';
        return bytes;
    }

    // The activity log's lines without their time stamp and logger name,
    // such as "[info] Setup Complete!".
    static std::vector<std::string> LogLines()
    {
        std::vector<std::string> lines;
        for (const auto& line : ReadActivityLog("Log/action-log.txt")) {
            lines.push_back("[" + line.level + "] " + line.text);
        }
        return lines;
    }

    // No folder or record of an earlier replacement is left behind.
    static bool NoReplacementLeftovers()
    {
        return !std::filesystem::exists(SetAsideFolder()) && !std::filesystem::exists(DiscardFolder()) &&
               !std::filesystem::exists(StagingFolder()) && !ReplacementRecorded();
    }

    // What the program records in its working folder before it moves the
    // extension aside, for tests that leave folders as its crash would.
    static void RecordReplacement() { WriteFileBytes(platform::NativePath(SetAsideRecordFileName), ""); }

    WorkFolder work_;
    // What the last run told the shell to announce.
    RunOutcome outcome_;

private:
    int packages_made_ = 0;
};

}  // namespace testing_support
