#pragma once
// The activity log "Log/action-log.txt": one logger per unit of work,
// created at its start and dropped at its end, so the file is closed between
// units of work.
#include <cstddef>
#include <memory>
#include <string_view>

#include <spdlog/logger.h>

using ActivityLog = std::shared_ptr<spdlog::logger>;

namespace logtext {

inline constexpr std::string_view StartSuccess = "Start Sucess!";
inline constexpr std::string_view NotNeedSetup = "Not Need Setup!";
inline constexpr std::string_view FoundIllustrator = "Found Illustrator Exist";
inline constexpr std::string_view ZipFileNotExist = "Zip File not Exist!";
inline constexpr std::string_view DeleteOldFiles = "Delete Old Files!";
inline constexpr std::string_view CreateDirectory = "Create directory!";
inline constexpr std::string_view UnzipFinish = "Unzip Files Finish!";
inline constexpr std::string_view ExtractZipFileError = "ExtractZipFile Error";
inline constexpr std::string_view SetupComplete = "Setup Complete!";
inline constexpr std::string_view DownloadProcessStart = "Download Process Start!";
inline constexpr std::string_view FoundIllustratorNotDownload = "Found Illustrator Exist, Not Download";
inline constexpr std::string_view Local = "Local: {} {}";
inline constexpr std::string_view DownloadConfigError = "Download Config Error";
inline constexpr std::string_view DownloadUrlConfig = "Download UrlConfig!";
inline constexpr std::string_view UrlData = "URLData: {} {}";
inline constexpr std::string_view DeleteUrlConfigFinish = "Delete UrlConfig Finish!";
inline constexpr std::string_view NotNeedDownloadZip = "Not Need Download Zip";
inline constexpr std::string_view DownloadZipFinish = "Download Zip Finish!";
inline constexpr std::string_view UpdateConfigFinish = "Update Config Finish!";
inline constexpr std::string_view DownloadZipError = "Download Zip Error";
inline constexpr std::string_view VerifyUrlConfigError = "Verify UrlConfig Error: {}";
inline constexpr std::string_view VerifyUrlConfigFinish = "Verify UrlConfig Finish!";
inline constexpr std::string_view VerifyZipError = "Verify Zip Error: {}";
inline constexpr std::string_view VerifyZipFinish = "Verify Zip Finish!";
inline constexpr std::string_view StartFailed = "Start Failed: {}";
inline constexpr std::string_view ExtensionBusy = "Extension Busy: another copy is replacing it";
// A source asked, with Retry-After, not to be asked before this time.
inline constexpr std::string_view WaitingForService = "Waiting for the service until {}";
inline constexpr std::string_view ExtensionUnlocked = "Extension Lock Error: {}; going on without it";
inline constexpr std::string_view RecoverNotRecorded = "Recover Error: {} was not recorded by this program";

}  // namespace logtext

inline constexpr const char* ActivityLogName = "basic_logger";
inline constexpr const char* ActivityLogFile = "Log/action-log.txt";
// A line that would take the file past the limit first moves it to
// "Log/action-log.1.txt", and the older ones one number up, keeping three.
inline constexpr std::size_t ActivityLogMaxBytes = 10 * 1024 * 1024;
inline constexpr std::size_t ActivityLogOlderFiles = 3;

// Creates and registers the logger on the file, appending, rotating at the
// limit and creating the "Log" folder when missing. Raises spdlog's error
// when the file cannot be opened or a logger of that name is registered.
ActivityLog CreateActivityLog();

// A unit of work's hold on the activity log. Whatever way the unit ends, the
// logger is dropped from the registry and released, which closes the file.
class ActivityLogSession {
public:
    enum class Flush { ByLibraryDefault, OnError };

    explicit ActivityLogSession(Flush flush = Flush::ByLibraryDefault);
    ActivityLogSession(const ActivityLogSession&) = delete;
    ActivityLogSession& operator=(const ActivityLogSession&) = delete;
    ~ActivityLogSession();

    const ActivityLog& log() const { return log_; }

private:
    ActivityLog log_;
};
