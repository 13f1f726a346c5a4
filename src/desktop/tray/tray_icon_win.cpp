// The tray icon is Shell_NotifyIconW on the hidden window. What a tray host
// does for the program on Linux is done here, in the hidden window's message
// hook, before the portable procedure sees the message: the right-click menu
// (its choice arrives as WM_COMMAND with the item's command) and adding the
// icon again when Explorer starts anew ("TaskbarCreated") and, while the
// shell refuses it (Explorer not ready at log-on answers ERROR_TIMEOUT),
// every kTrayRetryMilliseconds until it takes it.
#include "desktop/tray/tray_icon.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "desktop/message_loop_win.h"
#include "desktop/tray/tray_icon_win.h"

namespace desktop {
namespace {

struct IconDeleter {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

// An icon as added, kept to add it again and for its menu.
struct PublishedIcon {
    HWND hwnd = nullptr;
    UINT id = 0;
    UINT callback_message = 0;
    std::wstring tip;
    std::vector<TrayMenuItem> menu;
    UniqueIcon icon;
    bool shown = false;  // the shell took it
};

using IconKey = std::pair<WindowHandle, std::uint32_t>;

std::map<IconKey, PublishedIcon>& PublishedIcons()
{
    static std::map<IconKey, PublishedIcon> icons;
    return icons;
}

BOOL CallShell(DWORD message, NOTIFYICONDATAW* data) { return ::Shell_NotifyIconW(message, data); }

ShellNotifyIconCall& ShellNotifyIcon()
{
    static ShellNotifyIconCall call = &CallShell;
    return call;
}

UINT TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

// A 32-bit icon with its alpha channel: the colour bitmap is a top-down DIB
// section holding the pixels as they are (0xAARRGGBB in memory is B, G, R,
// A), the mask marks the fully transparent pixels for those who ignore alpha.
UniqueIcon MakeIcon(const IconImage& image)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueBitmap colour(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || bits == nullptr) return nullptr;
    std::memcpy(bits, image.argb.data(), image.argb.size() * sizeof(std::uint32_t));
    ::GdiFlush();

    // Monochrome rows are padded to 16 bits; a set bit is transparent.
    const auto width = static_cast<std::size_t>(image.width);
    const std::size_t stride = (width + 15) / 16 * 2;
    std::vector<std::uint8_t> mask_bits(stride * static_cast<std::size_t>(image.height), 0);
    for (std::size_t row = 0; row < static_cast<std::size_t>(image.height); ++row) {
        for (std::size_t column = 0; column < width; ++column) {
            if ((image.argb[row * width + column] >> 24) == 0) {
                mask_bits[row * stride + column / 8] |= static_cast<std::uint8_t>(0x80u >> (column % 8));
            }
        }
    }
    const UniqueBitmap mask(::CreateBitmap(image.width, image.height, 1, 1, mask_bits.data()));
    if (!mask) return nullptr;

