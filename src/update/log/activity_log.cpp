#include "update/log/activity_log.h"

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

ActivityLog CreateActivityLog()
{
    ActivityLog log =
        spdlog::rotating_logger_mt(ActivityLogName, ActivityLogFile, ActivityLogMaxBytes, ActivityLogOlderFiles);
    // The log keeps the CR LF line end of the Windows build on every platform.
    log->set_formatter(std::make_unique<spdlog::pattern_formatter>(spdlog::pattern_time_type::local, "\r\n"));
    return log;
}

ActivityLogSession::ActivityLogSession(Flush flush) : log_(CreateActivityLog())
{
    if (flush == Flush::OnError) log_->flush_on(spdlog::level::err);
}

ActivityLogSession::~ActivityLogSession() { spdlog::drop_all(); }
