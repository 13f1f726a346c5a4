#include "update/update_flow.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/download.h"
#include "platform/text.h"
#include "update/activity_log.h"
#include "update/host_detection.h"
#include "update/local_config.h"
#include "update/main_window.h"
#include "platform/native_path.h"
#include "update/package_installation.h"
#include "update/paths.h"

namespace {

// A download counts only when it reported success and the file is there; a
// file that cannot be looked at counts as missing.
bool DownloadTo(const Downloader& download, std::wstring_view url, std::wstring_view file)
{
    std::error_code unknown;
    return download(url, file) == 0 && std::filesystem::exists(platform::NativePath(file), unknown);
}

struct VersionDocument {
    std::string package_url;
    std::string version;
};

// Reads one JSON value; text after it is not examined. Missing members raise
// the JSON library's type error.
VersionDocument ReadVersionDocument()
{
    nlohmann::json document;
    {
        std::ifstream in(platform::NativePath(VersionDocFileName), std::ios::binary);
        in >> document;
    }
    VersionDocument result;
    result.package_url = document["data"]["plug"]["urlPath"].get<std::string>();
    result.version = document["data"]["plug"]["versionNumber"].get<std::string>();
    return result;
}

}  // namespace

void UpdateFlow()
{
    UpdateFlow([](std::wstring_view url, std::wstring_view file) { return platform::DownloadToFile(url, file); });
}

void UpdateFlow(const Downloader& download)
{
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
        if (DownloadTo(download, source, VersionDocFileName)) {
            chosen_source = &source;
            break;
        }
    }
    if (!chosen_source) {
        log->error(logtext::DownloadConfigError);
        return;
    }
    log->info(logtext::DownloadUrlConfig);

    const VersionDocument service = ReadVersionDocument();
    log->info(logtext::UrlData, service.version, service.package_url);
    std::error_code ignored;
    std::filesystem::remove(platform::NativePath(VersionDocFileName), ignored);
    log->info(logtext::DeleteUrlConfigFinish);

    // Byte for byte: any difference, an older service version included, updates.
    if (local_version == service.version) {
        log->info(logtext::NotNeedDownloadZip);
        return;
    }
    if (!DownloadTo(download, platform::Utf8ToWide(service.package_url), PackageFileName)) {
        log->error(logtext::DownloadZipError);
        return;
    }
    log->info(logtext::DownloadZipFinish);

    if (!ExtractPackage(log)) {
        log->error(logtext::ExtractZipFileError);
        return;
    }
    WriteLocalConfig("versionNumber", service.version);
    WriteLocalConfig("url", platform::WideToUtf8(*chosen_source));
    log->info(logtext::UpdateConfigFinish);
    platform::PostToWindow(MainWindowHandle, UpdateNotice, 0, 0);
}
