#pragma once
// Explicit UTF-8 <-> wide conversion. Never depends on the C or C++ locale.
#include <string>
#include <string_view>

namespace platform {

// Decodes UTF-8. Bytes that do not form valid UTF-8 are widened one by one
// (byte value = code unit), so nothing of the input is lost.
std::wstring Utf8ToWide(std::string_view text);

// Encodes as UTF-8. A code unit that is not a valid code point (a lone
// surrogate, a value above U+10FFFF) becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);

}  // namespace platform
