#include "app/main_window_proc.h"

desktop::LResult AboutDlgProc(desktop::DialogHandle dialog, desktop::Message message, desktop::WParam wparam,
                              desktop::LParam)
{
    if (message == desktop::WmInitDialog) return true;
    if (message == desktop::WmCommand) {
        const std::uint16_t command = desktop::LowWord(wparam);
        if (command == desktop::IdOk || command == desktop::IdCancel) {
            desktop::EndDialog(dialog, command);
            return true;
        }
    }
    return false;
}
