#pragma once
// What one notification says: the content record the manager writes into
// the platform's notification document.
#include <cstdint>
#include <string>
#include <vector>

namespace toast {

enum class AudioMode : std::int32_t { Default = 0, Silent = 1, Loop = 2 };

// Any value other than System and Short counts as Long.
enum class DisplayDuration : std::int32_t { System = 0, Short = 1, Long = 2 };

// Number of text lines of the platform's ToastTemplateType: ToastImageAndText01
// to 04 (types 0 to 3, with an image), then ToastText01 to 04 (types 4 to 7).
std::size_t TextLineCount(std::int32_t template_type);

// Types 0 to 3 carry an image.
inline bool HasImage(std::int32_t template_type) { return template_type < 4; }

struct ToastTemplate {
    explicit ToastTemplate(std::int32_t type) : lines(TextLineCount(type)), templateType(type) {}

    std::vector<std::wstring> lines;
    // NOLINTBEGIN(readability-identifier-naming): the system's own names.
    std::vector<std::wstring> actionLabels;
    std::wstring imageFile;
    std::wstring soundFile;
    std::wstring attribution;
    std::wstring scenarioName = L"Default";
    std::int64_t expiresAfterMs = 0;
    AudioMode soundMode = AudioMode::Default;
    std::int32_t templateType;
    DisplayDuration displayDuration = DisplayDuration::System;
    // NOLINTEND(readability-identifier-naming)
};

}  // namespace toast
