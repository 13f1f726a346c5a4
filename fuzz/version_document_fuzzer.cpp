// Any answer of the version service, saved as config.json by the download,
// either names a version and a package address, or fails the update run with
// the JSON library's error. A document that fails changes nothing: the local
// configuration and the extension stay as they were, and no package is asked
// for. Package downloads always fail here, so nothing is ever installed.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz_support.h"
#include "platform/text.h"
#include "platform/native_path.h"
#include "update/paths.h"
#include "update/update_flow.h"

namespace {

using fuzz_support::ReadFile;
using fuzz_support::Require;

namespace fs = std::filesystem;

constexpr char kLocalConfig[] = R"({
    "Elasp": "",
    "Setup": "yes",
    "url": "http://127.0.0.1:9/version",
    "versionNumber": "1.0"
}
)";
constexpr char kExtensionFile[] = "index.html";
constexpr char kExtensionContent[] = "<html>installed</html>";

void Write(const fs::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    Require(out.good());
}

// A working folder with the local configuration, and a Wine prefix with an
// installed extension, both inside one scratch folder.
class WorkingFolder {
public:
    WorkingFolder() : scratch_("merro-version-fuzz")
    {
        Require(setenv("WINEPREFIX", (scratch_.Path() / "prefix").c_str(), 1) == 0);
        scratch_.Enter();
        Write(platform::NativePath(LocalConfigFileName), kLocalConfig);
        fs::create_directories(platform::NativePath(ExtensionDir()));
        Write(platform::NativePath(ExtensionDir()) / kExtensionFile, kExtensionContent);
    }
    static void CheckUnchanged()
    {
        Require(ReadFile(platform::NativePath(LocalConfigFileName)) == kLocalConfig);
        const fs::path extension = platform::NativePath(ExtensionDir());
        Require(std::distance(fs::directory_iterator(extension), fs::directory_iterator{}) == 1);
        Require(ReadFile(extension / kExtensionFile) == kExtensionContent);
        Require(!fs::exists(platform::NativePath(PackageFileName)));
    }

private:
    fuzz_support::ScratchFolder scratch_;
};

// What the run should find in the document, read the way the JSON library
// reads one value from a stream; empty fields when it should fail.
struct Expected {
    bool parses = false;
    bool readable = false;
    std::string url;
    std::string version;
};

Expected ReadExpected(const std::string& text)
{
    Expected expected;
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
    return expected;
}

struct Download {
    std::wstring url;
    std::wstring file;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const WorkingFolder folder;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<Download> packages;
    bool served = false;
    const Downloader download = [&](std::wstring_view url, std::wstring_view file) {
        if (file != VersionDocFileName) {
            packages.push_back({std::wstring(url), std::wstring(file)});
            return 1;  // the package is never there
        }
        Write(platform::NativePath(file), text);
        served = true;
        return 0;
    };

    const Expected expected = ReadExpected(text);
    bool read_error = false;
    bool type_error = false;
    try {
        UpdateFlow(download);
    } catch (const nlohmann::json::type_error&) {
        type_error = true;
    } catch (const nlohmann::json::exception&) {
        read_error = true;
    }
    std::error_code ignored;
    fs::remove_all("Log", ignored);  // each run appends to the activity log
    WorkingFolder::CheckUnchanged();
    // A host application started by someone else on this machine skips the
    // whole run: nothing is downloaded and nothing raised.
    if (!served) {
        Require(!read_error && !type_error && packages.empty());
        return 0;
    }
    Require(read_error == !expected.parses);
    Require(type_error == (expected.parses && !expected.readable));

    // A document that was read is deleted; one that failed stays.
    Require(fs::exists(platform::NativePath(VersionDocFileName)) == !expected.readable);
    if (!expected.readable || expected.version == "1.0") {
        Require(packages.empty());
    } else {
        Require(packages.size() == 1 && packages[0].file == PackageFileName);
        Require(packages[0].url == platform::Utf8ToWide(expected.url));
    }
    fs::remove(platform::NativePath(VersionDocFileName), ignored);
    return 0;
}
