#include "update/local_config.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "platform/base/text.h"
#include "platform/durable/atomic_file.h"
#include "update/paths.h"

namespace {

std::string LocalConfigPath() { return platform::WideToUtf8(LocalConfigFileName); }

// One value, read non-strictly: text after it is not examined. A null
// document counts as an empty object.
nlohmann::json ReadDocument()
{
    std::ifstream in(LocalConfigPath(), std::ios::binary);
    nlohmann::json document;
    in >> document;
    if (document.is_null()) document = nlohmann::json::object();
    return document;
}

}  // namespace

std::string ReadLocalConfig(const std::string& key)
{
    nlohmann::json document = ReadDocument();
    return document[key].get<std::string>();
}

std::optional<std::string> ReadOptionalLocalConfig(const std::string& key)
{
    nlohmann::json document = ReadDocument();
    if (document.is_object() && !document.contains(key)) return std::nullopt;
    return document[key].get<std::string>();
}

bool WriteLocalConfig(const std::string& key, const std::string& value)
{
    WriteLocalConfig(std::map<std::string, std::string>{{key, value}});
    return true;
}

void WriteLocalConfig(const std::map<std::string, std::string>& values)
{
    nlohmann::json document = ReadDocument();
    for (const auto& [key, value] : values) document[key] = value;
    platform::ReplaceFileContent(LocalConfigPath(), document.dump(4) + "\n");
}
