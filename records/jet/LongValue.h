#pragma once
// Long values (memo, OLE), the write side (docs/jet4-format.md, "Long
// values"). The reader's side is Row.h's readLongValue.

#include "records/jet/DataPage.h"

#include <cstdint>
#include <functional>

namespace zorvane::jet {

// The reference of a value kept in the row, followed by the value.
Bytes inlineLongValue(const Bytes& data);

// Stores `data` on long-value pages and returns its reference: in one row of
// page `roomy` (0: none has room) or a new page when it fits one page,
// otherwise in a chain over new pages. `newPage(single)` adds an empty
// long-value page; `page(n)` gives a page's rows to append to.
Bytes storeLongValue(const Bytes& data, std::uint32_t roomy, const std::function<std::uint32_t(bool single)>& newPage,
                     const std::function<SlottedPage&(std::uint32_t)>& page);

} // namespace zorvane::jet
