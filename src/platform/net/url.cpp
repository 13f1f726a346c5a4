#include "platform/net/url.h"

#include <algorithm>
#include <string>

#include "platform/base/text.h"

namespace platform {
namespace {

std::wstring AsciiLower(std::wstring_view text)
{
    std::wstring lower(text);
    for (wchar_t& c : lower) c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    return lower;
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

bool HasDrivePrefix(std::wstring_view text)
{
    return text.size() >= 2 && IsAsciiLetter(text[0]) && (text[1] == L':' || text[1] == L'|') &&
           (text.size() == 2 || text[2] == L'/' || text[2] == L'\\');
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool IsLocalFileUrl(std::wstring_view rest)
{
    rest = rest.substr(0, rest.find_first_of(L"?#"));
    if (!rest.starts_with(L"//") || HasDrivePrefix(rest.substr(2))) return true;
    const std::wstring_view authority = rest.substr(2);
    const std::wstring_view host = authority.substr(0, authority.find(L'/'));
    return host.empty() || AsciiLower(host) == L"localhost" || host == L"127.0.0.1";
}

std::optional<std::wstring> WindowsPathOfFileUrl(std::wstring_view rest)
{
    rest = rest.substr(0, rest.find_first_of(L"?#"));
    if (!IsLocalFileUrl(rest)) return std::nullopt;
    if (rest.starts_with(L"//") && HasDrivePrefix(rest.substr(2))) {
        rest.remove_prefix(2);
    } else if (rest.starts_with(L"//")) {
        const size_t slash = rest.find(L'/', 2);
        if (slash == rest.npos) return std::nullopt;
        rest.remove_prefix(slash);
    }
    const std::string encoded = WideToUtf8(rest);
    std::string bytes;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const int high = i + 2 < encoded.size() && encoded[i] == '%' ? HexValue(encoded[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(encoded[i + 2]) : -1;
        if (low >= 0) {
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            bytes += encoded[i];
        }
    }
    if (bytes.find('\0') != bytes.npos) return std::nullopt;
    std::wstring path = Utf8ToWide(bytes);
    if (path.starts_with(L'/') && HasDrivePrefix(std::wstring_view(path).substr(1))) path.erase(0, 1);
    if (HasDrivePrefix(path)) path[1] = L':';
    std::replace(path.begin(), path.end(), L'/', L'\\');
    // Two separators would make it a share or a device path, which reaches
    // other hosts just as a host in the URL would.
    if (path.starts_with(L"\\\\")) return std::nullopt;
    return path;
}

Url ParseUrl(std::wstring_view text)
{
    Url url;
    text = text.substr(0, text.find(L'#'));
    // A scheme is a letter, then letters, digits, '+', '-' or '.', then ':'.
    const size_t colon = text.find_first_not_of(L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
    if (colon != text.npos && colon > 0 && text[colon] == L':' && IsAsciiLetter(text[0])) {
        url.scheme = AsciiLower(text.substr(0, colon));
        url.has_scheme = true;
        text.remove_prefix(colon + 1);
    }
    if (text.starts_with(L"//")) {
        const size_t end = std::min(text.find_first_of(L"/?", 2), text.size());
        url.authority = text.substr(2, end - 2);
        url.has_authority = true;
        text.remove_prefix(end);
    }
    const size_t question = std::min(text.find(L'?'), text.size());
    url.path = text.substr(0, question);
    url.query = text.substr(question);
    return url;
}

namespace {

// Removes "." and ".." segments as RFC 3986 5.2.4 (and curl) do.
std::wstring RemoveDots(std::wstring_view in)
{
    std::wstring out;
    while (!in.empty()) {
        if (in.starts_with(L"../")) in.remove_prefix(3);
        else if (in.starts_with(L"./") || in.starts_with(L"/./")) in.remove_prefix(2);
        else if (in == L"/.") in = L"/";
        else if (in.starts_with(L"/../") || in == L"/..") {
            in = in.size() == 3 ? std::wstring_view(L"/") : in.substr(3);
            out.erase(std::min(out.rfind(L'/'), out.size()));
        } else if (in == L"." || in == L"..") in = {};
        else {
            const size_t next = std::min(in.find(L'/', 1), in.size());
            out += in.substr(0, next);
            in.remove_prefix(next);
        }
    }
    return out;
}

}  // namespace

Url ResolveReference(const Url& base, std::wstring_view reference)
{
    Url target = ParseUrl(reference);
    if (!target.has_scheme) {
        target.scheme = base.scheme;
        if (!target.has_authority) {
            target.authority = base.authority;
            if (target.path.empty()) {
                target.path = base.path;
                if (target.query.empty()) target.query = base.query;
            } else if (target.path[0] != L'/') {
                target.path = base.path.substr(0, base.path.rfind(L'/') + 1) + target.path;
                if (target.path[0] != L'/') target.path.insert(0, 1, L'/');
            }
        }
    }
    target.path = RemoveDots(target.path);
    return target;
}

std::wstring RequestTarget(const Url& url)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (const char c : WideToUtf8(url.path + url.query)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F) out += static_cast<wchar_t>(byte);
        else out += {L'%', static_cast<wchar_t>(kHex[byte >> 4]), static_cast<wchar_t>(kHex[byte & 15])};
    }
    return out.empty() || out[0] != L'/' ? L"/" + out : out;
}

}  // namespace platform
