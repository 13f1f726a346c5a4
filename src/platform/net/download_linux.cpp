#include "platform/net/download.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/base/text.h"
#include "platform/durable/replacement_file.h"
#include "platform/net/bounded_body.h"
#include "platform/net/transfer_clock.h"
#include "platform/net/url.h"
#include "platform/process/child_process_linux.h"
#include "platform/process/dynamic_library.h"

namespace platform {
namespace {

constexpr long kMaxRedirects = 10;

// The libcurl entry points a transfer uses. libcurl is loaded only in the
// child process that runs a transfer: its TLS library, once loaded, is never
// unloaded, and would otherwise stay resident in the program between checks.
struct Curl {
    LibraryHandle library;
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
};

template <typename Function>
bool FindEntry(const LibraryHandle& library, const char* name, Function& function)
{
    void* address = nullptr;
    if (FindExport(library, name, address) != WindowsError::kSuccess) return false;
    function = reinterpret_cast<Function>(address);
    return true;
}

// By its soname through the dynamic linker's search alone: never a file
// beside the program.
bool LoadCurl(Curl& curl)
{
    curl.library.reset(dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL));
    return curl.library && FindEntry(curl.library, "curl_global_init", curl.global_init) &&
           FindEntry(curl.library, "curl_easy_init", curl.easy_init) &&
           FindEntry(curl.library, "curl_easy_setopt", curl.easy_setopt) &&
           FindEntry(curl.library, "curl_easy_perform", curl.easy_perform);
}

// The body as the child writes it, the transfer's deadline, and how its
// writing ended.
struct Body {
    BoundedBody file;
    TransferClock clock;
    int result = 0;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user)
{
    auto* body = static_cast<Body*>(user);
    body->result = body->file.Write(data, size * count);
    // Anything but the full count makes libcurl stop with CURLE_WRITE_ERROR.
    return body->result == 0 ? size * count : 0;
}

// Ends the transfer once it has run past its deadline; libcurl calls this at
// least once a second, whether or not data arrives.
int CheckDeadline(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t)
{
    const auto* body = static_cast<const Body*>(user);
    const auto announced = total > 0 ? std::optional(static_cast<std::uint64_t>(total)) : std::nullopt;
    return body->clock.Expired(static_cast<std::uint64_t>(received), announced) ? 1 : 0;
}

// Applies every option; stops at the first one libcurl refuses.
CURLcode Configure(const Curl& library, CURL* curl, const std::string& url, Body& body,
                   const DownloadTimeouts& timeouts)
{
    const std::pair<CURLoption, long> numbers[] = {
        {CURLOPT_NOSIGNAL, 1L},
        {CURLOPT_FOLLOWLOCATION, 1L},
        {CURLOPT_MAXREDIRS, kMaxRedirects},
        {CURLOPT_FAILONERROR, 1L},
        {CURLOPT_SSL_VERIFYPEER, 1L},
        {CURLOPT_SSL_VERIFYHOST, 2L},
        {CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeouts.connect.count())},
        {CURLOPT_LOW_SPEED_LIMIT, 1L},
        {CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts.stall.count())},
        {CURLOPT_NOPROGRESS, 0L},
        // A proxy named with user:password in http_proxy or https_proxy gets
        // them in whatever scheme it asks for, not only Basic.
        {CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY)},
    };
    for (const auto& [option, value] : numbers) {
        if (const CURLcode result = library.easy_setopt(curl, option, value); result != CURLE_OK) return result;
    }
    const std::pair<CURLoption, const char*> texts[] = {
        {CURLOPT_URL, url.c_str()},
        {CURLOPT_PROTOCOLS_STR, "http,https,file"},
        {CURLOPT_REDIR_PROTOCOLS_STR, "http,https"},
    };
    for (const auto& [option, value] : texts) {
        if (const CURLcode result = library.easy_setopt(curl, option, value); result != CURLE_OK) return result;
    }
    if (const CURLcode result = library.easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody); result != CURLE_OK) {
        return result;
    }
    if (const CURLcode result = library.easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckDeadline);
        result != CURLE_OK) {
        return result;
    }
    for (const CURLoption option : {CURLOPT_WRITEDATA, CURLOPT_XFERINFODATA}) {
        if (const CURLcode result = library.easy_setopt(curl, option, &body); result != CURLE_OK) return result;
    }
    return CURLE_OK;
}

// How the transfer's child reports what is no CURLcode (those are below 100).
constexpr int kChildTooLarge = 200;
constexpr int kChildWithoutCurl = 201;

// The child's whole life: the transfer into the inherited temporary file.
int RunTransfer(const std::string& url, Body& body, const DownloadTimeouts& timeouts)
{
    Curl library;
    if (!LoadCurl(library)) return kChildWithoutCurl;
    if (const CURLcode result = library.global_init(CURL_GLOBAL_DEFAULT); result != CURLE_OK) return result;
    CURL* curl = library.easy_init();
    if (!curl) return CURLE_FAILED_INIT;
    if (const CURLcode result = Configure(library, curl, url, body, timeouts); result != CURLE_OK) return result;
    const CURLcode result = library.easy_perform(curl);
    return result != CURLE_OK && body.result == kDownloadTooLarge ? kChildTooLarge : result;
}

}  // namespace

int DownloadToFile(std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                   const DownloadTimeouts& timeouts)
{
    // curl refuses another host in a file: URL too; the rule is ours either way.
    if (ParseUrl(url).scheme == L"file" && !IsLocalFileUrl(url.substr(url.find(L':') + 1))) {
        return CURLE_URL_MALFORMAT;
    }
    ReplacementFile replacement(file);
    if (replacement.error() != 0) return CURLE_WRITE_ERROR;
    Body body{{replacement, max_bytes}, {timeouts.whole, max_bytes}};

    const std::string address = WideToUtf8(url);
    switch (const int result = RunInChildProcess([&] { return RunTransfer(address, body, timeouts); })) {
    case CURLE_OK: return replacement.Commit() == 0 ? CURLE_OK : CURLE_WRITE_ERROR;
    case -1: return CURLE_RECV_ERROR;
    case kChildTooLarge: return kDownloadTooLarge;
    case kChildWithoutCurl: return CURLE_FAILED_INIT;
    default: return result;
    }
}

}  // namespace platform
