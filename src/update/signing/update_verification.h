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
};

// Keys separated by spaces; raises VerificationError naming one that is not a key.
std::vector<minisign::PublicKey> ParseKeyList(std::string_view text);

// Whether the document's signature is to be checked: it has one and there
// is a key to check it with, or one is required.
bool NeedsSignatureCheck(const VersionDocument& document, const TrustSettings& trust);

// Checks in order the members' shapes, the signatures (one of them by a
// trusted key), the expiry against `now` and the sequence floor. Returns the
// release it verified; raises VerificationError with the reason otherwise.
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
