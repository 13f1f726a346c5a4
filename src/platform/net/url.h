#pragma once
// The parts of a URL that the download resolves redirects by and sends, and
// the local path a file: URL names on Windows. Pure text work, the same on
// every platform.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// An http(s) URL in the parts a redirect is resolved by (RFC 3986 5.2); the
// fragment is dropped, as it is never sent. `query` keeps its '?'.
struct Url {
    std::wstring scheme, authority, path, query;
    bool has_scheme = false, has_authority = false;
};

// The scheme is lower-cased; nothing is decoded.
Url ParseUrl(std::wstring_view text);

// Resolves a redirect's Location against the URL that answered (RFC 3986
// 5.2.2), removing "." and ".." segments as curl does.
Url ResolveReference(const Url& base, std::wstring_view reference);

// The path and query as the request line carries them: curl sends them as
// UTF-8, so every byte outside printable ASCII is percent-encoded and the
// result is pure ASCII; "/" when the path is empty.
std::wstring RequestTarget(const Url& url);

// Whether a file: URL (the text after "file:") names this machine: no host,
// "localhost", "127.0.0.1" or a drive ("//C:/x"). Opening a file on another
// host would log on to it with the user's credentials, so such a URL is
// never opened.
bool IsLocalFileUrl(std::wstring_view rest);

// The local path of a file: URL (the text after "file:"), read as curl does
// on Windows: an empty host, "localhost" or "127.0.0.1" is this machine;
// "/C:/x" (or "C|") is C:\x; %XX is decoded as UTF-8; query and fragment are
// dropped. Nothing for another host, for a path that would be a share or a
// device ("\\host\share", "\\?\..." however it is spelt), for a malformed
// host or a %00.
std::optional<std::wstring> WindowsPathOfFileUrl(std::wstring_view rest);

}  // namespace platform
