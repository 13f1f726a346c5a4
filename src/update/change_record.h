#pragma once
// What the machine-wide service last completed, for every user's tray program
// to announce: a small document in the service's folder, which users may
// read and only the service writes.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "update/run_outcome.h"

inline constexpr std::string_view ChangeRecordFileName = "LastChange.json";

struct ChangeRecord {
    // Different for every change the service records: when it recorded it,
    // in milliseconds since 1970, so a record made anew after the folder was
    // lost is not taken for one already announced.
    std::string id;
    RunResult result = RunResult::kNothingToDo;  // kInstalled or kUpdated
    std::string version;

    bool operator==(const ChangeRecord&) const = default;
};

// Replaces the record in the current folder with one for `result` (an
// installation or an update) of `version`, flushed to disk before it counts.
// Raises platform::FileWriteError when it cannot be written.
ChangeRecord WriteChangeRecord(RunResult result, const std::string& version);

// The record in `folder`; nullopt when there is none or it cannot be read.
std::optional<ChangeRecord> ReadChangeRecord(const std::filesystem::path& folder);
