#include "update/trust_settings.h"

#include <charconv>

#include "trusted_keys.h"
#include "update/local_config.h"
#include "update/verification_error.h"

TrustSettings ReadTrustSettings()
{
    TrustSettings trust;
    const std::optional<std::string> keys = ReadOptionalLocalConfig("signingKeys");
    trust.keys = ParseKeyList(keys && !keys->empty() ? std::string_view(*keys) : std::string_view(kBuiltInSigningKeys));
    trust.signature_required = ReadOptionalLocalConfig("requireSignature") == "yes";
    if (const std::optional<std::string> sequence = ReadOptionalLocalConfig("signedSequence")) {
        std::uint64_t floor = 0;
        const char* end = sequence->data() + sequence->size();
        const auto [stop, error] = std::from_chars(sequence->data(), end, floor);
        if (sequence->empty() || error != std::errc{} || stop != end) {
            throw VerificationError("malformed signedSequence in LocalConfig.json");
        }
        trust.sequence_floor = floor;
    }
    return trust;
}
