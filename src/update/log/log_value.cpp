#include "update/log/log_value.h"

#include <fmt/format.h>

std::string LogValue(std::string_view value)
{
    std::string text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        const auto next = i + 1 < value.size() ? static_cast<unsigned char>(value[i + 1]) : 0;
        if (byte == '\r') text += "\\r";
        else if (byte == '\n') text += "\\n";
        else if (byte == '\t') text += "\\t";
        else if (byte < 0x20 || byte == 0x7F) text += fmt::format("\\x{:02x}", byte);
        else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            text += fmt::format("\\u{:04x}", next);
            ++i;
        } else {
            text += value[i];
        }
    }
    return text;
}
