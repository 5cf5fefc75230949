#include "records/jet/WriterPages.h"

#include "records/jet/LongValue.h"
#include "records/jet/WriterLayout.h"
#include "records/jet/WriterText.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace zorvane::jet::writer {

using namespace format;

// ---------------------------------------------------------------------------
// Rows

std::size_t encodedSize(const RowImage& row) {
    std::size_t size = 2 + row.fixedArea.size() + (row.columnCount + 7) / 8;
    for (const Bytes& value : row.varValues)
        size += value.size();
    if (!row.varValues.empty())
        size += 2 + 2 * row.varValues.size() + 2;
    return size;
}

Bytes encodeRow(const RowImage& row) {
    Bytes out;
    const std::size_t varCount = row.varValues.size();
    out.reserve(encodedSize(row));

    append16(out, row.columnCount);
    out.insert(out.end(), row.fixedArea.begin(), row.fixedArea.end());
    std::vector<std::uint16_t> offsets;
    offsets.reserve(varCount);
    for (const Bytes& value : row.varValues) {
        offsets.push_back(static_cast<std::uint16_t>(out.size()));
        out.insert(out.end(), value.begin(), value.end());
    }
    if (varCount > 0) {
        append16(out, static_cast<std::uint16_t>(out.size()));  // end of the variable data
        for (std::size_t i = varCount; i > 0; --i)
            append16(out, offsets[i - 1]);
        append16(out, static_cast<std::uint16_t>(varCount));
    }
    const std::size_t maskStart = out.size();
    out.resize(maskStart + (row.columnCount + 7) / 8, 0);
    for (std::size_t c = 0; c < row.present.size() && c < row.columnCount; ++c)
        if (row.present[c])
            setBit(out.data() + maskStart, c, true);
    return out;
}

void RowBuild::setText(const Column& c, std::size_t column, const std::u16string& text) {
    Bytes& value = image.varValues[c.varIndex];
    value.clear();
    const bool compress = (c.miscFlags & ColumnMiscFlagCompressed) != 0;
    if (c.type == TypeMemo) {
        Bytes data;
        appendEncodedText(text, compress && text.size() <= LongValueCompressMaxChars, data);
        value = inlineLongValue(data);
        longs.push_back({column, c.varIndex, std::move(data)});
    } else {
        appendEncodedText(text, compress, value);
    }
    image.present[c.number] = true;
}

std::vector<bool> RowBuild::longValuesOut(std::size_t limit, std::size_t& size) const {
    size = encodedSize(image);
    std::vector<std::size_t> order(longs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    auto length = [&](std::size_t k) { return longs[k].data.size(); };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return length(x) > length(y); });
    std::vector<bool> out(longs.size(), false);
    for (std::size_t i = 0; i < order.size() && size > limit && length(order[i]) > 0; ++i) {
        out[order[i]] = true;
        size -= length(order[i]);
    }
    return out;
}

Bytes RowBuild::encode(const std::vector<bool>& out, const std::function<Bytes(const Long&)>& store) {
    for (std::size_t k = 0; k < longs.size(); ++k)
        if (out[k])
            image.varValues[longs[k].var] = store(longs[k]);
    return encodeRow(image);
}

// ---------------------------------------------------------------------------
// Index leaf pages

Bytes indexEntry(const Bytes& key, std::uint32_t page, std::uint8_t row) {
    Bytes out = key;
    // The row's page is written with its most significant byte first.
    for (const int shift : {16, 8, 0})
        out.push_back(static_cast<std::uint8_t>(page >> shift));
    out.push_back(row);
    return out;
}

void appendLongIndexKey(std::int32_t value, Bytes& key) {
    // Most significant byte first, sign bit flipped, so that bytes sort as numbers.
    const std::uint32_t v = static_cast<std::uint32_t>(value) ^ 0x80000000u;
    key.push_back(IndexKeyPresent);
    for (const int shift : {24, 16, 8, 0})
        key.push_back(static_cast<std::uint8_t>(v >> shift));
}

bool buildIndexLeaf(Page& page, std::uint32_t tablePage, std::vector<Bytes> entries) {
    std::sort(entries.begin(), entries.end());
    std::size_t total = 0;
    for (const Bytes& e : entries)
        total += e.size();
    if (IndexEntriesOffset + total > PageSize)
        return false;
    page.bytes.fill(0);
    page.bytes[0] = PageIndexLeaf;
    page.bytes[1] = 0x01;
    put32(page.bytes.data() + IndexParentOffset, tablePage);
    std::size_t pos = 0;
    for (const Bytes& e : entries) {
        std::memcpy(page.bytes.data() + IndexEntriesOffset + pos, e.data(), e.size());
        pos += e.size();
        setBit(page.bytes.data() + IndexEntryMaskOffset, pos, true);
    }
    put16(page.bytes.data() + DataFreeSpaceOffset,
          static_cast<std::uint16_t>(PageSize - IndexEntriesOffset - total));
    return true;
}

} // namespace zorvane::jet::writer
