#include "update/package_installation.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "archive/archive_format.h"
#include "archive/codec_library.h"
#include "archive/extractor.h"
#include "platform/base/text.h"
#include "platform/files/free_space.h"
#include "platform/paths/native_path.h"
#include "platform/paths/path.h"
#include "platform/process/dynamic_library.h"
#include "update/extension_replacement.h"
#include "update/host_detection.h"
#include "update/leftover_files.h"
#include "update/local_config.h"
#include "update/paths.h"

namespace fs = std::filesystem;

namespace {

bool sole_writer = false;

// Leaves the staging folder empty, the old contents moved aside.
void PrepareExtensionFolder(const ActivityLog& log)
{
    if (StartReplacement()) log->info(logtext::DeleteOldFiles);
    else log->info(logtext::CreateDirectory);
}

// Refuses a package that cannot fit before any of it is written. The old
// contents moved aside keep their room until the new ones are complete, so
// only the space free now counts.
void RefuseWhatCannotFit(std::uint64_t unpacked_size)
{
    const std::uint64_t available = platform::AvailableSpace(StagingDir());
    if (unpacked_size <= available) return;
    throw std::runtime_error("Not enough free space for the package: " + std::to_string(unpacked_size) +
                             " bytes to unpack, " + std::to_string(available) + " bytes free in " +
                             platform::WideToUtf8(StagingDir()));
}

// The extractor goes before the library it came from.
void ExtractIntoStagingFolder()
{
    const archive::CodecLibrary library(platform::CodecLibraryFileNames());
    archive::Extractor extractor(library, archive::formats::Zip);
    extractor.SetTotalSizeHook(RefuseWhatCannotFit);
    extractor.ExtractToFolder(PackageFileName, StagingDir() + platform::kPathSeparator);
}

// ExtractPackage once an interrupted replacement has been dealt with.
bool InstallPackage(const ActivityLog& log)
{
    if (!fs::exists(platform::NativePath(PackageFileName))) {
        log->info(logtext::ZipFileNotExist);
        return false;
    }
    try {
        PrepareExtensionFolder(log);
        ExtractIntoStagingFolder();
        PutNewContentsInPlace();
    } catch (...) {
        // Nothing was changed unless the replacement was recorded.
        if (ReplacementRecorded()) RecoverInterruptedReplacement(log);
        throw;
    }
    log->info(logtext::UnzipFinish);
    DiscardSetAsideContents();
    return true;
}

}  // namespace

platform::MachineLock LockExtension(std::chrono::milliseconds wait)
{
    if (sole_writer) return platform::MachineLock::SoleWriter();
    return platform::MachineLock(ExtensionLockName, ExtensionLockFile(), wait);
}

void BecomeSoleExtensionWriter() { sole_writer = true; }

bool MayReplaceExtension(const platform::MachineLock& lock, const ActivityLog& log)
{
    if (lock.held()) return true;
    if (lock.error().empty()) {
        log->error(logtext::ExtensionBusy);
        return false;
    }
    // Without an Adobe folder the installation fails by itself and says why.
    std::error_code unknown;
    if (fs::is_directory(platform::NativePath(AdobeDir()), unknown)) {
        log->warn(logtext::ExtensionUnlocked, lock.error());
    }
    return true;
}

RunOutcome SetupRoutine(ActivityLog log, const std::function<void()>& warn_host_running)
{
    RemoveLeftoverFiles();
    const platform::MachineLock lock = LockExtension(kStartupLockWait);
    if (!MayReplaceExtension(lock, log)) return Failure(std::string(logtext::ExtensionBusy));
    RecoverInterruptedReplacement(log);
    if (ReadLocalConfig("Setup") == "yes") {
        log->info(logtext::NotNeedSetup);
        return {};
    }
    if (IsProcessRunning(std::wstring(HostProcessName))) {
        // The installation goes on whatever the user answers.
        warn_host_running();
        log->info(logtext::FoundIllustrator);
    }
    if (!InstallPackage(log)) {
        log->error(logtext::ExtractZipFileError);
        return Failure(std::string(logtext::ExtractZipFileError));
    }
    WriteLocalConfig("Setup", "yes");
    log->info(logtext::SetupComplete);
    return {RunResult::kInstalled, {}};
}

bool ExtractPackage(ActivityLog log)
{
    RecoverInterruptedReplacement(log);
    return InstallPackage(log);
}
