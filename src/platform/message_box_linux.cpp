#include "platform/message_box.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"

extern char** environ;

namespace platform {
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

// Runs zenity without a shell and waits; -1 when it could not run.
int RunZenity(const std::string& zenity, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "zenity");
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    // The message loop blocks the termination signals on our thread; the box
    // must still close on them.
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return -1;
    sigset_t no_signals;
    sigemptyset(&no_signals);
    pid_t child = 0;
    int spawned = posix_spawnattr_setsigmask(&attributes, &no_signals);
    if (spawned == 0) spawned = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    if (spawned == 0) spawned = posix_spawn(&child, zenity.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Shows a zenity box with the kind arguments given and returns its exit
// status: 0 for the OK button. Without a display or zenity, caption and text
// go to standard error instead and the result is -1.
int ShowBox(std::wstring_view text, std::wstring_view caption, std::vector<std::string> arguments)
{
    const std::string zenity = HasDisplay() ? FindOnPath("zenity") : std::string{};
    if (zenity.empty()) {
        std::fprintf(stderr, "%s: %s\n", WideToUtf8(caption).c_str(), WideToUtf8(text).c_str());
        std::fflush(stderr);
        return -1;
    }
    arguments.push_back("--no-markup");
    arguments.push_back("--title=" + WideToUtf8(caption));
    arguments.push_back("--text=" + WideToUtf8(text));
    return RunZenity(zenity, std::move(arguments));
}

}  // namespace

struct Dialog {
    bool ended = false;
    LResult result = 0;
};

MessageBoxResult ShowMessageBox(std::wstring_view text, std::wstring_view caption,
                                MessageBoxButtons buttons, MessageBoxIcon icon)
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
    const int status = ShowBox(text, dialog_template.caption,
                               {"--info", "--icon-name=dialog-information",
                                "--ok-label=" + WideToUtf8(dialog_template.button)});
    procedure(&dialog, WmCommand, status == 0 ? IdOk : IdCancel, 0);
    return dialog.ended ? dialog.result : 0;
}

void EndDialog(DialogHandle dialog, LResult result)
{
    dialog->ended = true;
    dialog->result = result;
}

}  // namespace platform
