#include "archive/extraction/callback.h"

#include "platform/base/text.h"

namespace archive {

HRESULT Callback::ProvidePassword(BSTR* password, HRESULT failure)
{
    std::wstring text = handler_.Password();
    if (text.empty()) {
        if (const PasswordHook hook = handler_.OnPassword()) text = hook();
    }
    if (text.empty()) {
        SetErrorMessage(L"Password is not defined");
        return failure;
    }
    *password = SysAllocString(text.c_str());
    return *password ? hresult::kOk : hresult::kOutOfMemory;
}

HRESULT Callback::Stop(const char* utf8_message) noexcept
{
    try {
        SetErrorMessage(platform::Utf8ToWide(utf8_message));
    } catch (...) {
        // Without memory for the text the operation still stops.
    }
    return hresult::kAbort;
}

}  // namespace archive
