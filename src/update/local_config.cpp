#include "update/local_config.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "platform/atomic_file.h"
#include "platform/text.h"
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

bool WriteLocalConfig(const std::string& key, const std::string& value)
{
    nlohmann::json document = ReadDocument();
    document[key] = value;
    platform::ReplaceFileContent(LocalConfigPath(), document.dump(4) + "\n");
    return true;
}
