#include "service/service_work.h"

#include <exception>
#include <string>

#include "update/change_record.h"
#include "update/check_interval.h"
#include "update/local_config.h"
#include "update/log/activity_log.h"
#include "update/log/log_value.h"
#include "update/package_installation.h"
#include "update/update_flow.h"

namespace {

void RecordChange(RunResult result, const std::function<void()>& announce)
{
    WriteChangeRecord(result, ReadLocalConfig("versionNumber"));
    announce();
}

// The start-up installation; the check period, read after it as the
// program does.
std::chrono::milliseconds StartUp(const std::function<void()>& announce)
{
    const ActivityLogSession session;
    const ActivityLog& log = session.log();
    log->info(logtext::StartSuccess);
    try {
        if (SetupRoutine(log, [] {}).result == RunResult::kInstalled) RecordChange(RunResult::kInstalled, announce);
        return std::chrono::milliseconds(CheckPeriodMilliseconds(CheckIntervalSeconds(ReadLocalConfig("Elasp"))));
    } catch (const std::exception& error) {
        log->error(logtext::StartFailed, LogValue(error.what()));
        throw;
    }
}

}  // namespace

void RunServiceWork(const StopWait& stop_requested_within, const std::function<void()>& announce)
{
    BecomeSoleExtensionWriter();
    std::chrono::milliseconds period{};
    try {
        period = StartUp(announce);
    } catch (...) {
        while (!stop_requested_within(std::chrono::hours(24))) {}
        return;
    }
    while (!stop_requested_within(period)) {
        try {
            if (UpdateFlow().result == RunResult::kUpdated) RecordChange(RunResult::kUpdated, announce);
        } catch (...) {
            // Whatever ended the run, the next interval retries, as the program's timer does.
        }
    }
}
