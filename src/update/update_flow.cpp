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
#include "update/main_window.h"
#include "update/package_installation.h"
#include "update/paths.h"
#include "update/trust_settings.h"
#include "update/verification_error.h"
#include "update/version_document.h"

namespace {

// A download counts only when it reported success and the file is there; a
// file that cannot be looked at counts as missing.
bool DownloadTo(const Downloader& download, std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes)
{
    std::error_code unknown;
    return download(url, file, max_bytes) == 0 && std::filesystem::exists(platform::NativePath(file), unknown);
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

// The document's check, when it has to be made: the release it verified
// for a signed one. Raises VerificationError for a refused document.
struct DocumentCheck {
    std::optional<SignedRelease> release;
    PackageCheck package;
};

DocumentCheck CheckDocument(const VersionDocument& document, std::chrono::system_clock::time_point run_start)
{
    const TrustSettings trust = ReadTrustSettings();
    if (!NeedsSignatureCheck(document, trust)) return {std::nullopt, ReadPackageCheck(document)};
    SignedRelease release = VerifyVersionDocument(document, trust, run_start);
    const PackageCheck package = release.package;
    return {std::move(release), package};
}

// Downloads the package under its unchecked name, checks it and moves it
// over the delivered one; false, logged and with nothing moved, otherwise.
bool DownloadCheckedPackage(const Downloader& download, const VersionDocument& document, const PackageCheck& check,
                            const ActivityLog& log)
{
    const std::uint64_t limit = check.size ? *check.size : kUnsignedPackageLimit;
    const int result = download(platform::Utf8ToWide(document.package_url), UncheckedPackageFileName, limit);
    std::error_code unknown;
    if (result == platform::kDownloadTooLarge) {
        log->error(logtext::VerifyZipError, "size above " + std::to_string(limit));
        return false;
    }
    if (result != 0 || !std::filesystem::exists(platform::NativePath(UncheckedPackageFileName), unknown)) {
        log->error(logtext::DownloadZipError);
        return false;
    }
    log->info(logtext::DownloadZipFinish);
    if (!check.IsEmpty()) {
        try {
            VerifyPackage(UncheckedPackageFileName, check);
        } catch (const VerificationError& refusal) {
            RemoveIfThere(UncheckedPackageFileName);
            log->error(logtext::VerifyZipError, refusal.what());
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
    UpdateFlow([](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes) {
        return platform::DownloadToFile(url, file, max_bytes);
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
    log->info(logtext::Local, local_version, local_url);

    // Both are always tried in this order, even when equal or empty.
    const std::wstring sources[] = {platform::Utf8ToWide(local_url), std::wstring(VersionServiceUrl)};
    const std::wstring* chosen_source = nullptr;
    for (const std::wstring& source : sources) {
        if (DownloadTo(download, source, VersionDocFileName, kVersionDocumentLimit)) {
            chosen_source = &source;
            break;
        }
    }
    if (!chosen_source) {
        log->error(logtext::DownloadConfigError);
        return;
    }
    log->info(logtext::DownloadUrlConfig);

    const VersionDocument service = ParseVersionDocument(ReadFileText(VersionDocFileName));
    log->info(logtext::UrlData, service.version, service.package_url);
    RemoveIfThere(VersionDocFileName);
    log->info(logtext::DeleteUrlConfigFinish);

    DocumentCheck check;
    try {
        check = CheckDocument(service, run_start);
    } catch (const VerificationError& refusal) {
        log->error(logtext::VerifyUrlConfigError, refusal.what());
        return;
    }
    std::map<std::string, std::string> record;
    if (check.release) {
        log->info(logtext::VerifyUrlConfigFinish);
        record["signedSequence"] = std::to_string(check.release->sequence);
    }

    // Byte for byte: any difference, an older service version included, updates.
    if (local_version == service.version) {
        // A newer signed sequence still raises the floor against replays.
        if (!record.empty() && ReadOptionalLocalConfig("signedSequence") != record["signedSequence"]) {
            WriteLocalConfig(record);
        }
        log->info(logtext::NotNeedDownloadZip);
        return;
    }
    if (!DownloadCheckedPackage(download, service, check.package, log)) return;

    if (!ExtractPackage(log)) {
        log->error(logtext::ExtractZipFileError);
        return;
    }
    record["versionNumber"] = service.version;
    record["url"] = platform::WideToUtf8(*chosen_source);
    WriteLocalConfig(record);
    log->info(logtext::UpdateConfigFinish);
    platform::PostToWindow(MainWindowHandle, UpdateNotice, 0, 0);
}
