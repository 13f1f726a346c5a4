// merroupdate-publish: makes the signed version document of a package with
// minisign, or checks a document and its package the way the program does.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base/text.h"
#include "platform/process/child_process.h"
#include "update/signing/update_verification.h"
#include "update/signing/verification_error.h"
#include "update/version_document.h"

namespace {

namespace fs = std::filesystem;

// The whole --help text: one option a line, so that an option is one line more.
constexpr char kUsage[] =
    "usage: merroupdate-publish --package FILE --version VERSION --url URL --sequence N\n"
    "                           --expires YYYY-MM-DDTHH:MM:SSZ --key SECRET_KEY_FILE [--rollout PERCENT]\n"
    "       merroupdate-publish --verify DOCUMENT --package FILE --pub PUBLIC_KEY_FILE [--pub ...]\n"
    "       merroupdate-publish --help | --version   (--version alone: the tool's version)\n"
    "\n"
    "Prints the signed version document of a package, or checks a document and its package\n"
    "the way the program does (exit 0 when it would be accepted).\n"
    "\n"
    "  --package FILE     the package (ZIP) the document names; its size and SHA-256 are signed\n"
    "  --version VERSION  the package's versionNumber\n"
    "  --url URL          where the program downloads the package (http or https)\n"
    "  --sequence N       higher than every document published before\n"
    "  --expires TIME     when the document stops being accepted, UTC, e.g. 2027-01-31T00:00:00Z\n"
    "  --key FILE         minisign secret key; minisign -S signs and asks for its password\n"
    "  --rollout PERCENT  release to that share of the installed copies (0 halts; default 100)\n"
    "  --verify DOCUMENT  check DOCUMENT and --package instead of signing\n"
    "  --pub FILE         a trusted minisign public key; repeat for several\n"
    "\n"
    "example:\n"
    "  merroupdate-publish --package com.qv.plug.zip --version 1.1.0 \\\n"
    "      --url https://example.com/com.qv.plug-1.1.0.zip --sequence 42 \\\n"
    "      --expires 2027-01-31T00:00:00Z --key release.key --rollout 20 > document.json\n";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using Options = std::multimap<std::string, std::string>;

Options ParseOptions(int argc, char** argv)
{
    static const std::set<std::string> known = {"--package", "--version", "--url", "--sequence", "--expires",
                                                "--key",     "--verify",  "--pub", "--rollout"};
    Options options;
    for (int i = 1; i < argc; i += 2) {
        if (!known.contains(argv[i])) throw UsageError(std::string("unknown option ") + argv[i]);
        if (i + 1 == argc) throw UsageError(std::string(argv[i]) + " needs a value");
        options.emplace(argv[i], argv[i + 1]);
    }
    return options;
}

const std::string& Single(const Options& options, const std::string& name)
{
    if (options.count(name) != 1) throw UsageError(name + (options.contains(name) ? " given twice" : " is missing"));
    return options.find(name)->second;
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) throw std::runtime_error("cannot read " + path.string());
    if (!fs::is_regular_file(path)) throw std::runtime_error("no file " + path.string());
    return text;
}

// The key line of a minisign public key file: the last line that is not a comment.
minisign::PublicKey ReadPublicKeyFile(const fs::path& path)
{
    std::string key_line;
    std::istringstream lines(ReadText(path));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && !line.starts_with("untrusted comment:")) key_line = line;
    }
    const std::optional<minisign::PublicKey> key = minisign::ParsePublicKey(key_line);
    if (!key) throw std::runtime_error(path.string() + " holds no minisign public key");
    return *key;
}

// A folder of our own for minisign's input and output, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path candidate = fs::temp_directory_path() / ("merroupdate-publish-" + std::to_string(random()));
            if (fs::create_directory(candidate)) path_ = candidate;
        }
        if (path_.empty()) throw std::runtime_error("cannot make a temporary folder");
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

