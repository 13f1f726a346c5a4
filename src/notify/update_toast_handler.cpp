#include "notify/update_toast_handler.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

// UTF-8, flushed per line so a reader of a redirected output sees each event at once.
void WriteLine(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

void UpdateToastHandler::OnActivatedWithAction(int action_index)
{
    WriteLine("The user clicked on action #" + std::to_string(action_index));
}

void UpdateToastHandler::OnActivated() { WriteLine("The user clicked in this toast"); }

void UpdateToastHandler::OnDismissed(int reason)
{
    switch (reason) {
    case 0: WriteLine("The user dismissed this toast"); break;
    case 1: WriteLine("The application hid the toast using ToastNotifier.hide()"); break;
    case 2: WriteLine("The toast has timed out"); break;
    default: WriteLine("Toast not activated"); break;
    }
}

void UpdateToastHandler::OnFailed() { WriteLine("Error showing current toast"); }
