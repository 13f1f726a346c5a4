#include "update/update_flow.h"

#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "platform/base/text.h"
#include "platform/files/file_system.h"
#include "platform/net/download.h"
#include "platform/paths/native_path.h"
#include "update/host_detection.h"
#include "update/local_config.h"
#include "update/log/activity_log.h"
#include "update/log/log_value.h"
#include "update/package_installation.h"
#include "update/paths.h"
#include "update/signing/trust_settings.h"
#include "update/signing/verification_error.h"
#include "update/version_document.h"

namespace {

// Ends the run: its error line is logged and becomes the run's reason.
struct RunRefused {
    std::string reason;
};

template <typename... Args>
[[noreturn]] void Refuse(const ActivityLog& log, std::string_view line, const Args&... args)
{
    std::string reason = fmt::format(fmt::runtime(line), args...);
    log->error(reason);
    throw RunRefused{std::move(reason)};
}

// What the download answered, except that a success without the file there
// (or with a file that cannot be looked at) is a failure too.
int DownloadTo(const Downloader& download, std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
               const platform::TransferDeadline& deadline)
{
    constexpr int kFileMissing = -1;
    const int result = download(url, file, max_bytes, deadline);
    std::error_code unknown;
    return result == 0 && !std::filesystem::exists(platform::NativePath(file), unknown) ? kFileMissing : result;
}

std::string ReadFileText(std::wstring_view file)
{
    std::ifstream in(platform::NativePath(file), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Through the platform, which waits for a scanner that holds the new file.
void RemoveIfThere(std::wstring_view file) { platform::RemoveFile(file); }

// What the configuration records of the installed release.
struct InstalledRelease {
    std::string version;
    std::string url;
};

InstalledRelease ReadInstalledRelease(const ActivityLog& log)
{
    InstalledRelease installed{ReadLocalConfig("versionNumber"), ReadLocalConfig("url")};
    log->info(logtext::Local, LogValue(installed.version), LogValue(installed.url));
    return installed;
}

// The version document and the source that gave it.
struct FetchedDocument {
    VersionDocument document;
    std::wstring source;
};

// From the configured source, else the built-in service; both are always
// tried in this order, even when equal or empty.
FetchedDocument FetchVersionDocument(const Downloader& download, const InstalledRelease& installed,
                                     const ActivityLog& log)
{
    for (std::wstring source : {platform::Utf8ToWide(installed.url), std::wstring(VersionServiceUrl)}) {
        if (DownloadTo(download, source, VersionDocFileName, kVersionDocumentLimit, kVersionDocumentDeadline) != 0) {
            continue;
        }
        log->info(logtext::DownloadUrlConfig);
        VersionDocument document;
        try {
            document = ParseVersionDocument(ReadFileText(VersionDocFileName));
        } catch (const VerificationError& refusal) {  // nested too deep to be read
            Refuse(log, logtext::VerifyUrlConfigError, refusal.what());
        }
        log->info(logtext::UrlData, LogValue(document.version), LogValue(document.package_url));
        RemoveIfThere(VersionDocFileName);
        log->info(logtext::DeleteUrlConfigFinish);
        return {std::move(document), std::move(source)};
    }
    Refuse(log, logtext::DownloadConfigError);
}

// What the checks of the document decided.
struct VerifiedDocument {
    TrustSettings trust;
    std::optional<SignedRelease> release;  // when the signature was checked
    PackageCheck package;
};

VerifiedDocument VerifyDocument(const VersionDocument& document, std::chrono::system_clock::time_point run_start,
                                const ActivityLog& log)
{
    VerifiedDocument verified;
    try {
        CheckPackageUrl(document);
        verified.trust = ReadTrustSettings();
        if (NeedsSignatureCheck(verified.trust)) {
            verified.release = VerifyVersionDocument(document, verified.trust, run_start);
        }
        verified.package = verified.release ? verified.release->package : ReadPackageCheck(document);
    } catch (const VerificationError& refusal) {
        Refuse(log, logtext::VerifyUrlConfigError, LogValue(refusal.what()));
    }
    if (verified.release) {
        // The floor rises before anything else can fail, against replays.
        RecordAcceptedRelease(verified.trust, *verified.release);
        log->info(logtext::VerifyUrlConfigFinish);
    }
    return verified;
}

// Downloads the package under its unchecked name, checks it and moves it
// over the delivered one; with nothing moved when it is refused.
void DownloadCheckedPackage(const Downloader& download, const VersionDocument& document, const PackageCheck& check,
                            const ActivityLog& log)
{
    const std::uint64_t limit = PackageSizeLimit(check);
    const int result = DownloadTo(download, platform::Utf8ToWide(document.package_url), UncheckedPackageFileName, limit,
                                  PackageDeadline(check));
    if (result == platform::kDownloadTooLarge)
        Refuse(log, logtext::VerifyZipError, "size above " + std::to_string(limit));
    if (result != 0) Refuse(log, logtext::DownloadZipError);
    log->info(logtext::DownloadZipFinish);
    if (!check.IsEmpty()) {
        try {
            VerifyPackage(UncheckedPackageFileName, check);
        } catch (const VerificationError& refusal) {
            RemoveIfThere(UncheckedPackageFileName);
            Refuse(log, logtext::VerifyZipError, LogValue(refusal.what()));
        }
        log->info(logtext::VerifyZipFinish);
    }
    if (platform::MoveFileOver(UncheckedPackageFileName, PackageFileName) != platform::WindowsError::kSuccess) {
        RemoveIfThere(UncheckedPackageFileName);
        Refuse(log, logtext::DownloadZipError);
    }
}

void InstallAndRecord(const FetchedDocument& fetched, const ActivityLog& log)
{
    const platform::MachineLock lock = LockExtension(kUpdateLockWait);
    if (!MayReplaceExtension(lock, log)) throw RunRefused{std::string(logtext::ExtensionBusy)};
    if (!ExtractPackage(log)) Refuse(log, logtext::ExtractZipFileError);
    WriteLocalConfig({{"versionNumber", fetched.document.version}, {"url", platform::WideToUtf8(fetched.source)}});
    log->info(logtext::UpdateConfigFinish);
}

}  // namespace

RunOutcome UpdateFlow()
{
    return UpdateFlow([](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                         const platform::TransferDeadline& deadline) {
        return platform::DownloadToFile(url, file, max_bytes, {.whole = deadline});
    });
}

RunOutcome UpdateFlow(const Downloader& download)
{
    const auto run_start = std::chrono::system_clock::now();
    const ActivityLogSession session(ActivityLogSession::Flush::OnError);
    const ActivityLog& log = session.log();
    log->info(logtext::DownloadProcessStart);
    if (IsProcessRunning(std::wstring(HostProcessName))) {
        log->info(logtext::FoundIllustratorNotDownload);
        return {};
    }
    try {
        const InstalledRelease installed = ReadInstalledRelease(log);
        const FetchedDocument fetched = FetchVersionDocument(download, installed, log);
        const VerifiedDocument verified = VerifyDocument(fetched.document, run_start, log);
        // Byte for byte: any difference, an older service version included, updates.
        if (installed.version == fetched.document.version) {
            log->info(logtext::NotNeedDownloadZip);
            return {};
        }
        DownloadCheckedPackage(download, fetched.document, verified.package, log);
        InstallAndRecord(fetched, log);
        return {RunResult::kUpdated, {}};
    } catch (const RunRefused& refusal) {
        return Failure(refusal.reason);
    }
}
