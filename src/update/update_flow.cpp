#include "update/update_flow.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

#include "platform/download.h"
#include "platform/file_system.h"
#include "platform/native_path.h"
#include "platform/text.h"
#include "update/activity_log.h"
#include "update/host_detection.h"
#include "update/local_config.h"
#include "update/log_value.h"
#include "update/main_window.h"
#include "update/package_installation.h"
#include "update/paths.h"
#include "update/trust_settings.h"
#include "update/verification_error.h"
#include "update/version_document.h"

namespace {

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

void RemoveIfThere(std::wstring_view file)
{
    std::error_code ignored;
    std::filesystem::remove(platform::NativePath(file), ignored);
}

// Downloads the package under its unchecked name, checks it and moves it
// over the delivered one; false, logged and with nothing moved, otherwise.
bool DownloadCheckedPackage(const Downloader& download, const VersionDocument& document, const PackageCheck& check,
                            const ActivityLog& log)
{
    const std::uint64_t limit = PackageSizeLimit(check);
    const int result = DownloadTo(download, platform::Utf8ToWide(document.package_url), UncheckedPackageFileName, limit,
                                  PackageDeadline(check));
    if (result == platform::kDownloadTooLarge) {
        log->error(logtext::VerifyZipError, "size above " + std::to_string(limit));
        return false;
    }
    if (result != 0) {
        log->error(logtext::DownloadZipError);
        return false;
    }
    log->info(logtext::DownloadZipFinish);
    if (!check.IsEmpty()) {
        try {
            VerifyPackage(UncheckedPackageFileName, check);
        } catch (const VerificationError& refusal) {
            RemoveIfThere(UncheckedPackageFileName);
            log->error(logtext::VerifyZipError, LogValue(refusal.what()));
            return false;
        }
        log->info(logtext::VerifyZipFinish);
    }
    if (const platform::WindowsError error = platform::MoveFileOver(UncheckedPackageFileName, PackageFileName);
        error != platform::WindowsError::kSuccess) {
        RemoveIfThere(UncheckedPackageFileName);
        log->error(logtext::DownloadZipError);
        return false;
    }
    return true;
}

}  // namespace

void UpdateFlow()
{
    UpdateFlow([](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                  const platform::TransferDeadline& deadline) {
        return platform::DownloadToFile(url, file, max_bytes, {.whole = deadline});
    });
}

void UpdateFlow(const Downloader& download)
{
    const auto run_start = std::chrono::system_clock::now();
    const ActivityLogSession session(ActivityLogSession::Flush::OnError);
    const ActivityLog& log = session.log();
    log->info(logtext::DownloadProcessStart);
    if (IsProcessRunning(std::wstring(HostProcessName))) {
        log->info(logtext::FoundIllustratorNotDownload);
        return;
    }

    const std::string local_version = ReadLocalConfig("versionNumber");
    const std::string local_url = ReadLocalConfig("url");
    log->info(logtext::Local, LogValue(local_version), LogValue(local_url));

    // Both are always tried in this order, even when equal or empty.
    const std::wstring sources[] = {platform::Utf8ToWide(local_url), std::wstring(VersionServiceUrl)};
    const std::wstring* chosen_source = nullptr;
    for (const std::wstring& source : sources) {
        if (DownloadTo(download, source, VersionDocFileName, kVersionDocumentLimit, kVersionDocumentDeadline) == 0) {
            chosen_source = &source;
            break;
        }
    }
    if (!chosen_source) {
        log->error(logtext::DownloadConfigError);
        return;
    }
    log->info(logtext::DownloadUrlConfig);

    VersionDocument service;
    try {
        service = ParseVersionDocument(ReadFileText(VersionDocFileName));
    } catch (const VerificationError& refusal) {  // nested too deep to be read
        log->error(logtext::VerifyUrlConfigError, refusal.what());
        return;
    }
    log->info(logtext::UrlData, LogValue(service.version), LogValue(service.package_url));
    RemoveIfThere(VersionDocFileName);
    log->info(logtext::DeleteUrlConfigFinish);

    TrustSettings trust;
    std::optional<SignedRelease> release;  // when the signature was checked
    PackageCheck package;
    try {
        trust = ReadTrustSettings();
        if (NeedsSignatureCheck(trust)) release = VerifyVersionDocument(service, trust, run_start);
        package = release ? release->package : ReadPackageCheck(service);
    } catch (const VerificationError& refusal) {
        log->error(logtext::VerifyUrlConfigError, LogValue(refusal.what()));
        return;
    }
    if (release) {
        // The floor rises before anything else can fail, against replays.
        RecordAcceptedRelease(trust, *release);
        log->info(logtext::VerifyUrlConfigFinish);
    }

    // Byte for byte: any difference, an older service version included, updates.
    if (local_version == service.version) {
        log->info(logtext::NotNeedDownloadZip);
        return;
    }
    if (!DownloadCheckedPackage(download, service, package, log)) return;

    if (!ExtractPackage(log)) {
        log->error(logtext::ExtractZipFileError);
        return;
    }
    WriteLocalConfig({{"versionNumber", service.version}, {"url", platform::WideToUtf8(*chosen_source)}});
    log->info(logtext::UpdateConfigFinish);
    platform::PostToWindow(MainWindowHandle, UpdateNotice, 0, 0);
}
