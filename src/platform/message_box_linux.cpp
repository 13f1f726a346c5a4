#include "platform/message_box.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

    pid_t child = 0;
    if (posix_spawn(&child, zenity.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

MessageBoxResult ShowMessageBox(std::wstring_view text, std::wstring_view caption,
                                MessageBoxButtons buttons, MessageBoxIcon icon)
{
    const std::string zenity = HasDisplay() ? FindOnPath("zenity") : std::string{};
    if (zenity.empty()) {
        std::fprintf(stderr, "%s: %s\n", WideToUtf8(caption).c_str(), WideToUtf8(text).c_str());
        std::fflush(stderr);
        return MessageBoxResult::Cancel;
    }

    std::vector<std::string> arguments;
    if (buttons == MessageBoxButtons::OkCancel) {
        arguments = {"--question", "--ok-label=确定", "--cancel-label=取消"};
    } else {
        arguments = {"--info", "--ok-label=确定"};
    }
    arguments.push_back(icon == MessageBoxIcon::Question ? "--icon-name=dialog-question"
                                                         : "--icon-name=dialog-information");
    arguments.push_back("--no-markup");
    arguments.push_back("--title=" + WideToUtf8(caption));
    arguments.push_back("--text=" + WideToUtf8(text));
    return RunZenity(zenity, std::move(arguments)) == 0 ? MessageBoxResult::Ok : MessageBoxResult::Cancel;
}

}  // namespace platform
