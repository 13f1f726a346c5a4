#include "update/version_document.h"

#include <charconv>
#include <set>
#include <sstream>
#include <utility>

#include <fmt/format.h>

#include "platform/base/text.h"
#include "platform/net/url.h"
#include "update/signing/verification_error.h"

namespace {

using Json = nlohmann::json;

// Looks at the document's structure before it is parsed into a tree: how
// deep it nests, which the scan stops at past the limit so that no tree that
// deep is ever built, and whether a member appears twice in one object
// anywhere (the JSON library itself keeps the last one silently).
class StructureScan : public nlohmann::json_sax<Json> {
public:
    bool too_deep() const { return too_deep_; }
    bool has_duplicates() const { return has_duplicates_; }

    bool start_object(std::size_t) override
    {
        keys_.emplace_back();
        return Enter();
    }
    bool end_object() override
    {
        keys_.pop_back();
        --depth_;
        return true;
    }
    bool key(string_t& name) override
    {
        if (!keys_.back().insert(name).second) has_duplicates_ = true;
        return true;
    }
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_array(std::size_t) override { return Enter(); }
    bool end_array() override
    {
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    bool Enter()
    {
        too_deep_ = ++depth_ > kMaxDocumentNesting;
        return !too_deep_;
    }

    std::vector<std::set<std::string>> keys_;
    std::size_t depth_ = 0;
    bool too_deep_ = false;
    bool has_duplicates_ = false;
};

[[noreturn]] void Refuse(const std::string& reason) { throw VerificationError(reason); }

bool IsLowerHex(std::string_view text) { return text.find_first_not_of("0123456789abcdef") == std::string_view::npos; }

const Json* Member(const VersionDocument& document, const char* name)
{
    const auto found = document.plug.find(name);
    return found == document.plug.end() ? nullptr : &*found;
}

std::uint64_t ReadCount(const Json& value, const char* name)
{
    if (!value.is_number_unsigned()) Refuse(fmt::format("malformed {}", name));
    return value.get<std::uint64_t>();
}

std::vector<std::string> ReadSignatures(const Json& value)
{
    std::vector<std::string> signatures;
    if (value.is_string()) signatures.push_back(value.get<std::string>());
    if (value.is_array()) {
        for (const Json& item : value) {
            if (!item.is_string()) Refuse("malformed signature");
            signatures.push_back(item.get<std::string>());
        }
    }
    if (signatures.empty()) Refuse("malformed signature");
    return signatures;
}

}  // namespace

VersionDocument ParseVersionDocument(std::string_view text)
{
    StructureScan scan;
    Json::sax_parse(text, &scan, Json::input_format_t::json, false);
    if (scan.too_deep()) Refuse(fmt::format("document nested deeper than {} levels", kMaxDocumentNesting));
    Json parsed;
    {
        std::istringstream in{std::string(text)};
        in >> parsed;
    }
    VersionDocument document;
    Json& plug = parsed["data"]["plug"];
    document.package_url = plug["urlPath"].get<std::string>();
    document.version = plug["versionNumber"].get<std::string>();
    document.plug = std::move(plug);
    document.has_duplicate_members = scan.has_duplicates();
    return document;
}

void CheckPackageUrl(const VersionDocument& document)
{
    const platform::Url url = platform::ParseUrl(platform::Utf8ToWide(document.package_url));
    if (!url.has_scheme || (url.scheme != L"http" && url.scheme != L"https")) Refuse("urlPath is not http or https");
}

PackageCheck ReadPackageCheck(const VersionDocument& document)
{
    PackageCheck check;
    if (const Json* sha256 = Member(document, "sha256")) {
        if (!sha256->is_string() || sha256->get_ref<const std::string&>().size() != 64 ||
            !IsLowerHex(sha256->get_ref<const std::string&>())) {
            Refuse("malformed sha256");
        }
        check.sha256 = sha256->get<std::string>();
    }
    if (const Json* size = Member(document, "size")) check.size = ReadCount(*size, "size");
    return check;
}

std::optional<unsigned> ReadRolloutPercent(const VersionDocument& document)
{
    const Json* member = Member(document, "rolloutPercent");
    if (!member) return std::nullopt;
    constexpr unsigned kWholeRelease = 100;
    const std::optional<std::uint64_t> percent =
        member->is_string() ? ParseSequence(member->get_ref<const std::string&>()) : std::nullopt;
    if (!percent || *percent > kWholeRelease || std::to_string(*percent) != member->get_ref<const std::string&>()) {
        Refuse("malformed rolloutPercent");
    }
    return static_cast<unsigned>(*percent);
}

SignedRelease ReadSignedRelease(const VersionDocument& document)
{
    if (document.has_duplicate_members) Refuse("duplicate member");
    for (const char* name : {"sha256", "size", "sequence", "expires", "signature"}) {
        if (!Member(document, name)) Refuse(fmt::format("missing {}", name));
    }
    if (HasLineBreakOrNul(document.package_url)) Refuse("malformed urlPath");
    if (HasLineBreakOrNul(document.version)) Refuse("malformed versionNumber");
    SignedRelease release;
    release.package = ReadPackageCheck(document);
    release.sequence = ReadCount(*Member(document, "sequence"), "sequence");
    const Json& expires = *Member(document, "expires");
    const std::optional<std::chrono::sys_seconds> expiry =
        expires.is_string() ? ParseUtcTime(expires.get_ref<const std::string&>()) : std::nullopt;
    if (!expiry) Refuse("malformed expires");
    release.expires = expires.get<std::string>();
    release.expiry = *expiry;
    release.signatures = ReadSignatures(*Member(document, "signature"));
    release.rollout_percent = ReadRolloutPercent(document);
    return release;
}

std::string SignedPayload(const VersionDocument& document, const SignedRelease& release)
{
    const std::string rollout =
        release.rollout_percent ? fmt::format("rolloutPercent:{}\n", *release.rollout_percent) : std::string();
    return fmt::format(
        "merroupdate-version-document-v1\n"
        "app:com.qv.plug\n"
        "versionNumber:{}\n"
        "urlPath:{}\n"
        "sha256:{}\n"
        "size:{}\n"
        "sequence:{}\n"
        "expires:{}\n"
        "{}",
        document.version, document.package_url, *release.package.sha256, *release.package.size, release.sequence,
        release.expires, rollout);
}

bool HasLineBreakOrNul(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos; }

std::optional<std::uint64_t> ParseSequence(std::string_view text)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

std::optional<std::chrono::sys_seconds> ParseUtcTime(std::string_view text)
{
    // Positions of the digits in "YYYY-MM-DDTHH:MM:SSZ".
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != kShape.size()) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) value = value * 10 + (text[i] - '0');
        return value;
    };
    // Times before the epoch are never an expiry; the four digits keep the
    // year at most 9999, far inside the range of seconds.
    constexpr int kFirstYear = 1970;
    if (number(0, 4) < kFirstYear) return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{year{number(0, 4)}, month{static_cast<unsigned>(number(5, 2))},
                              day{static_cast<unsigned>(number(8, 2))}};
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return sys_days{date} + hours{hour} + minutes{minute} + seconds{second};
}
