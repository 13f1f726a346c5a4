#pragma once
// What the local configuration and the build say about signed updates.
#include <cstdint>
#include <string_view>

#include "update/signing/update_verification.h"

// What a build was given: its trusted keys (MERRO_TRUSTED_KEYS) and the
// lowest sequence it accepts (MERRO_MINIMUM_SEQUENCE).
struct BuildTrust {
    std::string_view keys;
    std::uint64_t minimum_sequence = 0;
};
BuildTrust BuiltInTrust();

// "signingKeys" (keys separated by spaces), or when that is missing or empty
// the keys built into the program, any of which requires signatures;
// "requireSignature" ("yes", or "" and "no" for off); and "signedSequence",
// the highest sequence accepted, whose presence alone requires signatures
// from then on, with "signedPayloadSha256", the payload accepted at it.
// Raises VerificationError for a malformed key, sequence or hash, or another
// requireSignature, and the errors of ReadLocalConfig.
TrustSettings ReadTrustSettings(const BuildTrust& built_in = BuiltInTrust());

// Records a verified release as the floor, its sequence and its payload's
// SHA-256, unless those are recorded already. Raises the errors of
// WriteLocalConfig.
void RecordAcceptedRelease(const TrustSettings& trust, const SignedRelease& release);
