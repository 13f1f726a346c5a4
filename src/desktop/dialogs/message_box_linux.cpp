#include "desktop/dialogs/message_box.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "desktop/message_loop.h"
#include "platform/base/text.h"
#include "platform/process/child_process.h"

namespace desktop {
namespace {

bool HasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

std::string FindOnPath(const char* program)
{
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string_view rest = path;
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        if (folder.empty()) continue;
        std::string candidate = folder + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// Waits for the box as a modal box of Windows does: the thread's loop, when
// it has one, goes on dispatching messages, ticks and D-Bus calls meanwhile.
// The quit message closes the box and stays for the outer loop. Returns the
// box's exit status, -1 when it did not end by itself.
int WaitForBox(const std::vector<std::string>& arguments)
{
    MessageLoop* loop = MessageLoop::Current();
    if (!loop) return platform::RunProgram(arguments);
    platform::StartedProgram box(arguments);
    if (!loop->RunNested(box.ExitDescriptor(), [&] { return box.ExitStatus().has_value(); })) box.End();
    return *box.ExitStatus();
}

// Shows a zenity box with the kind arguments given and returns its exit
// status: 0 for the OK button. Without a display or zenity, caption and text
// go to standard error instead and the result is -1.
int ShowBox(std::wstring_view text, std::wstring_view caption, std::vector<std::string> arguments)
{
    const std::string zenity = HasDisplay() ? FindOnPath("zenity") : std::string{};
    if (zenity.empty()) {
        std::fprintf(stderr, "%s: %s\n", platform::WideToUtf8(caption).c_str(), platform::WideToUtf8(text).c_str());
        std::fflush(stderr);
        return -1;
    }
    arguments.push_back("--no-markup");
    arguments.push_back("--title=" + platform::WideToUtf8(caption));
    arguments.push_back("--text=" + platform::WideToUtf8(text));
    arguments.insert(arguments.begin(), zenity);
    return WaitForBox(arguments);
}

}  // namespace

struct Dialog {
    bool ended = false;
    LResult result = 0;
};

MessageBoxResult ShowMessageBox(std::wstring_view text, std::wstring_view caption, MessageBoxButtons buttons,
                                MessageBoxIcon icon)
{
    std::vector<std::string> arguments;
    if (buttons == MessageBoxButtons::OkCancel) {
        arguments = {"--question", "--ok-label=确定", "--cancel-label=取消"};
    } else {
        arguments = {"--info", "--ok-label=确定"};
    }
    arguments.push_back(icon == MessageBoxIcon::Question ? "--icon-name=dialog-question"
                                                         : "--icon-name=dialog-information");
    return ShowBox(text, caption, std::move(arguments)) == 0 ? MessageBoxResult::Ok : MessageBoxResult::Cancel;
}

LResult ShowDialog(const DialogTemplate& dialog_template, WindowHandle, DialogProcedure procedure)
{
    Dialog dialog;
    procedure(&dialog, WmInitDialog, 0, 0);
    std::wstring text;
    for (const std::wstring& line : dialog_template.lines) {
        if (!text.empty()) text += L'\n';
        text += line;
    }
    const int status = ShowBox(
        text, dialog_template.caption,
        {"--info", "--icon-name=dialog-information", "--ok-label=" + platform::WideToUtf8(dialog_template.button)});
    procedure(&dialog, WmCommand, status == 0 ? IdOk : IdCancel, 0);
    return dialog.ended ? dialog.result : 0;
}

void EndDialog(DialogHandle dialog, LResult result)
{
    dialog->ended = true;
    dialog->result = result;
}

}  // namespace desktop
