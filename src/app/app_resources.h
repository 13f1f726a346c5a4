#pragma once
// The program's resource set: what the Windows build keeps in its resource
// script, reached through the module instance handle.
#include <string>
#include <vector>

#include "desktop/dialogs/message_box.h"
#include "desktop/tray/tray_icon.h"

struct AppResources {
    std::wstring title;                    // string 103
    desktop::DialogTemplate about_dialog;  // dialog 103, AboutDialog
    std::vector<desktop::IconImage> icon;  // icon group 144, AppIcon
};

using AppInstance = const AppResources*;

// Made once, on first use, and kept for the life of the process.
AppInstance LoadAppResources();

// The module instance, set by start-up before the main window is created.
extern AppInstance AppInstanceHandle;  // NOLINT(readability-identifier-naming): the system's own name
