#include "update/rollout.h"

#include <random>
#include <string>

#include "update/local_config.h"
#include "update/version_document.h"

namespace {

constexpr const char* kRolloutIdKey = "rolloutId";
constexpr unsigned kPercent = 100;

}  // namespace

std::uint32_t RolloutId()
{
    const std::optional<std::string> recorded = ReadOptionalLocalConfig(kRolloutIdKey);
    const std::optional<std::uint64_t> id = recorded ? ParseSequence(*recorded) : std::nullopt;
    if (id && *id <= UINT32_MAX) return static_cast<std::uint32_t>(*id);
    std::random_device random;
    const std::uint32_t drawn = std::uniform_int_distribution<std::uint32_t>()(random);
    WriteLocalConfig(kRolloutIdKey, std::to_string(drawn));
    return drawn;
}

bool TakesRelease(std::uint32_t id, std::optional<unsigned> percent) { return !percent || id % kPercent < *percent; }
