#pragma once
// Result codes with the values the Windows API gives them (negative means
// failure): the notification manager's platform calls and the codec library's
// interfaces share this one table.
#include <cstdint>

namespace platform {

using HResult = std::int32_t;

namespace hresult {
inline constexpr HResult kOk = 0;
inline constexpr HResult kFalse = 1;
inline constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001);
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);
inline constexpr HResult kPointer = static_cast<HResult>(0x80004003);
inline constexpr HResult kAbort = static_cast<HResult>(0x80004004);
inline constexpr HResult kFail = static_cast<HResult>(0x80004005);
inline constexpr HResult kInvalidFunction = static_cast<HResult>(0x80030001);  // STG_E_INVALIDFUNCTION
inline constexpr HResult kChangedMode = static_cast<HResult>(0x80010106);      // RPC_E_CHANGED_MODE
inline constexpr HResult kFileNotFound = static_cast<HResult>(0x80070002);
inline constexpr HResult kAccessDenied = static_cast<HResult>(0x80070005);
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);
inline constexpr HResult kInvalidArgument = static_cast<HResult>(0x80070057);
inline constexpr HResult kInsufficientBuffer = static_cast<HResult>(0x8007007A);
}  // namespace hresult

inline constexpr bool Failed(HResult result) { return result < 0; }
inline constexpr bool Succeeded(HResult result) { return result >= 0; }

}  // namespace platform
