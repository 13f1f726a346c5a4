#include "update/signing/crypto.h"

#include <sodium.h>

#include <stdexcept>

namespace crypto {
namespace {

// The library chooses its implementations once, before any other call.
void EnsureInitialized()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw std::runtime_error("libsodium cannot be initialised");
}

}  // namespace

bool VerifyEd25519(const Ed25519Signature& signature, std::span<const std::uint8_t> message,
                   const Ed25519PublicKey& key)
{
    static_assert(sizeof(Ed25519Signature) == crypto_sign_BYTES);
    static_assert(sizeof(Ed25519PublicKey) == crypto_sign_PUBLICKEYBYTES);
    EnsureInitialized();
    return crypto_sign_verify_detached(signature.data(), message.data(), message.size(), key.data()) == 0;
}

Blake2b512Digest Blake2b512(std::span<const std::uint8_t> data)
{
    static_assert(sizeof(Blake2b512Digest) <= crypto_generichash_BYTES_MAX);
    EnsureInitialized();
    Blake2b512Digest digest{};
    if (crypto_generichash(digest.data(), digest.size(), data.data(), data.size(), nullptr, 0) != 0) {
        throw std::runtime_error("BLAKE2b failed");
    }
    return digest;
}

std::optional<Bytes> DecodeBase64(std::string_view text)
{
    EnsureInitialized();
    Bytes bytes(text.size() / 4 * 3 + 3);
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size()) {
        return std::nullopt;
    }
    bytes.resize(length);
    return bytes;
}

struct Sha256::State {
    crypto_hash_sha256_state sodium;
};

Sha256::Sha256() : state_(std::make_unique<State>())
{
    EnsureInitialized();
    crypto_hash_sha256_init(&state_->sodium);
}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const std::uint8_t> data)
{
    crypto_hash_sha256_update(&state_->sodium, data.data(), data.size());
}

Sha256Digest Sha256::Finish()
{
    static_assert(sizeof(Sha256Digest) == crypto_hash_sha256_BYTES);
    Sha256Digest digest{};
    crypto_hash_sha256_final(&state_->sodium, digest.data());
    return digest;
}

}  // namespace crypto
