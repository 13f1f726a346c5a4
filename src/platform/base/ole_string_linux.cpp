#include "platform/base/ole_string.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

// The codec library's own allocator on Linux: malloc, with the length before
// the text. These stay inside this namespace so that the library never binds
// to them instead of its own.
namespace platform {

wchar_t* SysAllocStringLen(const wchar_t* text, std::uint32_t length)
{
    const std::size_t bytes = std::size_t{length} * sizeof(wchar_t);
    void* block = std::malloc(sizeof(std::uint32_t) + bytes + sizeof(wchar_t));
    if (!block) return nullptr;
    const auto byte_length = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &byte_length, sizeof byte_length);
    auto* string = reinterpret_cast<wchar_t*>(static_cast<char*>(block) + sizeof(std::uint32_t));
    if (text) {
        std::memcpy(string, text, bytes);
    } else {
        std::memset(string, 0, bytes);
    }
    string[length] = L'\0';
    return string;
}

wchar_t* SysAllocString(const wchar_t* text)
{
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<std::uint32_t>(std::wcslen(text)));
}

void SysFreeString(wchar_t* text)
{
    if (text) std::free(reinterpret_cast<char*>(text) - sizeof(std::uint32_t));
}

std::uint32_t SysStringLen(const wchar_t* text)
{
    if (!text) return 0;
    std::uint32_t byte_length = 0;
    std::memcpy(&byte_length, reinterpret_cast<const char*>(text) - sizeof(std::uint32_t), sizeof byte_length);
    return byte_length / sizeof(wchar_t);
}

}  // namespace platform
