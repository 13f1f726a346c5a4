#pragma once
// Signatures in minisign's format: keys are the Base64 line of a .pub file,
// signatures the whole text of a .minisig file, prehashed ("ED": Ed25519 over
// the BLAKE2b-512 of the message) with a signed trusted comment.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "update/signing/crypto.h"

namespace minisign {

using KeyId = std::array<std::uint8_t, 8>;

struct PublicKey {
    KeyId id;
    crypto::Ed25519PublicKey key;
};

// Reads the Base64 line of a public key file; nullopt when it is not one.
std::optional<PublicKey> ParsePublicKey(std::string_view base64);

// A key id as minisign prints it: 16 upper-case hex digits.
std::string KeyIdText(const KeyId& id);

// Checks that `signature_text` is a prehashed signature of `message` by one
// of `keys`, and that its trusted comment is signed by the same key. Raises
// UnknownKeyError ("unknown signing key <id>") or VerificationError with the
// reason: "malformed signature", "legacy signature refused", "bad signature"
// or "bad trusted comment".
void Verify(std::string_view signature_text, std::span<const std::uint8_t> message, std::span<const PublicKey> keys);

}  // namespace minisign
