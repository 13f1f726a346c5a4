#pragma once
// The Start-menu shortcut that carries the program's notification identity.
// On Linux it is a desktop entry whose key X-AppUserModel-ID holds the
// identifier; on Windows a .lnk whose System.AppUserModel.ID property does.
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/hresult.h"

namespace desktop {

// What a new shortcut holds.
struct ShortcutLink {
    std::wstring name;  // the application name
    std::wstring target;
    std::wstring arguments;
    std::wstring working_directory;
    std::wstring app_user_model_id;
};

// ".desktop" on Linux, ".lnk" on Windows.
std::wstring ShortcutExtension();

// Linux: $XDG_DATA_HOME/applications/ ($HOME/.local/share/applications/ when
// it is unset); empty when neither is set. Windows: the user's Start-menu
// Programs folder, with a trailing separator.
std::wstring ShortcutFolder();

bool ShortcutExists(const std::wstring& path);

// `id` is empty when the file has no identifier (on Linux also when the
// entry is still shown in menus, as older versions wrote it).
platform::HResult ReadShortcutId(const std::wstring& path, std::optional<std::wstring>& id);

// Rewrites only the identifier, keeping the rest of the file (on Linux it
// also hides the entry from menus).
platform::HResult WriteShortcutId(const std::wstring& path, const std::wstring& id);

// Writes a new shortcut (creating its folder), replacing an existing file.
platform::HResult CreateShortcut(const std::wstring& path, const ShortcutLink& link);

// The login launcher that the installed program has beside it, which the
// Start-menu shortcut starts so that the program runs in the user's working
// folder (a notification server may start a hidden desktop entry when its
// notification is clicked): "merroupdate-session.exe" on Windows,
// "merroupdate-session" on Linux.
std::wstring_view LauncherFileName();

}  // namespace desktop
