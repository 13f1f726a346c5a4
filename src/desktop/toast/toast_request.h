#pragma once
// What a finished notification document asks the freedesktop notification
// service for. UTF-8 text throughout.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace desktop {

struct ToastRequest {
    std::string summary;  // the first text line
    std::string body;     // the other non-empty lines, then the attribution, one per line
    std::string image_path;
    std::string sound_file;
    bool suppress_sound = false;
    bool urgent = false;  // alarm, reminder and incoming-call scenarios: critical and resident
    // Key and label pairs: "default" first, then each action's arguments and content.
    std::vector<std::pair<std::string, std::string>> actions;
};

// Empty when the text is not a notification document.
std::optional<ToastRequest> ReadToastRequest(std::string_view xml);

}  // namespace desktop
