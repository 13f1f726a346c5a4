// Any answer of the version service, saved as config.json by the download,
// either names a version and a package address, or fails the update run with
// the JSON library's error. A document that fails changes nothing: the local
// configuration and the extension stay as they were, and no package is asked
// for. Package downloads always fail here, so nothing is ever installed.
// A text that holds "signature" runs with a signing key configured: a signed
// document leads to a package request only with the very members a seed of
// the corpus was signed with (and records its sequence), an unsigned one to
// none. Any other text runs without a key: a package is asked for only when
// "sha256" and "size", if any, are well formed, bounded by the size where it
// is below 4 GiB. A document nested too deep is refused before it is read.
// Only an http or https urlPath is asked for; a well-formed "rolloutPercent"
// other than "100" may leave this copy out of the release (its id is drawn
// at random and kept in the configuration), a malformed one refuses the run.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz_support.h"
#include "platform/base/text.h"
#include "platform/net/url.h"
#include "platform/paths/native_path.h"
#include "support/temp_folder.h"
#include "update/paths.h"
#include "update/update_flow.h"

namespace {

using fuzz_support::Require;
using testing_support::ReadFileBytes;

namespace fs = std::filesystem;

constexpr char kKeyedConfig[] = R"({
    "Elasp": "",
    "Setup": "yes",
    "signingKeys": "RWSn4vv+9Z0xumv3f5cc6V2Am8HnOKP8TYMAf3vS4CO5PmaxqgEG/SGt",
    "url": "http://127.0.0.1:9/version",
    "versionNumber": "1.0"
}
)";
constexpr char kKeylessConfig[] = R"({
    "Elasp": "",
    "Setup": "yes",
    "url": "http://127.0.0.1:9/version",
    "versionNumber": "1.0"
}
)";
constexpr char kTooDeep[] = "Verify UrlConfig Error: document nested deeper than 64 levels";

// What the seeds signed_*.json were signed with (the secret key is gone):
// version, urlPath, sha256, size, sequence, expires.
const std::set<std::vector<nlohmann::json>> kSignedReleases = {
    {"2.0", "http://127.0.0.1:9/p.zip", "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08", 1234u, 3u,
     "2099-01-01T00:00:00Z"},
    {"3.1.4", "http://127.0.0.1:9/版本.zip", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", 0u,
     18446744073709551615u, "2100-12-31T23:59:59Z"},
};
constexpr char kExtensionFile[] = "index.html";
constexpr char kExtensionContent[] = "<html>installed</html>";

void Write(const fs::path& path, const std::string& content)
{
    Require(testing_support::WriteFileBytes(path, content));
}

// A working folder with the local configuration, and a Wine prefix with an
// installed extension, both inside one scratch folder.
class WorkingFolder {
public:
    WorkingFolder()
    {
        fs::create_directories(platform::NativePath(ExtensionDir()));
        Write(platform::NativePath(ExtensionDir()) / kExtensionFile, kExtensionContent);
    }
    static void Configure(const char* config) { Write(platform::NativePath(LocalConfigFileName), config); }
    // Nothing installed; the configuration as written, or with the floor of
    // an accepted signed document added.
    static void CheckUnchanged(const char* config, bool floor_may_rise, bool id_may_be_drawn)
    {
        const std::string now = ReadFileBytes(platform::NativePath(LocalConfigFileName));
        if (now != config) {
            Require(floor_may_rise || id_may_be_drawn);
            nlohmann::json recorded = nlohmann::json::parse(now);
            if (floor_may_rise) {
                recorded.erase("signedSequence");
                recorded.erase("signedPayloadSha256");
            }
            if (id_may_be_drawn) recorded.erase("rolloutId");
            Require(recorded == nlohmann::json::parse(config));
        }
        const fs::path extension = platform::NativePath(ExtensionDir());
        Require(std::distance(fs::directory_iterator(extension), fs::directory_iterator{}) == 1);
        Require(ReadFileBytes(extension / kExtensionFile) == kExtensionContent);
        Require(!fs::exists(platform::NativePath(PackageFileName)));
    }

private:
    testing_support::WorkFolder work_;
};

// What the run should find in the document, read the way the JSON library
// reads one value from a stream; empty fields when it should fail.
struct Expected {
    bool parses = false;
    bool readable = false;
    std::string url;
    std::string version;
    bool is_signed = false;
    bool keyed = false;        // run with a signing key
    bool may_install = false;  // a package may be asked for: must be, unless signed or staged
    bool staged = false;       // a well-formed rolloutPercent below 100: this copy may be left out
    std::uint64_t package_limit = std::uint64_t{4} << 30;
};

