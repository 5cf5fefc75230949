#pragma once
// Long values (memo, OLE), the write side: a 12-byte reference in the row,
// the value itself after it (inline), in one row of a long-value page, or in
// a chain of rows, one page each, every row a 4-byte pointer to the next
// (0: the last) and its part. (The reader's side is Row.h's readLongValue.)

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

// Which of a row's long values (the lengths of those kept in the row now; 0
// for none) leave it, largest first, so that the row of `size` bytes takes
// at most `limit`. `size` becomes the row's length then (above `limit` when
// that cannot be).
std::vector<bool> longValuesOut(const std::vector<std::size_t>& lengths, std::size_t limit, std::size_t& size);

} // namespace zorvane::jet
