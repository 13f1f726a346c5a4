#include "platform/net/download.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <sys/mman.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;
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
           FindEntry(curl.library, "curl_easy_perform", curl.easy_perform) &&
           FindEntry(curl.library, "curl_slist_append", curl.slist_append) &&
           FindEntry(curl.library, "curl_slist_free_all", curl.slist_free_all);
}

// The answer as the child records it, in memory the program shares with it.
// A header value too long for its field is not kept, as if it was not sent.
struct SharedAnswer {
    static constexpr std::size_t kValueBytes = 512;
    int status = 0;
    char etag[kValueBytes] = {};
    char last_modified[kValueBytes] = {};
    char retry_after[kValueBytes] = {};
};

struct SharedAnswerUnmapper {
    void operator()(SharedAnswer* answer) const { munmap(answer, sizeof *answer); }
};
using SharedAnswerMapping = std::unique_ptr<SharedAnswer, SharedAnswerUnmapper>;

SharedAnswerMapping MapSharedAnswer()
{
    void* memory = mmap(nullptr, sizeof(SharedAnswer), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return SharedAnswerMapping(memory == MAP_FAILED ? nullptr : new (memory) SharedAnswer{});
}

void KeepValue(char (&field)[SharedAnswer::kValueBytes], std::string_view value)
{
    const std::size_t kept = value.size() < sizeof field ? value.size() : 0;
    std::memcpy(field, value.data(), kept);
    field[kept] = '\0';
}

bool SameName(std::string_view name, std::string_view wanted)
{
    return std::ranges::equal(name, wanted, [](char a, char b) { return (a | 0x20) == (b | 0x20); });
}

std::string_view Trimmed(std::string_view text)
{
    const auto start = text.find_first_not_of(" \t");
    if (start == text.npos) return {};
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

// One header line as libcurl hands it over. A status line starts an answer
// (a redirect's, a proxy's, the last one), so it forgets the one before.
void RecordHeaderLine(std::string_view line, SharedAnswer& answer)
{
    if (line.starts_with("HTTP/")) {
        answer = SharedAnswer{};
        const auto space = line.find(' ');
        int status = 0;
        for (std::size_t i = space + 1; space != line.npos && i < line.size() && i < space + 4; ++i) {
            if (line[i] < '0' || line[i] > '9') return;
            status = status * 10 + (line[i] - '0');
        }
        answer.status = status;
        return;
    }
    const auto colon = line.find(':');
    if (colon == line.npos) return;
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = Trimmed(line.substr(colon + 1));
    if (SameName(name, "ETag")) KeepValue(answer.etag, value);
    if (SameName(name, "Last-Modified")) KeepValue(answer.last_modified, value);
    if (SameName(name, "Retry-After")) KeepValue(answer.retry_after, value);
}

// The body as the child writes it, the transfer's deadline, how its writing
// ended and what the server answered.
struct Body {
    BoundedBody file;
    TransferClock clock;
    SharedAnswer& answer;
    int result = 0;
};

constexpr int kFirstFailedStatus = 400;
constexpr int kNotModified = 304;

size_t WriteBody(char* data, size_t size, size_t count, void* user)
{
    auto* body = static_cast<Body*>(user);
    // An error page is no body of ours: the transfer stops at its first byte.
    if (body->answer.status >= kFirstFailedStatus) return 0;
    body->result = body->file.Write(data, size * count);
    // Anything but the full count makes libcurl stop with CURLE_WRITE_ERROR.
    return body->result == 0 ? size * count : 0;
}

size_t ReadHeader(char* data, size_t size, size_t count, void* user)
{
    RecordHeaderLine({data, size * count}, static_cast<Body*>(user)->answer);
    return size * count;
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
    if (const CURLcode result = library.easy_setopt(curl, CURLOPT_HEADERFUNCTION, &ReadHeader); result != CURLE_OK) {
        return result;
    }
    for (const CURLoption option : {CURLOPT_WRITEDATA, CURLOPT_XFERINFODATA, CURLOPT_HEADERDATA}) {
        if (const CURLcode result = library.easy_setopt(curl, option, &body); result != CURLE_OK) return result;
    }
    return CURLE_OK;
}

// How the transfer's child reports what is no CURLcode (those are below 100).
constexpr int kChildTooLarge = 200;
constexpr int kChildWithoutCurl = 201;
constexpr int kChildNotModified = 202;

// The request headers the conditions make, owned for the transfer.
struct HeaderListFree {
    decltype(&curl_slist_free_all) free_all;
    void operator()(curl_slist* list) const { free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListFree>;

HeaderList ConditionHeaders(const Curl& library, const ConditionalHeaders& conditions)
{
    HeaderList list(nullptr, {library.slist_free_all});
    const std::pair<const char*, const std::string&> headers[] = {
        {"If-None-Match: ", conditions.if_none_match},
        {"If-Modified-Since: ", conditions.if_modified_since},
    };
    for (const auto& [name, value] : headers) {
        if (value.empty()) continue;
        curl_slist* longer = library.slist_append(list.get(), (name + value).c_str());
        if (!longer) return HeaderList(nullptr, {library.slist_free_all});
        static_cast<void>(list.release());
        list.reset(longer);
    }
    return list;
}

// The child's whole life: the transfer into the inherited temporary file.
int RunTransfer(const std::string& url, Body& body, const DownloadTimeouts& timeouts,
                const ConditionalHeaders& conditions)
{
    Curl library;
    if (!LoadCurl(library)) return kChildWithoutCurl;
    if (const CURLcode result = library.global_init(CURL_GLOBAL_DEFAULT); result != CURLE_OK) return result;
    CURL* curl = library.easy_init();
    if (!curl) return CURLE_FAILED_INIT;
    if (const CURLcode result = Configure(library, curl, url, body, timeouts); result != CURLE_OK) return result;
    const HeaderList headers = ConditionHeaders(library, conditions);
    if (const CURLcode result = library.easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get()); result != CURLE_OK) {
        return result;
    }
    const CURLcode result = library.easy_perform(curl);
    if (body.answer.status >= kFirstFailedStatus) return CURLE_HTTP_RETURNED_ERROR;
    if (result == CURLE_OK && body.answer.status == kNotModified) return kChildNotModified;
    return result != CURLE_OK && body.result == kDownloadTooLarge ? kChildTooLarge : result;
}

void CopyAnswer(const SharedAnswer& shared, DownloadAnswer& answer)
{
    answer = {shared.status, shared.etag, shared.last_modified, shared.retry_after};
}

}  // namespace

int DownloadToFile(std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                   const DownloadTimeouts& timeouts, const ConditionalHeaders& conditions, DownloadAnswer* answer)
{
    // curl refuses another host in a file: URL too; the rule is ours either way.
    if (ParseUrl(url).scheme == L"file" && !IsLocalFileUrl(url.substr(url.find(L':') + 1))) {
        return CURLE_URL_MALFORMAT;
    }
    ReplacementFile replacement(file);
    if (replacement.error() != 0) return CURLE_WRITE_ERROR;
    const SharedAnswerMapping shared = MapSharedAnswer();
    if (!shared) return CURLE_OUT_OF_MEMORY;
    Body body{{replacement, max_bytes}, {timeouts.whole, max_bytes}, *shared};

    const std::string address = WideToUtf8(url);
    const int result = RunInChildProcess([&] { return RunTransfer(address, body, timeouts, conditions); });
    if (answer) CopyAnswer(*shared, *answer);
    switch (result) {
    case CURLE_OK: return replacement.Commit() == 0 ? CURLE_OK : CURLE_WRITE_ERROR;
    case -1: return CURLE_RECV_ERROR;
    case kChildTooLarge: return kDownloadTooLarge;
    case kChildWithoutCurl: return CURLE_FAILED_INIT;
    case kChildNotModified: return kDownloadNotModified;
    default: return result;
    }
}

}  // namespace platform