bool WellFormedSha256(const nlohmann::json& value)
{
    if (!value.is_string() || value.get_ref<const std::string&>().size() != 64) return false;
    const std::string& text = value.get_ref<const std::string&>();
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool IsHttpOrHttps(const std::string& url)
{
    const platform::Url parsed = platform::ParseUrl(platform::Utf8ToWide(url));
    return parsed.has_scheme && (parsed.scheme == L"http" || parsed.scheme == L"https");
}

// A string of a whole number from 0 to 100 without leading zeros.
bool WellFormedRollout(const nlohmann::json& value)
{
    if (!value.is_string()) return false;
    const std::string& text = value.get_ref<const std::string&>();
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    return std::to_string(std::stoi(text)) == text && std::stoi(text) <= 100;
}

// Whether the optional members allow a package request, and its bound.
void ReadOptionalMembers(const nlohmann::json& plug, Expected& expected)
{
    const auto member = [&](const char* name) { return plug.contains(name) ? &plug.at(name) : nullptr; };
    if (!IsHttpOrHttps(expected.url)) return;
    if (const nlohmann::json* rollout = member("rolloutPercent")) {
        if (!WellFormedRollout(*rollout)) return;
        expected.staged = rollout->get_ref<const std::string&>() != "100";
    }
    expected.is_signed = member("signature") != nullptr;
    if (expected.keyed) {
        std::vector<nlohmann::json> release;
        for (const char* name : {"versionNumber", "urlPath", "sha256", "size", "sequence", "expires"}) {
            release.push_back(member(name) ? *member(name) : nlohmann::json());
        }
        expected.may_install = expected.is_signed && kSignedReleases.contains(release);
    } else {
        const nlohmann::json* sha256 = member("sha256");
        const nlohmann::json* size = member("size");
        expected.may_install = (!sha256 || WellFormedSha256(*sha256)) && (!size || size->is_number_unsigned());
    }
    if (expected.may_install && member("size")) {
        const std::uint64_t size = member("size")->get<std::uint64_t>();
        expected.package_limit = expected.is_signed ? size : std::min(size, expected.package_limit);
    }
}

// The deepest nesting of arrays and objects, strings skipped: the text's
// first value nests at least this deep wherever the JSON reader stopped.
std::size_t Nesting(const std::string& text)
{
    std::size_t depth = 0, deepest = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') ++i;
            else if (c == '"') in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

bool LastLogLineEndsWith(std::string_view text)
{
    const std::string log = ReadFileBytes("Log/action-log.txt");
    return log.size() >= text.size() + 2 && log.compare(log.size() - text.size() - 2, text.size(), text) == 0;
}

Expected ReadExpected(const std::string& text)
{
    Expected expected;
    expected.keyed = text.find("signature") != std::string::npos;
    nlohmann::json document;
    std::istringstream in(text);
    try {
        in >> document;
    } catch (const nlohmann::json::exception&) {  // not JSON, or a number out of range
        return expected;
    }
    expected.parses = true;
    const nlohmann::json* plug = &document;
    for (const char* key : {"data", "plug"}) {
        if (!plug->is_object() || !plug->contains(key)) return expected;
        plug = &plug->at(key);
    }
    if (!plug->is_object()) return expected;
    const auto url = plug->find("urlPath");
    const auto version = plug->find("versionNumber");
    if (url == plug->end() || version == plug->end() || !url->is_string() || !version->is_string()) return expected;
    expected.readable = true;
    expected.url = url->get<std::string>();
    expected.version = version->get<std::string>();
    ReadOptionalMembers(*plug, expected);
    return expected;
}

struct Download {
    std::wstring url;
    std::wstring file;
    std::uint64_t max_bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const WorkingFolder folder;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<Download> packages;
    bool served = false;
    const Expected expected = ReadExpected(text);
    WorkingFolder::Configure(expected.keyed ? kKeyedConfig : kKeylessConfig);
    const Downloader download = [&](std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                                    const platform::TransferDeadline&) {
        if (file != VersionDocFileName) {
            packages.push_back({std::wstring(url), std::wstring(file), max_bytes});
            return 1;  // the package is never there
        }
        Write(platform::NativePath(file), text);
        served = true;
        return 0;
    };

    bool read_error = false;
    bool type_error = false;
    try {
        UpdateFlow(download);
    } catch (const nlohmann::json::type_error&) {
        type_error = true;
    } catch (const nlohmann::json::exception&) {
        read_error = true;
    }
    const bool too_deep = served && LastLogLineEndsWith(kTooDeep);
    std::error_code ignored;
    fs::remove_all("Log", ignored);  // each run appends to the activity log
    WorkingFolder::CheckUnchanged(expected.keyed ? kKeyedConfig : kKeylessConfig,
                                  expected.keyed && expected.may_install,
                                  text.find("rolloutPercent") != std::string::npos);
    // A host application started by someone else on this machine skips the
    // whole run: nothing is downloaded and nothing raised.
    if (!served) {
        Require(!read_error && !type_error && packages.empty());
        return 0;
    }
    if (too_deep) {
        Require(!read_error && !type_error && packages.empty() && Nesting(text) > kMaxDocumentNesting);
        Require(fs::exists(platform::NativePath(VersionDocFileName)));
        fs::remove(platform::NativePath(VersionDocFileName), ignored);
        return 0;
    }
    Require(read_error == !expected.parses);
    Require(type_error == (expected.parses && !expected.readable));

    // A document that was read is deleted; one that failed stays.
    Require(fs::exists(platform::NativePath(VersionDocFileName)) == !expected.readable);
    if (!expected.readable || !expected.may_install || expected.version == "1.0") {
        Require(packages.empty());
    } else if ((!expected.is_signed && !expected.staged) || !packages.empty()) {
        // A signed one may still be refused, a staged one leave this copy out.
        Require(packages.size() == 1 && packages[0].file == UncheckedPackageFileName);
        Require(packages[0].url == platform::Utf8ToWide(expected.url));
        Require(packages[0].max_bytes == expected.package_limit);
    }
    fs::remove(platform::NativePath(VersionDocFileName), ignored);
    return 0;
}
