#include "tools/VendorCode.h"

namespace zorvane::tools {

namespace {
bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char upper(char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 0x20) : c; }
} // namespace

std::optional<std::string> storedVendorCode(std::string_view text) {
    const bool colon = text.find(':') != std::string_view::npos;
    const bool dash = text.find('-') != std::string_view::npos;
    const bool dot = text.find('.') != std::string_view::npos;
    if (colon + dash + dot > 1)
        return std::nullopt;
    std::string digits;
    if (!colon && !dash && !dot) {
        digits = text;
    } else {
        const char sep = colon ? ':' : dash ? '-' : '.';
        const std::size_t width = dot ? 4 : 2;
        for (std::string_view rest = text;;) {
            const std::size_t end = rest.find(sep);
            const std::string_view group = rest.substr(0, end);
            const bool last = end == std::string_view::npos;
            if (group.empty() || group.size() > width || (dot && !last && group.size() != width))
                return std::nullopt;
            if (!dot && !last && group.size() == 1)
                digits += '0';
            digits += group;
            if (last)
                break;
            rest.remove_prefix(end + 1);
        }
    }
    if (digits.size() != 6 && digits.size() != 7 && digits.size() != 9)
        return std::nullopt;
    std::string stored;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (!isHex(digits[i]))
            return std::nullopt;
        if (i > 0 && i % 2 == 0)
            stored += '-';
        stored += upper(digits[i]);
    }
    return stored;
}

std::string codeDigits(std::string_view code) {
    std::string digits;
    for (const char c : code)
        if (c != '-')
            digits += upper(c);
    return digits;
}

} // namespace zorvane::tools