int Sign(const Options& options)
{
    VersionDocument document;
    document.package_url = Single(options, "--url");
    document.version = Single(options, "--version");
    SignedRelease release;
    const PackageDigest digest = ReadPackageDigest(platform::Utf8ToWide(Single(options, "--package")));
    release.package = {digest.sha256, digest.size};
    const std::optional<std::uint64_t> sequence = ParseSequence(Single(options, "--sequence"));
    if (!sequence) throw UsageError("--sequence takes a non-negative whole number");
    release.sequence = *sequence;
    release.expires = Single(options, "--expires");
    if (!ParseUtcTime(release.expires)) throw UsageError("--expires takes a UTC time as YYYY-MM-DDTHH:MM:SSZ");
    CheckPackageUrl(document);
    if (HasLineBreakOrNul(document.package_url) || HasLineBreakOrNul(document.version)) {
        throw UsageError("--url and --version may not hold CR, LF or NUL");
    }
    if (options.contains("--rollout")) document.plug["rolloutPercent"] = Single(options, "--rollout");
    try {
        release.rollout_percent = ReadRolloutPercent(document);
    } catch (const VerificationError&) {
        throw UsageError("--rollout takes a whole number from 0 to 100");
    }

    const ScratchFolder scratch;
    const fs::path payload = scratch.path() / "payload";
    const fs::path signature = scratch.path() / "payload.minisig";
    std::ofstream(payload, std::ios::binary) << SignedPayload(document, release);
    const std::string comment =
        "merroupdate com.qv.plug " + document.version + " sequence " + std::to_string(release.sequence);
    if (platform::RunProgram({"minisign", "-S", "-s", Single(options, "--key"), "-m", payload.string(), "-x",
                              signature.string(), "-t", comment}) != 0) {
        throw std::runtime_error("minisign -S failed (is minisign installed, are the key and its password right?)");
    }

    nlohmann::json plug = {
        {"urlPath", document.package_url},  {"versionNumber", document.version}, {"sha256", *release.package.sha256},
        {"size", *release.package.size},    {"sequence", release.sequence},      {"expires", release.expires},
        {"signature", ReadText(signature)},
    };
    if (release.rollout_percent) plug["rolloutPercent"] = std::to_string(*release.rollout_percent);
    std::cout << nlohmann::json{{"data", {{"plug", plug}}}}.dump(4) << '\n';
    return 0;
}

int Verify(const Options& options)
{
    const VersionDocument document = ParseVersionDocument(ReadText(Single(options, "--verify")));
    CheckPackageUrl(document);
    TrustSettings trust;
    trust.signature_required = true;
    for (auto [pub, end] = options.equal_range("--pub"); pub != end; ++pub) {
        trust.keys.push_back(ReadPublicKeyFile(pub->second));
    }
    if (trust.keys.empty()) throw UsageError("--pub is missing");
    const SignedRelease release = VerifyVersionDocument(document, trust, std::chrono::system_clock::now());
    VerifyPackage(platform::Utf8ToWide(Single(options, "--package")), release.package);
    std::cout << "verified: version " << document.version << ", sequence " << release.sequence << ", expires "
              << release.expires;
    if (release.rollout_percent) std::cout << ", rollout " << *release.rollout_percent << '%';
    std::cout << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && argv[1] == std::string_view("--help")) {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && argv[1] == std::string_view("--version")) {
        std::cout << "merroupdate-publish " MERRO_PUBLISH_VERSION "\n";
        return 0;
    }
    try {
        if (argc == 1) throw UsageError("no options given");
        const Options options = ParseOptions(argc, argv);
        return options.contains("--verify") ? Verify(options) : Sign(options);
    } catch (const UsageError& error) {
        std::cerr << "merroupdate-publish: " << error.what() << " (see merroupdate-publish --help)\n";
        return 1;
    } catch (const VerificationError& error) {
        std::cerr << "refused: " << error.what() << '\n';
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "merroupdate-publish: " << error.what() << '\n';
        return 1;
    }
}