    ICONINFO icon_info{};
    icon_info.fIcon = TRUE;
    icon_info.hbmMask = mask.get();
    icon_info.hbmColor = colour.get();
    return UniqueIcon(::CreateIconIndirect(&icon_info));
}

NOTIFYICONDATAW NotifyData(const PublishedIcon& icon)
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = icon.hwnd;
    data.uID = icon.id;
    data.uFlags = NIF_MESSAGE | NIF_TIP | (icon.icon ? NIF_ICON : 0);
    data.uCallbackMessage = icon.callback_message;
    data.hIcon = icon.icon.get();
    // Cut to the field, never between the two halves of a surrogate pair.
    std::size_t length = std::min(icon.tip.size(), std::size(data.szTip) - 1);
    if (length > 0 && length < icon.tip.size() && IS_HIGH_SURROGATE(icon.tip[length - 1])) --length;
    std::wmemcpy(data.szTip, icon.tip.data(), length);
    data.szTip[length] = L'\0';
    return data;
}

// Adds the icon. An add that fails may still have reached the shell (one
// that timed out often did; after a change of the display's scale,
// "TaskbarCreated" comes while the icon is still there), so the icon is
// then refreshed, which succeeds only if the shell has it.
bool Publish(PublishedIcon& icon)
{
    NOTIFYICONDATAW data = NotifyData(icon);
    icon.shown = ShellNotifyIcon()(NIM_ADD, &data) != FALSE || ShellNotifyIcon()(NIM_MODIFY, &data) != FALSE;
    return icon.shown;
}

// Runs the retry timer of the window while one of its icons is not shown.
void ScheduleRetry(HWND hwnd)
{
    const auto& icons = PublishedIcons();
    const bool waiting = std::any_of(icons.begin(), icons.end(), [hwnd](const auto& entry) {
        return entry.second.hwnd == hwnd && !entry.second.shown;
    });
    if (waiting) ::SetTimer(hwnd, kTrayRetryTimer, kTrayRetryMilliseconds, nullptr);
    else ::KillTimer(hwnd, kTrayRetryTimer);
}

// The menu at the cursor. Without TPM_RETURNCMD the choice is posted to the
// window as WM_COMMAND with the item's command, as a Linux host posts it.
void ShowMenu(HWND hwnd, const std::vector<TrayMenuItem>& items)
{
    if (items.empty()) return;
    const HMENU menu = ::CreatePopupMenu();
    if (menu == nullptr) return;
    for (const TrayMenuItem& item : items) ::AppendMenuW(menu, MF_STRING, item.command, item.text.c_str());
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // The menu closes when the user clicks elsewhere only if its window is
    // in the foreground; the null message after it lets a second right-click
    // open it again (both as Shell_NotifyIcon's documentation asks).
    ::SetForegroundWindow(hwnd);
    const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    ::TrackPopupMenu(menu, align | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hwnd, nullptr);
    ::PostMessageW(hwnd, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
}

// The hidden window's hook: sees every message before the procedure does.
bool OnWindowMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result)
{
    auto& icons = PublishedIcons();
    const bool taskbar_created = message == TaskbarCreatedMessage() && message != 0;
    const bool retry = message == WM_TIMER && wparam == kTrayRetryTimer;
    if (taskbar_created || retry) {
        // Explorer started anew and has forgotten every icon, or has not
        // taken one yet.
        for (auto& [key, icon] : icons) {
            if (icon.hwnd == hwnd && (taskbar_created || !icon.shown)) Publish(icon);
        }
        ScheduleRetry(hwnd);
        result = 0;
        return retry;
    }
    for (const auto& [key, icon] : icons) {
        if (icon.hwnd != hwnd || icon.callback_message != message || icon.id != wparam) continue;
        // The shell's old-style notification: the mouse message in lParam.
        switch (LOWORD(lparam)) {
        case WM_LBUTTONUP:
        case WM_MBUTTONUP: return false;  // for the procedure, as the header says
        case WM_RBUTTONUP: {
            // The menu runs a message loop of its own, in which the icon may
            // be deleted: it works on a copy.
            const std::vector<TrayMenuItem> menu = icon.menu;
            ShowMenu(hwnd, menu);
            return false;  // the procedure gets the right click as well
        }
        default:
            result = 0;  // moves, presses, double clicks: not for the program
            return true;
        }
    }
    return false;
}

}  // namespace

bool AddTrayIcon(const TrayIconRecord& record)
{
    const HWND hwnd = NativeWindow(record.window);
    if (hwnd == nullptr) return false;
    auto& icons = PublishedIcons();
    const IconKey key{record.window, record.id};
    const auto existing = icons.find(key);
    if (existing != icons.end() && existing->second.shown) return false;
    AddNativeMessageHook(&OnWindowMessage);
    // Explorer may run with a higher integrity level than ours; its
    // broadcast must still get through.
    if (TaskbarCreatedMessage() != 0) {
        ::ChangeWindowMessageFilterEx(hwnd, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
    }

    PublishedIcon icon;
    icon.hwnd = hwnd;
    icon.id = record.id;
    icon.callback_message = record.callback_message;
    icon.tip = record.tip;
    icon.menu = record.menu;
    int size = ::GetSystemMetrics(SM_CXSMICON);
    if (size <= 0) size = 16;
    if (const IconImage* image = NearestImage(record.icon, size)) icon.icon = MakeIcon(ScaledDown(*image, size));

    // Kept even when the shell refuses it (no taskbar yet at log-on): the
    // retry timer or the "TaskbarCreated" broadcast adds it once there is one.
    PublishedIcon& kept = icons.insert_or_assign(key, std::move(icon)).first->second;
    const bool shown = Publish(kept);
    ScheduleRetry(hwnd);
    return shown;
}

bool DeleteTrayIcon(const TrayIconRecord& record)
{
    auto& icons = PublishedIcons();
    const auto found = icons.find({record.window, record.id});
    if (found == icons.end()) return false;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = found->second.hwnd;
    data.uID = found->second.id;
    const bool deleted = ShellNotifyIcon()(NIM_DELETE, &data) != FALSE;
    const HWND hwnd = found->second.hwnd;
    icons.erase(found);  // and with it the icon's handle
    ScheduleRetry(hwnd);
    return deleted;
}

ShellNotifyIconCall ReplaceShellNotifyIcon(ShellNotifyIconCall call)
{
    return std::exchange(ShellNotifyIcon(), call != nullptr ? call : &CallShell);
}

}  // namespace desktop
