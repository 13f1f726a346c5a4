#pragma once
// The JSON documents the program reads: the version service's answer and
// the local configuration, LocalConfig.json.
#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace testing_support {

// The service offering `version` as the package at `package_url`; `extra`
// is merged in as a JSON merge patch.
inline std::string VersionDocument(const std::string& version, const std::string& package_url,
                                   const nlohmann::json& extra = nlohmann::json::object())
{
    nlohmann::json document = {{"data", {{"plug", {{"urlPath", package_url}, {"versionNumber", version}}}}}};
    document.merge_patch(extra);
    return document.dump();
}

// Laid out as the program writes it; `elasp`, the check interval, can be a
// number.
inline std::string LocalConfigText(const std::string& setup, const std::string& version, const std::string& url,
                                   const nlohmann::json& elasp = "20")
{
    return nlohmann::json{{"Elasp", elasp}, {"Setup", setup}, {"url", url}, {"versionNumber", version}}.dump(4);
}

// The JSON library's error number of what `run` raised; 0 when it raised
// nothing, -1 for any other error.
inline int JsonErrorOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const nlohmann::json::exception& error) {
        return error.id;
    } catch (...) {
        return -1;
    }
    return 0;
}

}  // namespace testing_support
