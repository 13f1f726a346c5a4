// MessageBoxW, and the About box as a dialog made from a template built in
// memory (DialogBoxIndirectParamW): the caption, one static text per line and
// one default push button with IDOK.
#include "desktop/dialogs/message_box.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <string_view>
#include <vector>

#include "desktop/message_loop_win.h"

namespace desktop {

// What the portable dialog procedure holds: the system's dialog, and what
// was given to EndDialog.
struct Dialog {
    HWND hwnd = nullptr;
    DialogProcedure procedure = nullptr;
    bool ended = false;
    LResult result = 0;
    std::exception_ptr failure;  // thrown by the procedure, thrown again by ShowDialog
};

namespace {

// Dialog units of the layout.
constexpr int Margin = 7;
constexpr int LineHeight = 10;
constexpr int ButtonWidth = 50;
constexpr int ButtonHeight = 14;
constexpr int MinimumTextWidth = 120;
constexpr int MaximumTextWidth = 400;
constexpr WORD FontPointSize = 9;
constexpr WORD StaticClass = 0x0082;
constexpr WORD ButtonClass = 0x0080;

// East Asian characters are about twice as wide as the average letter (a
// letter is about 4 dialog units); the estimate errs on the wide side, and a
// line that is still too long wraps.
bool IsWide(wchar_t unit)
{
    return (unit >= 0x1100 && unit <= 0x115F) || (unit >= 0x2E80 && unit <= 0xA4CF) ||
           (unit >= 0xAC00 && unit <= 0xD7A3) || (unit >= 0xD800 && unit <= 0xDFFF) ||
           (unit >= 0xF900 && unit <= 0xFAFF) || (unit >= 0xFE30 && unit <= 0xFE4F) ||
           (unit >= 0xFF00 && unit <= 0xFF60) || (unit >= 0xFFE0 && unit <= 0xFFE6);
}

int EstimatedWidth(std::wstring_view line)
{
    int width = 0;
    for (const wchar_t unit : line) width += IsWide(unit) ? 9 : 5;
    return width;
}

// The template in memory: WORDs, with every item on a DWORD boundary.
class TemplateWriter {
public:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Short(int value) { Word(static_cast<WORD>(static_cast<short>(value))); }
    void String(std::wstring_view text)
    {
        for (const wchar_t unit : text) Word(static_cast<WORD>(unit));
        Word(0);
    }
    void AlignToDword()
    {
        if (words_.size() % 2 != 0) Word(0);
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

    // DLGITEMTEMPLATE, a predefined class by its atom, the text, no data.
    void Item(DWORD style, int x, int y, int cx, int cy, WORD id, WORD class_atom, std::wstring_view text)
    {
        AlignToDword();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Short(x);
        Short(y);
        Short(cx);
        Short(cy);
        Word(id);
        Word(0xFFFF);
        Word(class_atom);
        String(text);
        Word(0);
    }

private:
    std::vector<WORD> words_;  // new[] aligns it for the DWORDs
};

TemplateWriter BuildTemplate(const DialogTemplate& dialog_template)
{
    int text_width = MinimumTextWidth;
    for (const std::wstring& line : dialog_template.lines) text_width = std::max(text_width, EstimatedWidth(line));
    text_width = std::min(text_width, MaximumTextWidth);
    const int line_count = static_cast<int>(dialog_template.lines.size());
    const int width = text_width + 2 * Margin;
    const int button_top = Margin + line_count * LineHeight + (line_count > 0 ? Margin : 0);
    const int height = button_top + ButtonHeight + Margin;

    TemplateWriter writer;
    // DLGTEMPLATE, then no menu, the standard class, the caption, the font.
    writer.Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    writer.Dword(0);
    writer.Word(static_cast<WORD>(line_count + 1));
    writer.Short(0);
    writer.Short(0);
    writer.Short(width);
    writer.Short(height);
    writer.Word(0);
    writer.Word(0);
    writer.String(dialog_template.caption);
    writer.Word(FontPointSize);
    writer.String(L"MS Shell Dlg");

    for (int index = 0; index < line_count; ++index) {
        writer.Item(SS_LEFT | SS_NOPREFIX, Margin, Margin + index * LineHeight, text_width, LineHeight,
                    static_cast<WORD>(-1), StaticClass, dialog_template.lines[static_cast<std::size_t>(index)]);
    }
    writer.Item(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, (width - ButtonWidth) / 2, button_top, ButtonWidth,
                ButtonHeight, IdOk, ButtonClass, dialog_template.button);
    return writer;
}

// Calls the portable procedure; what it throws waits in the dialog, which
// then ends, until ShowDialog has left the system's dialog loop.
LResult CallProcedure(Dialog& dialog, Message message, WParam wparam, LParam lparam) noexcept
{
    try {
        return dialog.procedure(&dialog, message, wparam, lparam);
    } catch (...) {
        if (!dialog.failure) dialog.failure = std::current_exception();
        ::EndDialog(dialog.hwnd, 0);
        return 0;
    }
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lparam);
        dialog->hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
        // Its answer is the system's: true puts the focus on the button.
        return CallProcedure(*dialog, WmInitDialog, 0, 0) != 0 ? TRUE : FALSE;
    }
    auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    if (message == WM_COMMAND) {
        // The button gives IDOK; Esc and the close box give IDCANCEL.
        const WORD command = LOWORD(wparam);
        if (command == IdOk || command == IdCancel) {
            CallProcedure(*dialog, WmCommand, command, 0);
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace

MessageBoxResult ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxButtons buttons,
                                MessageBoxIcon icon)
{
    const std::wstring text_string(text);
    const std::wstring caption_string(caption);
    UINT type = buttons == MessageBoxButtons::OkCancel ? MB_OKCANCEL : MB_OK;
    type |= icon == MessageBoxIcon::Question ? MB_ICONQUESTION : MB_ICONINFORMATION;
    const int answer = ::MessageBoxW(nullptr, text_string.c_str(), caption_string.c_str(), type);
    return answer == IDOK ? MessageBoxResult::Ok : MessageBoxResult::Cancel;
}

LResult ShowDialog(const DialogTemplate& dialog_template, WindowHandle owner, DialogProcedure procedure)
{
    const TemplateWriter writer = BuildTemplate(dialog_template);
    Dialog dialog;
    dialog.procedure = procedure;
    ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), writer.Get(), NativeWindow(owner), &DialogProc,
                              reinterpret_cast<LPARAM>(&dialog));
    if (dialog.failure) std::rethrow_exception(dialog.failure);
    return dialog.ended ? dialog.result : 0;
}

void EndDialog(DialogHandle dialog, LResult result)
{
    dialog->ended = true;
    dialog->result = result;
    if (dialog->hwnd != nullptr) ::EndDialog(dialog->hwnd, result);
}

}  // namespace desktop
