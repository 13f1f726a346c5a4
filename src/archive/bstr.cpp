#include "archive/com.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace archive {

BSTR SysAllocStringLen(const wchar_t* text, std::uint32_t length)
{
    const std::size_t bytes = std::size_t{length} * sizeof(wchar_t);
    void* block = std::malloc(sizeof(std::uint32_t) + bytes + sizeof(wchar_t));
    if (!block) return nullptr;
    const auto byte_length = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &byte_length, sizeof byte_length);
    auto* string = reinterpret_cast<BSTR>(static_cast<char*>(block) + sizeof(std::uint32_t));
    if (text) {
        std::memcpy(string, text, bytes);
    } else {
        std::memset(string, 0, bytes);
    }
    string[length] = L'\0';
    return string;
}

BSTR SysAllocString(const wchar_t* text)
{
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<std::uint32_t>(std::wcslen(text)));
}

void SysFreeString(BSTR text)
{
    if (text) std::free(reinterpret_cast<char*>(text) - sizeof(std::uint32_t));
}

std::uint32_t SysStringLen(BSTR text)
{
    if (!text) return 0;
    std::uint32_t byte_length = 0;
    std::memcpy(&byte_length, reinterpret_cast<const char*>(text) - sizeof(std::uint32_t), sizeof byte_length);
    return byte_length / sizeof(wchar_t);
}

}  // namespace archive
