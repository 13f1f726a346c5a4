// Any LocalConfig.json either reads and rewrites into the canonical layout,
// or gives a JSON error and stays byte for byte as it was.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz_support.h"
#include "support/temp_folder.h"
#include "update/local_config.h"

namespace {

std::string Read() { return testing_support::ReadFileBytes("LocalConfig.json"); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const testing_support::WorkFolder folder;
    const std::string original(reinterpret_cast<const char*>(data), size);
    testing_support::WriteFileBytes("LocalConfig.json", original);

    try {
        (void)ReadLocalConfig("Setup");
    } catch (const nlohmann::json::exception&) {
    }
    if (Read() != original) std::abort();

    try {
        WriteLocalConfig("Setup", "yes");
    } catch (const nlohmann::json::exception&) {
        if (Read() != original) std::abort();
        return 0;
    }
    const std::string written = Read();
    const nlohmann::json reread = nlohmann::json::parse(written);
    if (reread.at("Setup") != "yes" || reread.dump(4) + "\n" != written) std::abort();
    if (ReadLocalConfig("Setup") != "yes") std::abort();
    return 0;
}
