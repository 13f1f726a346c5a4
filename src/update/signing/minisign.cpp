#include "update/signing/minisign.h"

#include <algorithm>
#include <vector>

#include <fmt/format.h>

#include "update/signing/verification_error.h"

namespace minisign {
namespace {

constexpr std::string_view kKeyAlgorithm = "Ed";
constexpr std::string_view kPrehashed = "ED";
// Ed25519 over the message itself.
constexpr std::string_view kLegacy = "Ed";
constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";

struct Signature {
    std::string algorithm;
    KeyId key_id;
    crypto::Ed25519Signature signature;
    std::string trusted_comment;
    crypto::Ed25519Signature global_signature;
};

[[noreturn]] void Malformed() { throw VerificationError("malformed signature"); }

std::span<const std::uint8_t> AsBytes(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The four lines of a signature file, a final line end allowed; a CR before
// each LF is dropped, as a file saved on Windows has them.
std::vector<std::string_view> Lines(std::string_view text)
{
    if (text.ends_with('\n')) text.remove_suffix(1);
    std::vector<std::string_view> lines;
    while (lines.size() <= 4) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

Signature ParseSignature(std::string_view text)
{
    const std::vector<std::string_view> lines = Lines(text);
    if (lines.size() != 4 || !lines[0].starts_with(kUntrustedPrefix) || !lines[2].starts_with(kTrustedPrefix)) {
        Malformed();
    }
    const std::optional<crypto::Bytes> main = crypto::DecodeBase64(lines[1]);
    const std::optional<crypto::Bytes> global = crypto::DecodeBase64(lines[3]);
    Signature parsed;
    if (!main || main->size() != 2 + parsed.key_id.size() + parsed.signature.size()) Malformed();
    if (!global || global->size() != parsed.global_signature.size()) Malformed();
    parsed.algorithm.assign(main->begin(), main->begin() + 2);
    std::copy_n(main->begin() + 2, parsed.key_id.size(), parsed.key_id.begin());
    std::copy_n(main->begin() + 2 + parsed.key_id.size(), parsed.signature.size(), parsed.signature.begin());
    parsed.trusted_comment = lines[2].substr(kTrustedPrefix.size());
    std::copy(global->begin(), global->end(), parsed.global_signature.begin());
    return parsed;
}

}  // namespace

std::optional<PublicKey> ParsePublicKey(std::string_view base64)
{
    const std::optional<crypto::Bytes> bytes = crypto::DecodeBase64(base64);
    PublicKey key;
    if (!bytes || bytes->size() != 2 + key.id.size() + key.key.size()) return std::nullopt;
    if (std::string_view(reinterpret_cast<const char*>(bytes->data()), 2) != kKeyAlgorithm) return std::nullopt;
    std::copy_n(bytes->begin() + 2, key.id.size(), key.id.begin());
    std::copy_n(bytes->begin() + 2 + key.id.size(), key.key.size(), key.key.begin());
    return key;
}

std::string KeyIdText(const KeyId& id)
{
    // minisign prints the id as a little-endian number.
    std::string text;
    for (auto byte = id.rbegin(); byte != id.rend(); ++byte) text += fmt::format("{:02X}", *byte);
    return text;
}

void Verify(std::string_view signature_text, std::span<const std::uint8_t> message, std::span<const PublicKey> keys)
{
    const Signature signature = ParseSignature(signature_text);
    if (signature.algorithm == kLegacy) throw VerificationError("legacy signature refused");
    if (signature.algorithm != kPrehashed) Malformed();
    const auto key =
        std::find_if(keys.begin(), keys.end(), [&](const PublicKey& k) { return k.id == signature.key_id; });
    if (key == keys.end()) throw UnknownKeyError("unknown signing key " + KeyIdText(signature.key_id));

    const crypto::Blake2b512Digest digest = crypto::Blake2b512(message);
    if (!crypto::VerifyEd25519(signature.signature, digest, key->key)) throw VerificationError("bad signature");

    // The trusted comment is signed together with the signature it follows.
    std::vector<std::uint8_t> signed_comment(signature.signature.begin(), signature.signature.end());
    const auto comment = AsBytes(signature.trusted_comment);
    signed_comment.insert(signed_comment.end(), comment.begin(), comment.end());
    if (!crypto::VerifyEd25519(signature.global_signature, signed_comment, key->key)) {
        throw VerificationError("bad trusted comment");
    }
}

}  // namespace minisign
