#include "platform/base/text.h"

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length and value of the UTF-8 sequence at text[at], or 0 when it is not a
// valid, shortest-form encoding of a scalar value.
std::size_t DecodeSequence(std::string_view text, std::size_t at, char32_t& code_point)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code_point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code_point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code_point = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if (!IsContinuation(byte)) return 0;
        code_point = (code_point << 6) | (byte & 0x3F);
    }
    const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
    if (code_point < minimum || code_point > 0x10FFFF || surrogate) return 0;
    return length;
}

void AppendWide(std::wstring& out, char32_t code_point)
{
    if constexpr (sizeof(wchar_t) >= 4) {
        out.push_back(static_cast<wchar_t>(code_point));
    } else if (code_point < 0x10000) {
        out.push_back(static_cast<wchar_t>(code_point));
    } else {
        code_point -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (code_point >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (code_point & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t code_point)
{
    if (code_point < 0x80) {
        out.push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else if (code_point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t code_point = 0;
        const std::size_t length = DecodeSequence(text, at, code_point);
        if (length == 0) {
            out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(text[at])));
            ++at;
        } else {
            AppendWide(out, code_point);
            at += length;
        }
    }
    return out;
}

std::string WideToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        auto code_point = static_cast<char32_t>(text[at]);
        if constexpr (sizeof(wchar_t) < 4) {
            const bool high = code_point >= 0xD800 && code_point <= 0xDBFF;
            if (high && at + 1 < text.size()) {
                const auto low = static_cast<char32_t>(text[at + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    code_point = 0x10000 + ((code_point - 0xD800) << 10) + (low - 0xDC00);
                    ++at;
                }
            }
        }
        const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
        if (surrogate || code_point > 0x10FFFF) code_point = kReplacement;
        AppendUtf8(out, code_point);
    }
    return out;
}

}  // namespace platform
