#include "update/signing/update_verification.h"

#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "platform/base/text.h"
#include "platform/files/file.h"
#include "update/signing/verification_error.h"

namespace {

std::string Hex(std::span<const std::uint8_t> bytes)
{
    std::string text;
    for (const std::uint8_t byte : bytes) text += fmt::format("{:02x}", byte);
    return text;
}

std::string Sha256Hex(std::string_view text)
{
    crypto::Sha256 sha256;
    sha256.Update({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    return Hex(sha256.Finish());
}

// Tries every signature; a failure by a trusted key tells more than an
// unknown key, so that one is reported when none verifies.
void VerifySignatures(const std::vector<std::string>& signatures, const std::string& payload,
                      const std::vector<minisign::PublicKey>& keys)
{
    const std::span message(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
    std::optional<VerificationError> unknown_key;
    std::optional<VerificationError> failure;
    for (const std::string& signature : signatures) {
        try {
            minisign::Verify(signature, message, keys);
            return;
        } catch (const UnknownKeyError& error) {
            if (!unknown_key) unknown_key = error;
        } catch (const VerificationError& error) {
            if (!failure) failure = error;
        }
    }
    throw failure ? *failure : *unknown_key;
}

}  // namespace

std::vector<minisign::PublicKey> ParseKeyList(std::string_view text)
{
    std::vector<minisign::PublicKey> keys;
    while (!text.empty()) {
        const auto start = text.find_first_not_of(' ');
        if (start == text.npos) break;
        text.remove_prefix(start);
        const std::string_view word = text.substr(0, text.find(' '));
        text.remove_prefix(word.size());
        const std::optional<minisign::PublicKey> key = minisign::ParsePublicKey(word);
        if (!key) throw VerificationError(fmt::format("malformed signing key {}", word));
        keys.push_back(*key);
    }
    return keys;
}

bool NeedsSignatureCheck(const TrustSettings& trust)
{
    return trust.signature_required || trust.sequence_floor || !trust.keys.empty();
}

SignedRelease VerifyVersionDocument(const VersionDocument& document, const TrustSettings& trust,
                                    std::chrono::system_clock::time_point now)
{
    if (!document.IsSigned()) throw VerificationError("unsigned document refused");
    SignedRelease release = ReadSignedRelease(document);
    const std::string payload = SignedPayload(document, release);
    VerifySignatures(release.signatures, payload, trust.keys);
    // In seconds: the clock's own unit would wrap for years after 2262.
    if (std::chrono::floor<std::chrono::seconds>(now) > release.expiry + kExpiryGrace) {
        throw VerificationError("expired at " + release.expires);
    }
    const std::uint64_t floor = std::max(trust.sequence_floor.value_or(0), trust.minimum_sequence);
    if (release.sequence < floor) {
        throw VerificationError(fmt::format("replayed document, sequence {} below {}", release.sequence, floor));
    }
    release.payload_sha256 = Sha256Hex(payload);
    release.package.is_signed = true;
    if (release.sequence == trust.sequence_floor && trust.accepted_payload_sha256 &&
        release.payload_sha256 != *trust.accepted_payload_sha256) {
        throw VerificationError(fmt::format("sequence {} already accepted for another document", release.sequence));
    }
    return release;
}

PackageDigest ReadPackageDigest(std::wstring_view file)
{
    const auto refuse = [&](const char* action, platform::WindowsError error) {
        throw VerificationError(fmt::format("cannot {} {} (error {})", action, platform::WideToUtf8(file),
                                            static_cast<std::uint32_t>(error)));
    };
    platform::File package;
    if (const platform::WindowsError error = package.OpenForReading(file); error != platform::WindowsError::kSuccess) {
        refuse("open", error);
    }
    crypto::Sha256 sha256;
    PackageDigest digest;
    std::vector<std::uint8_t> buffer(1 << 20);
    for (std::size_t read = 1; read != 0; digest.size += read) {
        if (const platform::WindowsError error = package.Read(buffer.data(), buffer.size(), read);
            error != platform::WindowsError::kSuccess) {
            refuse("read", error);
        }
        sha256.Update(std::span(buffer.data(), read));
    }
    digest.sha256 = Hex(sha256.Finish());
    return digest;
}

void VerifyPackage(std::wstring_view file, const PackageCheck& check)
{
    const PackageDigest digest = ReadPackageDigest(file);
    if (check.size && digest.size != *check.size) {
        throw VerificationError(fmt::format("size {} instead of {}", digest.size, *check.size));
    }
    if (check.sha256 && digest.sha256 != *check.sha256) throw VerificationError("sha256 mismatch");
}
