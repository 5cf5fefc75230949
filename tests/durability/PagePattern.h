#pragma once
// The bytes the page-level crash tests write: every byte follows from its page
// number and offset, so a test can tell each page's before and after apart.
#include "records/jet/Format.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace zorvane::tests {

inline void fillPage(std::uint8_t* page, std::uint32_t number) {
    for (std::size_t i = 0; i < jet::format::PageSize; ++i)
        page[i] = static_cast<std::uint8_t>((number * 131u + i * 7u) ^ 0xA5u);
}

// "3,5,9" -> {3, 5, 9}
inline std::vector<std::uint32_t> pageList(const std::string& text) {
    std::vector<std::uint32_t> pages;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos
                                                                               : comma - start);
        if (!item.empty())
            pages.push_back(static_cast<std::uint32_t>(std::strtoul(item.c_str(), nullptr, 10)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return pages;
}

} // namespace zorvane::tests
