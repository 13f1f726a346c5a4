#pragma once
// The version service's answer: {"data": {"plug": {...}}} naming the package
// and its version, optionally with the package's size and SHA-256 and a
// signature over both.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

struct VersionDocument {
    std::string package_url;
    std::string version;
    nlohmann::json plug;  // the whole member, for the optional ones
    bool has_duplicate_members = false;

    bool IsSigned() const { return plug.contains("signature"); }
};

// Arrays and objects nested deeper than this are refused before parsing.
inline constexpr std::size_t kMaxDocumentNesting = 64;

// Reads one JSON value; text after it is not examined. Raises
// VerificationError for nesting deeper than kMaxDocumentNesting, then the
// JSON library's parse error for text that is no JSON value and its type
// error when "urlPath" or "versionNumber" is missing or not a string.
VersionDocument ParseVersionDocument(std::string_view text);

// Raises VerificationError unless "urlPath" is an http or https URL: a
// service must not make the program open a file: share (on Windows the
// system would log on to its host with the user's credentials) or speak
// another protocol.
void CheckPackageUrl(const VersionDocument& document);

// What the package must be, as far as the document says.
struct PackageCheck {
    std::optional<std::string> sha256;  // 64 lower-case hex digits
    std::optional<std::uint64_t> size;
    bool is_signed = false;  // both covered by a verified signature

    bool IsEmpty() const { return !sha256 && !size; }
};

// The document's "sha256" and "size"; raises VerificationError when one is
// there but malformed.
PackageCheck ReadPackageCheck(const VersionDocument& document);

// The document's "rolloutPercent", a string of a whole number from 0 to 100
// without leading zeros: the share of installed copies that take the
// release; nullopt when it is not there (every copy takes it). Raises
// VerificationError ("malformed rolloutPercent") for anything else.
std::optional<unsigned> ReadRolloutPercent(const VersionDocument& document);

// The members a signature covers, all required but "rolloutPercent".
struct SignedRelease {
    PackageCheck package;
    std::uint64_t sequence = 0;
    std::string expires;
    std::chrono::sys_seconds expiry;
    std::optional<unsigned> rollout_percent;  // signed as one more line when given
    std::vector<std::string> signatures;      // texts of .minisig files
    std::string payload_sha256;               // lower-case hex, once verified
};

// Raises VerificationError naming the member that is missing or malformed,
// holds CR, LF or NUL, or appears twice.
SignedRelease ReadSignedRelease(const VersionDocument& document);

// The text a signature is made over, built from the parsed values; the
// rollout's line only when the document has one, so documents signed
// before rollouts verify as they did.
std::string SignedPayload(const VersionDocument& document, const SignedRelease& release);

// Whether a value holds what the signed payload's lines cannot carry.
bool HasLineBreakOrNul(std::string_view text);

// A sequence as text (LocalConfig.json, the publisher's tool): decimal
// digits only; nullopt otherwise or when it is out of range.
std::optional<std::uint64_t> ParseSequence(std::string_view text);

// "YYYY-MM-DDTHH:MM:SSZ", a valid UTC time of the years 1970 to 9999;
// nullopt otherwise.
std::optional<std::chrono::sys_seconds> ParseUtcTime(std::string_view text);
