#pragma once
// Windows only: the two HSTRING owners of the WinRT calls. A ClassName
// refers to a literal without copying it; a UniqueHString owns a string the
// program made or the system handed out, and deletes it.
#include <windows.h>

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include <winstring.h>

namespace desktop {

class ClassName {
public:
    template <std::size_t N>
    explicit ClassName(const wchar_t (&name)[N])
    {
        if (FAILED(::WindowsCreateStringReference(name, N - 1, &header_, &string_))) string_ = nullptr;
    }
    ClassName(const ClassName&) = delete;
    ClassName& operator=(const ClassName&) = delete;
    HSTRING Get() const { return string_; }

private:
    HSTRING_HEADER header_;  // where the reference lives: the object must not move
    HSTRING string_ = nullptr;
};

class UniqueHString {
public:
    UniqueHString() = default;
    UniqueHString(const UniqueHString&) = delete;
    UniqueHString& operator=(const UniqueHString&) = delete;
    ~UniqueHString() { ::WindowsDeleteString(string_); }

    HRESULT Assign(std::wstring_view text)
    {
        if (text.size() > std::numeric_limits<UINT32>::max()) return E_INVALIDARG;
        return ::WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), Put());
    }
    // For an out parameter: the string held so far is deleted.
    HSTRING* Put()
    {
        ::WindowsDeleteString(std::exchange(string_, nullptr));
        return &string_;
    }
    HSTRING Get() const { return string_; }
    // The text; empty for the null (empty) string.
    std::wstring Text() const
    {
        UINT32 length = 0;
        const wchar_t* text = ::WindowsGetStringRawBuffer(string_, &length);
        return std::wstring(text, length);
    }

private:
    HSTRING string_ = nullptr;
};

}  // namespace desktop
