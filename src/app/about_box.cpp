#include "app/main_window_proc.h"

platform::LResult AboutDlgProc(platform::DialogHandle dialog, platform::Message message, platform::WParam wparam,
                               platform::LParam)
{
    if (message == platform::WmInitDialog) return true;
    if (message == platform::WmCommand) {
        const std::uint16_t command = platform::LowWord(wparam);
        if (command == platform::IdOk || command == platform::IdCancel) {
            platform::EndDialog(dialog, command);
            return true;
        }
    }
    return false;
}
