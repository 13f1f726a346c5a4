#include "update/update_flow.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "platform/base/text.h"
#include "platform/durable/atomic_file.h"
#include "platform/files/file_system.h"
#include "platform/net/download.h"
#include "platform/paths/native_path.h"
#include "update/host_detection.h"
#include "update/local_config.h"
#include "update/log/activity_log.h"
#include "update/log/log_value.h"
#include "update/package_installation.h"
#include "update/paths.h"
#include "update/rollout.h"
#include "update/service_wait.h"
#include "update/signing/trust_settings.h"
#include "update/signing/verification_error.h"
#include "update/stored_document.h"
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
int DownloadTo(const HttpDownloader& download, std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
               const platform::TransferDeadline& deadline, const platform::ConditionalHeaders& conditions,
               platform::DownloadAnswer& answer)
{
    constexpr int kFileMissing = -1;
    const int result = download(url, file, max_bytes, deadline, conditions, answer);
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

// The version document, the source that gave it, and what is kept of it
// for the next check.
struct FetchedDocument {
    VersionDocument document;
    std::wstring source;
    StoredDocument kept;
};

// Asks `source` for the version document into VersionDocFileName; only the
// source of the stored document is asked conditionally, and its 304 puts
// the stored text there, so that the run goes on as for a full answer.
int AskSource(const HttpDownloader& download, const std::wstring& source, const std::optional<StoredDocument>& stored,
              std::chrono::sys_seconds now, StoredDocument& read)
{
    const std::string address = platform::WideToUtf8(source);
    const bool conditional = stored && stored->source == address;
    platform::DownloadAnswer answer;
    const int result = DownloadTo(download, source, VersionDocFileName, kVersionDocumentLimit, kVersionDocumentDeadline,
                                  conditional ? stored->Conditions() : platform::ConditionalHeaders{}, answer);
    RecordServiceWait(address, answer, now);
    if (result != platform::kDownloadNotModified || !conditional) {
        read = {{}, address, answer.etag, answer.last_modified};
        return result;
    }
    try {
        platform::ReplaceFileContent(platform::WideToUtf8(VersionDocFileName), stored->text);
    } catch (const platform::FileWriteError&) {  // as a download that cannot write its file
        return result;
    }
    read = *stored;
    return 0;
}

// From the configured source, else the built-in service; both are always
// tried in this order, even when equal or empty, except while one waits
// for the time its Retry-After named. Nullopt when every source waits.
std::optional<FetchedDocument> FetchVersionDocument(const HttpDownloader& download, const InstalledRelease& installed,
                                                    std::chrono::sys_seconds now, const ActivityLog& log)
{
    const std::optional<StoredDocument> stored = ReadStoredDocument();
    std::optional<std::chrono::sys_seconds> waiting;
    bool asked = false;
    for (std::wstring source : {platform::Utf8ToWide(installed.url), std::wstring(VersionServiceUrl)}) {
        if (const auto until = ServiceWaitUntil(platform::WideToUtf8(source), now)) {
            waiting = std::min(waiting.value_or(*until), *until);
            continue;
        }
        asked = true;
        StoredDocument read;
        if (AskSource(download, source, stored, now, read) != 0) continue;
        log->info(logtext::DownloadUrlConfig);
        VersionDocument document;
        try {
            read.text = ReadFileText(VersionDocFileName);
            document = ParseVersionDocument(read.text);
        } catch (const VerificationError& refusal) {  // nested too deep to be read
            DropStoredDocument();
            Refuse(log, logtext::VerifyUrlConfigError, refusal.what());
        }
        log->info(logtext::UrlData, LogValue(document.version), LogValue(document.package_url));
        RemoveIfThere(VersionDocFileName);
        log->info(logtext::DeleteUrlConfigFinish);
        return FetchedDocument{std::move(document), std::move(source), std::move(read)};
    }
    if (asked) Refuse(log, logtext::DownloadConfigError);
    log->info(logtext::WaitingForService, FormatUtcTime(*waiting));
    return std::nullopt;
}

// What the checks of the document decided.
struct VerifiedDocument {
    TrustSettings trust;
    std::optional<SignedRelease> release;  // when the signature was checked
    PackageCheck package;
    std::optional<unsigned> rollout_percent;
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
        verified.rollout_percent = verified.release ? verified.release->rollout_percent : ReadRolloutPercent(document);
    } catch (const VerificationError& refusal) {
        DropStoredDocument();
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
// over the delivered one; with nothing moved when it is refused. False,
// with nothing asked, while the package's source waits for its Retry-After.
bool DownloadCheckedPackage(const HttpDownloader& download, const VersionDocument& document, const PackageCheck& check,
                            std::chrono::sys_seconds now, const ActivityLog& log)
{
    if (const auto until = ServiceWaitUntil(document.package_url, now)) {
        log->info(logtext::WaitingForService, FormatUtcTime(*until));
        return false;
    }
    const std::uint64_t limit = PackageSizeLimit(check);
    platform::DownloadAnswer answer;
    const int result = DownloadTo(download, platform::Utf8ToWide(document.package_url), UncheckedPackageFileName, limit,
                                  PackageDeadline(check), {}, answer);
    RecordServiceWait(document.package_url, answer, now);
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
    return true;
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

RunOutcome UpdateFlow(const HttpDownloader& download)
{
    const auto run_start = std::chrono::system_clock::now();
    const auto now = std::chrono::floor<std::chrono::seconds>(run_start);
    const ActivityLogSession session(ActivityLogSession::Flush::OnError);
    const ActivityLog& log = session.log();
    log->info(logtext::DownloadProcessStart);
    if (IsProcessRunning(std::wstring(HostProcessName))) {
        log->info(logtext::FoundIllustratorNotDownload);
        return {};
    }
    try {
        const InstalledRelease installed = ReadInstalledRelease(log);
        const std::optional<FetchedDocument> fetched = FetchVersionDocument(download, installed, now, log);
        if (!fetched) return {};
        const VerifiedDocument verified = VerifyDocument(fetched->document, run_start, log);
        KeepStoredDocument(fetched->kept);
        // Byte for byte: any difference, an older service version included,
        // updates; a copy outside the release's rollout waits as for an equal one.
        if (installed.version == fetched->document.version ||
            (verified.rollout_percent && !TakesRelease(RolloutId(), verified.rollout_percent))) {
            log->info(logtext::NotNeedDownloadZip);
            return {};
        }
        if (!DownloadCheckedPackage(download, fetched->document, verified.package, now, log)) return {};
        InstallAndRecord(*fetched, log);
        return {RunResult::kUpdated, {}};
    } catch (const RunRefused& refusal) {
        return Failure(refusal.reason);
    }
}

RunOutcome UpdateFlow()
{
    return UpdateFlow(
        HttpDownloader([](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                          const platform::TransferDeadline& deadline, const platform::ConditionalHeaders& conditions,
                          platform::DownloadAnswer& answer) {
            return platform::DownloadToFile(url, file, max_bytes, {.whole = deadline}, conditions, &answer);
        }));
}

RunOutcome UpdateFlow(const Downloader& download)
{
    return UpdateFlow(
        HttpDownloader([&download](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                                   const platform::TransferDeadline& deadline, const platform::ConditionalHeaders&,
                                   platform::DownloadAnswer&) { return download(url, file, max_bytes, deadline); }));
}
