#pragma once
// What an update run or the start-up installation did, so that the shell can
// tell the user: the update layer itself never reaches the window.
#include <string>

enum class RunResult { kNothingToDo, kInstalled, kUpdated, kFailed };

struct RunOutcome {
    RunResult result = RunResult::kNothingToDo;
    // For kFailed: what the activity log's error line says.
    std::string reason;

    bool operator==(const RunOutcome&) const = default;
};

inline RunOutcome Failure(std::string reason) { return {RunResult::kFailed, std::move(reason)}; }
