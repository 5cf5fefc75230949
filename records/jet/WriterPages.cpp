#include "records/jet/WriterPages.h"

#include "records/jet/WriterLayout.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace zorvane::jet::writer {

using namespace format;

namespace {

void appendName(Bytes& out, const std::u16string& name) {
    append16(out, static_cast<std::uint16_t>(name.size() * 2));
    for (const char16_t c : name)
        append16(out, static_cast<std::uint16_t>(c));
}

void setBit(std::uint8_t* map, std::size_t bit) {
    map[bit / 8] = static_cast<std::uint8_t>(map[bit / 8] | (1u << (bit % 8)));
}

} // namespace

// ---------------------------------------------------------------------------
// Rows

Bytes encodeRow(const RowImage& row) {
    Bytes out;
    const std::size_t varCount = row.varValues.size();
    std::size_t size = 2 + row.fixedArea.size() + (row.columnCount + 7) / 8;
    for (const Bytes& value : row.varValues)
        size += value.size();
    if (varCount > 0)
        size += 2 + 2 * varCount + 2;
    out.reserve(size);

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
    for (std::size_t c = 0; c < row.present.size() && c < row.columnCount; ++c) {
        if (row.present[c])
            setBit(out.data() + maskStart, c);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Table definitions

Bytes serializeTableDef(const TableDefImage& t) {
    Bytes out(TdefHeaderSize, 0);
    std::uint8_t* h = out.data();
    h[0] = PageTableDef;
    h[1] = 0x01;
    put32(h + 0x0C, TableMagic);
    put32(h + TdefRowCountOffset, t.rowCount);
    put32(h + TdefAutoNumberOffset, t.autoNumber);
    h[TdefAutoNumberFlagOffset] = 0x01;
    h[TdefTableTypeOffset] = t.tableType;
    std::uint16_t varColumns = 0;
    for (const ColumnDef& c : t.columns) {
        if (!(c.flags & ColumnFlagFixed))
            ++varColumns;
    }
    const auto columnCount = static_cast<std::uint16_t>(t.columns.size());
    put16(h + TdefMaxColumnsOffset, columnCount);
    put16(h + TdefVarColumnsOffset, varColumns);
    put16(h + TdefColumnCountOffset, columnCount);
    put32(h + TdefIndexCountOffset, static_cast<std::uint32_t>(t.logicalIndexes.size()));
    put32(h + TdefRealIndexCountOffset, static_cast<std::uint32_t>(t.realIndexes.size()));
    put32(h + TdefUsedPagesOffset, t.usedPages);
    put32(h + TdefFreePagesOffset, t.freePages);

    for (const RealIndexDef& r : t.realIndexes) {
        append32(out, 0);
        append32(out, r.rowCount);
        append32(out, 0);
    }
    for (const ColumnDef& c : t.columns) {
        out.push_back(c.type);
        append32(out, TableMagic);
        append16(out, c.number);
        append16(out, c.varIndex);
        append16(out, c.number2);
        append16(out, GeneralSortOrder);
        append16(out, 0);
        out.push_back(c.flags);
        out.push_back(c.miscFlags);
        append32(out, 0);
        append16(out, c.fixedOffset);
        append16(out, c.length);
    }
    for (const ColumnDef& c : t.columns)
        appendName(out, c.name);
    for (const RealIndexDef& r : t.realIndexes) {
        append32(out, IndexMagic);
        for (std::size_t i = 0; i < IndexColumnSlots; ++i) {
            if (i < r.columns.size()) {
                append16(out, r.columns[i]);
                out.push_back(IndexAscending);
            } else {
                append16(out, 0xFFFF);
                out.push_back(0);
            }
        }
        append32(out, r.usageMap);
        append32(out, r.rootPage);
        append32(out, 0);
        out.push_back(r.flags);
        out.insert(out.end(), 5, 0);
    }
    for (const LogicalIndexDef& l : t.logicalIndexes) {
        append32(out, TableMagic);
        append32(out, l.number);
        append32(out, l.realIndex);
        out.push_back(0);            // type of the related table
        append32(out, 0xFFFFFFFFu);  // related index: none
        append32(out, 0);            // related table page
        out.push_back(IndexCascadeNone);
        out.push_back(IndexCascadeNone);
        out.push_back(l.type);
        append32(out, 0);
    }
    for (const LogicalIndexDef& l : t.logicalIndexes)
        appendName(out, l.name);
    for (const LongValueMaps& m : t.longValueMaps) {
        append16(out, m.column);
        append32(out, m.used);
        append32(out, m.free);
    }
    append16(out, 0xFFFF);
    put32(out.data() + TdefLengthOffset, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::size_t tableDefPageCount(std::size_t length) {
    if (length <= PageSize)
        return 1;
    const std::size_t perPage = PageSize - TdefPageHeaderSize;
    return 1 + (length - PageSize + perPage - 1) / perPage;
}

void layoutTableDef(const Bytes& definition, const std::vector<std::uint32_t>& numbers,
                    std::vector<Page*> pages) {
    const std::size_t count = tableDefPageCount(definition.size());
    if (numbers.size() != count || pages.size() != count)
        throw std::logic_error("table definition page count mismatch");
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count; ++i) {
        Page& page = *pages[i];
        page.bytes.fill(0);
        std::size_t used = 0;
        if (i == 0) {
            const std::size_t n = std::min(definition.size(), PageSize);
            std::memcpy(page.bytes.data(), definition.data(), n);
            pos = n;
            used = n;
        } else {
            page.bytes[0] = PageTableDef;
            page.bytes[1] = 0x01;
            const std::size_t n = std::min(definition.size() - pos, PageSize - TdefPageHeaderSize);
            std::memcpy(page.bytes.data() + TdefPageHeaderSize, definition.data() + pos, n);
            pos += n;
            used = TdefPageHeaderSize + n;
        }
        // Access keeps the free space less the page header here.
        const std::size_t free = PageSize - used;
        put16(page.bytes.data() + TdefFreeSpaceOffset,
              static_cast<std::uint16_t>(free >= TdefPageHeaderSize ? free - TdefPageHeaderSize : 0));
        put32(page.bytes.data() + TdefNextPageOffset, i + 1 < count ? numbers[i + 1] : 0);
    }
}

// ---------------------------------------------------------------------------
// Index leaf pages

Bytes indexEntry(const Bytes& key, std::uint32_t page, std::uint8_t row) {
    Bytes out = key;
    // The row's page is written with its most significant byte first.
    out.push_back(static_cast<std::uint8_t>(page >> 16));
    out.push_back(static_cast<std::uint8_t>(page >> 8));
    out.push_back(static_cast<std::uint8_t>(page));
    out.push_back(row);
    return out;
}

void appendLongIndexKey(std::int32_t value, Bytes& key) {
    // Most significant byte first, sign bit flipped, so that bytes sort as numbers.
    const std::uint32_t v = static_cast<std::uint32_t>(value) ^ 0x80000000u;
    key.push_back(IndexKeyPresent);
    key.push_back(static_cast<std::uint8_t>(v >> 24));
    key.push_back(static_cast<std::uint8_t>(v >> 16));
    key.push_back(static_cast<std::uint8_t>(v >> 8));
    key.push_back(static_cast<std::uint8_t>(v));
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
        setBit(page.bytes.data() + IndexEntryMaskOffset, pos);
    }
    put16(page.bytes.data() + DataFreeSpaceOffset,
          static_cast<std::uint16_t>(PageSize - IndexEntriesOffset - total));
    return true;
}

} // namespace zorvane::jet::writer
