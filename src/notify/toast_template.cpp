#include "notify/toast_template.h"

#include <array>

namespace toast {

std::size_t TextLineCount(std::int32_t template_type)
{
    constexpr std::array<std::size_t, 8> kLines = {1, 2, 2, 3, 1, 2, 2, 3};
    if (template_type < 0 || static_cast<std::size_t>(template_type) >= kLines.size()) return 0;
    return kLines[static_cast<std::size_t>(template_type)];
}

}  // namespace toast
