#include "update/signing/trust_settings.h"

#include "trusted_keys.h"
#include "update/local_config.h"
#include "update/signing/verification_error.h"

TrustSettings ReadTrustSettings()
{
    TrustSettings trust;
    const std::optional<std::string> keys = ReadOptionalLocalConfig("signingKeys");
    trust.keys = ParseKeyList(keys && !keys->empty() ? std::string_view(*keys) : std::string_view(kBuiltInSigningKeys));
    trust.signature_required = ReadOptionalLocalConfig("requireSignature") == "yes";
    if (const std::optional<std::string> sequence = ReadOptionalLocalConfig("signedSequence")) {
        trust.sequence_floor = ParseSequence(*sequence);
        if (!trust.sequence_floor) throw VerificationError("malformed signedSequence in LocalConfig.json");
    }
    return trust;
}
