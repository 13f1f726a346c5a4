#include "app/host_warning.h"

#include "desktop/dialogs/message_box.h"

void ShowHostRunningWarning()
{
    desktop::ShowMessageBox(L"发现Adobe Illustrator在运行，请关闭AI完成安装", L"温馨提示",
                            desktop::MessageBoxButtons::OkCancel, desktop::MessageBoxIcon::Question);
}
