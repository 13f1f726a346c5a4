#include "update/signing/trust_settings.h"

#include <fmt/format.h>

#include "trusted_keys.h"
#include "update/local_config.h"
#include "update/signing/verification_error.h"

namespace {

constexpr char kSequenceKey[] = "signedSequence";
constexpr char kPayloadKey[] = "signedPayloadSha256";

bool RequiresSignature(const std::optional<std::string>& value)
{
    if (!value || value->empty() || *value == "no") return false;
    if (*value == "yes") return true;
    throw VerificationError(fmt::format("requireSignature is \"{}\", not \"yes\", \"no\" or \"\"", *value));
}

bool IsSha256Hex(const std::string& text)
{
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

BuildTrust BuiltInTrust() { return {kBuiltInSigningKeys, kBuiltInMinimumSequence}; }

TrustSettings ReadTrustSettings(const BuildTrust& built_in)
{
    TrustSettings trust;
    const std::optional<std::string> keys = ReadOptionalLocalConfig("signingKeys");
    trust.keys = ParseKeyList(keys && !keys->empty() ? std::string_view(*keys) : built_in.keys);
    trust.signature_required = RequiresSignature(ReadOptionalLocalConfig("requireSignature"));
    trust.minimum_sequence = built_in.minimum_sequence;
    if (const std::optional<std::string> sequence = ReadOptionalLocalConfig(kSequenceKey)) {
        trust.sequence_floor = ParseSequence(*sequence);
        if (!trust.sequence_floor) throw VerificationError("malformed signedSequence in LocalConfig.json");
    }
    trust.accepted_payload_sha256 = ReadOptionalLocalConfig(kPayloadKey);
    if (trust.accepted_payload_sha256 && !IsSha256Hex(*trust.accepted_payload_sha256)) {
        throw VerificationError("malformed signedPayloadSha256 in LocalConfig.json");
    }
    return trust;
}

void RecordAcceptedRelease(const TrustSettings& trust, const SignedRelease& release)
{
    if (trust.sequence_floor == release.sequence && trust.accepted_payload_sha256 == release.payload_sha256) return;
    WriteLocalConfig({{kSequenceKey, std::to_string(release.sequence)}, {kPayloadKey, release.payload_sha256}});
}
