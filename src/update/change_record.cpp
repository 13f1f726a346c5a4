#include "update/change_record.h"

#include <chrono>
#include <fstream>

#include <nlohmann/json.hpp>

#include "platform/durable/atomic_file.h"

namespace {

constexpr std::string_view InstalledText = "installed";
constexpr std::string_view UpdatedText = "updated";

}  // namespace

ChangeRecord WriteChangeRecord(RunResult result, const std::string& version)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    ChangeRecord record{std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()), result,
                        version};
    const nlohmann::json document = {{"change", record.id},
                                     {"result", result == RunResult::kInstalled ? InstalledText : UpdatedText},
                                     {"versionNumber", version}};
    platform::ReplaceFileContent(std::string(ChangeRecordFileName), document.dump(4) + "\n");
    return record;
}

std::optional<ChangeRecord> ReadChangeRecord(const std::filesystem::path& folder)
{
    std::ifstream in(folder / ChangeRecordFileName, std::ios::binary);
    // Never half written, but another version of the service may write more.
    const nlohmann::json document = nlohmann::json::parse(in, nullptr, false);
    if (!document.is_object()) return std::nullopt;
    const auto text = [&](const char* key) {
        const auto member = document.find(key);
        return member != document.end() && member->is_string() ? member->get<std::string>() : std::string();
    };
    const std::string result = text("result");
    if (text("change").empty() || (result != InstalledText && result != UpdatedText)) return std::nullopt;
    return ChangeRecord{text("change"), result == InstalledText ? RunResult::kInstalled : RunResult::kUpdated,
                        text("versionNumber")};
}
