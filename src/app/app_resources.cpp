#include "app/app_resources.h"

#include "app/app_icon.h"

AppInstance AppInstanceHandle = nullptr;  // NOLINT(readability-identifier-naming)

AppInstance LoadAppResources()
{
    static const AppResources resources{
        L"MerroUpdate",
        {L"关于 MerroUpdate", {L"MerroUpdate, 版本 1.0", L"Pelvane 扩展的安装与更新"}, L"确定"},
        {DrawAppIcon(128), DrawAppIcon(256)},
    };
    return &resources;
}
