#pragma once
// Whether a version document and the package it names can be trusted.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/signing/minisign.h"
#include "update/version_document.h"

// An expired document is still taken this long after its expiry, for clocks
// that are behind.
inline constexpr std::chrono::hours kExpiryGrace{24};

struct TrustSettings {
    std::vector<minisign::PublicKey> keys;
    bool signature_required = false;
    std::optional<std::uint64_t> sequence_floor;  // the highest sequence accepted so far
    // The SHA-256 of the signed payload accepted at that sequence, the only
    // one that sequence is accepted for again.
    std::optional<std::string> accepted_payload_sha256;
    std::uint64_t minimum_sequence = 0;  // the lowest one this build accepts
};

// Keys separated by spaces; raises VerificationError naming one that is not a key.
std::vector<minisign::PublicKey> ParseKeyList(std::string_view text);

// Whether every document needs a valid signature: a key is trusted, one is
// required, or a signed document has been accepted before.
bool NeedsSignatureCheck(const TrustSettings& trust);

// Checks in order the members' shapes, the signatures (one of them by a
// trusted key), the expiry against `now` (in whole seconds) and the
// sequence: not below the floor or the build's minimum, and when equal to
// the floor only for the payload accepted then. Returns the release it
// verified, its payload's SHA-256 filled in; raises VerificationError with
// the reason otherwise.
SignedRelease VerifyVersionDocument(const VersionDocument& document, const TrustSettings& trust,
                                    std::chrono::system_clock::time_point now);

// The size and SHA-256 of the file `file`; raises VerificationError when it
// cannot be read.
struct PackageDigest {
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hex
};
PackageDigest ReadPackageDigest(std::wstring_view file);

// Checks the package file's size and SHA-256 against what the document says;
// raises VerificationError ("size <n> instead of <m>", "sha256 mismatch").
void VerifyPackage(std::wstring_view file, const PackageCheck& check);
