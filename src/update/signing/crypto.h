#pragma once
// The cryptography updates are checked with: Ed25519 signatures, BLAKE2b-512,
// SHA-256 and Base64, all from libsodium, on every platform.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace crypto {

using Bytes = std::vector<std::uint8_t>;
using Ed25519PublicKey = std::array<std::uint8_t, 32>;
using Ed25519Signature = std::array<std::uint8_t, 64>;
using Blake2b512Digest = std::array<std::uint8_t, 64>;
using Sha256Digest = std::array<std::uint8_t, 32>;

// True when `signature` is `key`'s signature of `message`.
bool VerifyEd25519(const Ed25519Signature& signature, std::span<const std::uint8_t> message,
                   const Ed25519PublicKey& key);

Blake2b512Digest Blake2b512(std::span<const std::uint8_t> data);

// Standard Base64 with padding, nothing else allowed; nullopt when `text` is not that.
std::optional<Bytes> DecodeBase64(std::string_view text);

// SHA-256 over data given in pieces.
class Sha256 {
public:
    Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    ~Sha256();

    void Update(std::span<const std::uint8_t> data);
    // Ends the computation; the object takes no more data afterwards.
    Sha256Digest Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace crypto
