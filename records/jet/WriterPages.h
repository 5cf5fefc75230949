#pragma once
// Rows as the writers build them (the new-file builder and the table writer),
// and the index leaf pages of a new database. Each builder fills bytes in
// memory; the caller decides page numbers and writes the pages.

#include "records/jet/Catalog.h"
#include "records/jet/DataPage.h"
#include "records/jet/Format.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zorvane::jet::writer {

struct Page {
    std::array<std::uint8_t, format::PageSize> bytes{};
};

// ---------------------------------------------------------------------------
// Rows

// One row before encoding: the fixed-length area as the table lays it out,
// the variable values by var-table entry, and which columns hold a value.
struct RowImage {
    std::uint16_t columnCount = 0;
    Bytes fixedArea;
    std::vector<Bytes> varValues;        // one per variable column, by var index
    std::vector<bool> present;           // by column number
};

Bytes encodeRow(const RowImage& row);
// The length encodeRow gives the row.
std::size_t encodedSize(const RowImage& row);

// A row being built: its image, and the memo or OLE values now in it that
// may leave for long-value pages.
struct RowBuild {
    struct Long {
        std::size_t column = 0;  // index into the definition's columns
        std::size_t var = 0;     // var-table entry
        Bytes data;              // the value's bytes, now in the row
    };
    RowImage image;
    std::vector<Long> longs;

    // Sets text or memo column `c` (index `column`) to `text`, compressed
    // where the column allows it (a memo value up to LongValueCompressMaxChars).
    void setText(const Column& c, std::size_t column, const std::u16string& text);
    // Which long values leave the row (largest first) so that it takes at
    // most `limit` bytes; `size` gets the row's length then (above `limit`
    // when that cannot be).
    std::vector<bool> longValuesOut(std::size_t limit, std::size_t& size) const;
    // The row, each long value `out` marks replaced by the reference `store` gives.
    Bytes encode(const std::vector<bool>& out, const std::function<Bytes(const Long&)>& store);
};

// ---------------------------------------------------------------------------
// Index leaf pages

// An index entry: its key bytes followed by the row it leads to.
Bytes indexEntry(const Bytes& key, std::uint32_t page, std::uint8_t row);
// The key bytes of a 32-bit integer column value.
void appendLongIndexKey(std::int32_t value, Bytes& key);
// A leaf page holding `entries` (sorted here) for the table defined at
// `tablePage`. Returns false when they do not fit one page.
bool buildIndexLeaf(Page& page, std::uint32_t tablePage, std::vector<Bytes> entries);

} // namespace zorvane::jet::writer
