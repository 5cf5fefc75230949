#pragma once
// The bytes the page-level crash tests write: every byte follows from its page
// number and offset, so a test can tell each page's before and after apart.
#include "records/jet/Format.h"

#include <cstdint>

namespace zorvane::tests {

inline void fillPage(std::uint8_t* page, std::uint32_t number) {
    for (std::size_t i = 0; i < jet::format::PageSize; ++i)
        page[i] = static_cast<std::uint8_t>((number * 131u + i * 7u) ^ 0xA5u);
}

} // namespace zorvane::tests
