#include "platform/net/download.h"

#include "platform/base/windows_api_win.h"

#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/text.h"
#include "platform/durable/replacement_file.h"
#include "platform/net/bounded_body.h"
#include "platform/net/transfer_clock.h"
#include "platform/net/url.h"
#include "platform/paths/long_path_win.h"

// Failure codes are Windows error numbers (GetLastError, 12xxx from WinHTTP).
// An HTTP status of 400 or more is returned as kHttpStatusFailure | status:
// bit 29 marks application-defined codes, so these never collide with a
// system error number.
namespace platform {
namespace {

constexpr int kMaxRedirects = 10;
constexpr int kHttpStatusFailure = 0x20000000;
constexpr DWORD kChunk = 64 * 1024;

struct InternetCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;
using Handle = UniqueHandle;

// CreateFileW reports failure as INVALID_HANDLE_VALUE, not null.
Handle OwnFile(HANDLE handle) { return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

// Never 0, so that a call that failed without saying why still fails.
int LastError()
{
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

using BodyTarget = BoundedBody;

int CopyFileUrl(std::wstring_view rest, BodyTarget& target)
{
    const std::optional<std::wstring> path = WindowsPathOfFileUrl(rest);
    if (!path) return ERROR_WINHTTP_INVALID_URL;
    const Handle source = OwnFile(CreateFileW(LongPath(*path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) return LastError();
    std::vector<char> buffer(kChunk);
    for (DWORD read = 0;;) {
        if (!ReadFile(source.get(), buffer.data(), kChunk, &read, nullptr)) return LastError();
        if (read == 0) return 0;
        if (const int error = target.Write(buffer.data(), read)) return error;
    }
}

int QueryHeader(HINTERNET request, DWORD info, std::wstring& value)
{
    DWORD bytes = 0;
    value.clear();
    if (WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                            WINHTTP_NO_HEADER_INDEX)) {
        return 0;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return LastError();
    value.resize(bytes / sizeof(wchar_t));
    if (!WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
        return LastError();
    }
    value.resize(bytes / sizeof(wchar_t));
    return 0;
}

int Milliseconds(std::chrono::seconds value);

// Caps each wait of the request at what the whole transfer has left;
// ERROR_WINHTTP_TIMEOUT once nothing is.
int CapWaits(HINTERNET request, const DownloadTimeouts& timeouts, std::chrono::milliseconds left)
{
    if (left <= std::chrono::milliseconds::zero()) return ERROR_WINHTTP_TIMEOUT;
    const auto cap = [left](std::chrono::seconds wait) {
        const int limit = static_cast<int>(std::min<long long>(left.count(), INT_MAX));
        const int own = Milliseconds(wait);
        return own < 0 ? limit : std::min(own, limit);
    };
    int stall = cap(timeouts.stall);
    if (!WinHttpSetTimeouts(request, cap(timeouts.connect), cap(timeouts.connect), stall, stall) ||
        !WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &stall, sizeof stall)) {
        return LastError();
    }
    return 0;
}

// The schemes already answered with the user's logon, for the proxy and for
// the server.
struct LogonAnswers {
    DWORD proxy = 0;
    DWORD server = 0;
};

// Whether WinHTTP sent this request through a proxy, by the proxy it chose
// for this very URL. A 407 counts only then: a server that answers 407
// itself must not get the logon a proxy would.
bool GoesThroughProxy(HINTERNET request)
{
    WINHTTP_PROXY_RESULT_ENTRY entry{};
    DWORD size = sizeof entry;
    return WinHttpQueryOption(request, WINHTTP_OPTION_PROXY_RESULT_ENTRY, &entry, &size) && entry.fProxy &&
           !entry.fBypass;
}

// A proxy's 407, or a server's 401, that offers Negotiate or NTLM is answered
// with the user's own logon (null credentials), each scheme once; Basic and
// Digest would need a password, which is never made up. The autologon policy
// belongs to the request, not to one target: it is lowered while the proxy
// the request goes through is answered, so that a proxy outside the intranet
// zone gets the logon, and set back to the system's default (intranet
// servers only) before a server is. True when the request is to be sent again.
bool AnswerWithLogon(HINTERNET request, LogonAnswers& answered)
{
    DWORD supported = 0;
    DWORD first = 0;
    DWORD target = 0;
    if (!WinHttpQueryAuthSchemes(request, &supported, &first, &target)) return false;
    const bool proxy = target == WINHTTP_AUTH_TARGET_PROXY;
    if (proxy && !GoesThroughProxy(request)) return false;
    DWORD& tried = proxy ? answered.proxy : answered.server;
    for (const DWORD scheme : {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM}) {
        if (!(supported & scheme) || (tried & scheme)) continue;
        tried |= scheme;
        DWORD policy = proxy ? WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW : WINHTTP_AUTOLOGON_SECURITY_LEVEL_MEDIUM;
        if (!WinHttpSetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &policy, sizeof policy)) return false;
        return WinHttpSetCredentials(request, target, scheme, nullptr, nullptr, nullptr) != FALSE;
    }
    return false;
}

// The conditions as request header lines, empty when there are none.
std::wstring ConditionLines(const ConditionalHeaders& conditions)
{
    std::wstring lines;
    if (!conditions.if_none_match.empty()) lines += L"If-None-Match: " + Utf8ToWide(conditions.if_none_match) + L"\r\n";
    if (!conditions.if_modified_since.empty()) {
        lines += L"If-Modified-Since: " + Utf8ToWide(conditions.if_modified_since) + L"\r\n";
    }
    return lines;
}

// Sends the request, again with the user's logon while the proxy or server
// asks for one that can be given; the last answer's status in `status`.
int SendWithLogon(HINTERNET request, const std::wstring& headers, DWORD& status)
{
    LogonAnswers answered;
    for (;;) {
        if (!WinHttpSendRequest(request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !WinHttpReceiveResponse(request, nullptr)) {
            return LastError();
        }
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            return LastError();
        }
        if ((status != HTTP_STATUS_PROXY_AUTH_REQ && status != HTTP_STATUS_DENIED) ||
            !AnswerWithLogon(request, answered)) {
            return 0;
        }
    }
}

// The status and the headers a later request or wait needs; a header that
// cannot be read counts as not sent.
void RecordAnswer(HINTERNET request, DWORD status, DownloadAnswer& answer)
{
    answer = {static_cast<int>(std::min<DWORD>(status, 0xFFFF)), {}, {}, {}};
    const std::pair<DWORD, std::string*> headers[] = {
        {WINHTTP_QUERY_ETAG, &answer.etag},
        {WINHTTP_QUERY_LAST_MODIFIED, &answer.last_modified},
        {WINHTTP_QUERY_RETRY_AFTER, &answer.retry_after},
    };
    for (const auto& [info, value] : headers) {
        std::wstring text;
        if (QueryHeader(request, info, text) == 0) *value = WideToUtf8(text);
    }
}

// The request as the caller asks it: its conditions, and where the answer goes.
struct Exchange {
    std::wstring headers;
    DownloadAnswer& answer;
};

// One GET without following redirects. A redirect leaves its Location in
// `location`; a 304 is kDownloadNotModified; any other answer below 400 is
// stored in `target`.
int Fetch(HINTERNET session, const Url& url, BodyTarget& target, std::wstring& location,
          const DownloadTimeouts& timeouts, const TransferClock& clock, Exchange& exchange)
{
    const std::wstring object = RequestTarget(url);
    const std::wstring address = url.scheme + L"://" + url.authority + object;
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(address.c_str(), 0, 0, &parts)) return LastError();
    if (parts.dwHostNameLength == 0) return ERROR_WINHTTP_INVALID_URL;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const Internet connection(WinHttpConnect(session, host.c_str(), parts.nPort, 0));
    if (!connection) return LastError();
    const DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                        (parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
    const Internet request(WinHttpOpenRequest(connection.get(), L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!request) return LastError();
    if (const int error = CapWaits(request.get(), timeouts, clock.Left(0, std::nullopt))) return error;
    // Redirects are followed by hand, to bound their number and their schemes.
    DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects, sizeof no_redirects)) {
        return LastError();
    }
    DWORD status = 0;
    if (const int error = SendWithLogon(request.get(), exchange.headers, status)) return error;
    RecordAnswer(request.get(), status, exchange.answer);
    if (status >= 400) return kHttpStatusFailure | static_cast<int>(std::min<DWORD>(status, 0xFFFF));
    if (status == HTTP_STATUS_NOT_MODIFIED) return kDownloadNotModified;
    if (status >= 300) {  // as curl: any 3xx with a Location is followed, one without is the answer
        const int error = QueryHeader(request.get(), WINHTTP_QUERY_LOCATION, location);
        if (error == 0 && !location.empty()) return 0;
        if (error != 0 && error != ERROR_WINHTTP_HEADER_NOT_FOUND) return error;
    }
    // A body cut short may end like a whole one (Wine's WinHTTP does so), so
    // a promised length is checked here; a malformed one fails, as in curl.
    std::wstring length_text;
    const int length_error = QueryHeader(request.get(), WINHTTP_QUERY_CONTENT_LENGTH, length_text);
    if (length_error != 0 && length_error != ERROR_WINHTTP_HEADER_NOT_FOUND) return length_error;
    unsigned long long length = 0;
    if (length_error == 0) {
        if (length_text.empty() || length_text.size() > 18) return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
        for (const wchar_t c : length_text) {
            if (c < L'0' || c > L'9') return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
            length = length * 10 + static_cast<unsigned>(c - L'0');
        }
    }
    const auto announced = length_error == 0 ? std::optional<std::uint64_t>(length) : std::nullopt;
    std::vector<char> buffer(kChunk);
    unsigned long long received = 0;
    for (DWORD read = 0;; received += read) {
        if (const int error = CapWaits(request.get(), timeouts, clock.Left(received, announced))) return error;
        // Only what has arrived: a read of more may wait for all of it (Wine's
        // does), however long the deadline has left.
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available)) return LastError();
        if (available == 0) break;
        if (!WinHttpReadData(request.get(), buffer.data(), std::min(available, kChunk), &read)) return LastError();
        if (read == 0) break;
        if (const int error = target.Write(buffer.data(), read)) return error;
    }
    return length_error == 0 && received != length ? ERROR_WINHTTP_INVALID_SERVER_RESPONSE : 0;
}

// WinHTTP takes milliseconds as int; 0 means no limit, as -1 does there.
int Milliseconds(std::chrono::seconds value)
{
    return value.count() <= 0 ? -1 : static_cast<int>(std::min<long long>(value.count(), INT_MAX / 1000) * 1000);
}

int HttpDownload(Url url, BodyTarget& target, const DownloadTimeouts& timeouts, const TransferClock& clock,
                 Exchange& exchange)
{
    // The system's proxy settings, as a browser uses them (Windows 8.1 and later).
    const Internet session(WinHttpOpen(L"MerroUpdate", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return LastError();
    // The receive time-out bounds each wait for a byte, so it is the stall
    // limit; waiting for the response headers has its own option.
    const int connect = Milliseconds(timeouts.connect);
    int stall = Milliseconds(timeouts.stall);
    if (!WinHttpSetTimeouts(session.get(), connect, connect, stall, stall) ||
        !WinHttpSetOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &stall, sizeof stall)) {
        return LastError();
    }
    for (int redirects = 0;; ++redirects) {
        std::wstring location;
        if (const int error = Fetch(session.get(), url, target, location, timeouts, clock, exchange);
            error != 0 || location.empty()) {
            return error;
        }
        url = ResolveReference(url, location);
        if (redirects == kMaxRedirects || (url.scheme != L"http" && url.scheme != L"https")) {
            return ERROR_WINHTTP_REDIRECT_FAILED;
        }
    }
}

}  // namespace

int DownloadToFile(std::wstring_view url, std::wstring_view file, std::uint64_t max_bytes,
                   const DownloadTimeouts& timeouts, const ConditionalHeaders& conditions, DownloadAnswer* answer)
{
    try {
        DownloadAnswer unused;
        Exchange exchange{ConditionLines(conditions), answer ? *answer : unused};
        ReplacementFile replacement(file);
        if (replacement.error() != 0) return replacement.error();
        BodyTarget target{replacement, max_bytes};
        const TransferClock clock(timeouts.whole, max_bytes);
        // As curl does, a URL without a scheme is taken for http.
        const Url parsed =
            ResolveReference(Url{}, ParseUrl(url).has_scheme ? std::wstring(url) : L"http://" + std::wstring(url));
        int result = ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
        if (parsed.scheme == L"file") result = CopyFileUrl(url.substr(url.find(L':') + 1), target);
        else if (parsed.scheme == L"http" || parsed.scheme == L"https")
            result = HttpDownload(parsed, target, timeouts, clock, exchange);
        return result != 0 ? result : replacement.Commit();
    } catch (...) {  // only allocation can throw here
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace platform
