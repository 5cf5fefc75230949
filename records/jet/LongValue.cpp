#include "records/jet/LongValue.h"

#include "records/jet/Format.h"
#include "records/jet/WriterLayout.h"

#include <algorithm>

namespace zorvane::jet {

using namespace format;

Bytes inlineLongValue(const Bytes& data) {
    Bytes out(LongValueHeaderSize, 0);
    put32(out.data(), static_cast<std::uint32_t>(data.size()) | LongValueInline);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes storeLongValue(const Bytes& data, std::uint32_t roomy, const std::function<std::uint32_t(bool)>& newPage,
                     const std::function<SlottedPage&(std::uint32_t)>& page) {
    Bytes ref(LongValueHeaderSize, 0);
    if (data.size() + 2 <= PageSize - datapage::HeaderSize) {
        const std::uint32_t target = roomy ? roomy : newPage(true);
        put32(ref.data(), static_cast<std::uint32_t>(data.size()) | LongValueSinglePage);
        put32(ref.data() + LongValuePointerOffset, makePointer(target, page(target).append(0, data)));
        return ref;
    }
    const std::size_t part = writer::LongValuePartMax;
    const std::size_t parts = (data.size() + part - 1) / part;
    std::vector<std::uint32_t> chain;
    for (std::size_t i = 0; i < parts; ++i)
        chain.push_back(newPage(false));
    for (std::size_t i = 0; i < parts; ++i) {
        Bytes row(4, 0);
        put32(row.data(), i + 1 < parts ? makePointer(chain[i + 1], 0) : 0);
        const auto begin = data.begin() + static_cast<std::ptrdiff_t>(i * part);
        row.insert(row.end(), begin, begin + static_cast<std::ptrdiff_t>(std::min(part, data.size() - i * part)));
        page(chain[i]).append(0, std::move(row));
    }
    put32(ref.data(), static_cast<std::uint32_t>(data.size()));
    put32(ref.data() + LongValuePointerOffset, makePointer(chain.front(), 0));
    return ref;
}

} // namespace zorvane::jet
