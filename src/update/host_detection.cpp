#include "update/host_detection.h"

#include "platform/process/process_list.h"

bool IsProcessRunning(const std::wstring& name)
{
    bool found = false;
    const bool listed = platform::VisitProcessNames([&](std::wstring_view executable_name) {
        found = executable_name.find(name) != std::wstring_view::npos;
        return found;
    });
    return listed && found;
}
