#pragma once
// Page images for a new database: data pages and their rows, usage maps,
// table definitions and index leaf pages. Each builder fills bytes in memory;
// the caller decides page numbers and writes the file.

#include "records/jet/Format.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet::writer {

using Bytes = std::vector<std::uint8_t>;

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

// A data page filled from its end: rows are appended in slot order.
class DataPageBuilder {
public:
    // `owner`: the table definition page (or the long-value owner word).
    explicit DataPageBuilder(Page& page, std::uint32_t owner);
    std::size_t freeSpace() const;
    std::uint16_t rowCount() const { return rows_; }
    bool fits(std::size_t rowLength) const;
    // Adds a row; returns its row number. The row must fit.
    std::uint8_t add(const std::uint8_t* data, std::size_t length);
    std::uint8_t add(const Bytes& row) { return add(row.data(), row.size()); }

private:
    Page& page_;
    std::uint16_t rows_ = 0;
    std::size_t dataStart_ = format::PageSize;
};

// ---------------------------------------------------------------------------
// Usage maps

// An inline map row (`mapBytes` bytes of bitmap) marking `pages`, which must
// all lie within the map's reach from `firstPage`.
Bytes inlineUsageMap(std::uint32_t firstPage, const std::vector<std::uint32_t>& pages,
                     std::size_t mapBytes);
// Whether `pages` fit one inline map of `mapBytes` bytes from `firstPage`.
bool fitsInlineUsageMap(std::uint32_t firstPage, const std::vector<std::uint32_t>& pages,
                        std::size_t mapBytes);
// A reference map row naming `mapPages` (slot i covers pages from
// i * UsageMapPagePages); zero for slots without a page.
Bytes referenceUsageMap(const std::vector<std::uint32_t>& mapPages);
// Fills a usage-map page for slot `slot`, marking the `pages` in its reach.
void fillUsageMapPage(Page& page, std::size_t slot, const std::vector<std::uint32_t>& pages);

// ---------------------------------------------------------------------------
// Table definitions

struct ColumnDef {
    std::u16string name;
    std::uint8_t type = 0;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0;
    std::uint16_t number2 = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;
    std::uint8_t flags = 0;
    std::uint8_t miscFlags = 0;
};

struct RealIndexDef {
    std::vector<std::uint16_t> columns;  // column numbers, ascending order each
    std::uint32_t usageMap = 0;          // row pointer
    std::uint32_t rootPage = 0;
    std::uint8_t flags = 0;
    std::uint32_t rowCount = 0;
};

struct LogicalIndexDef {
    std::u16string name;
    std::uint32_t number = 0;
    std::uint32_t realIndex = 0;
    std::uint8_t type = 0;
};

// The usage maps of the long-value pages of one memo or OLE column.
struct LongValueMaps {
    std::uint16_t column = 0;
    std::uint32_t usedPages = 0;  // row pointer
    std::uint32_t freePages = 0;  // row pointer
};

struct TableDefImage {
    std::uint8_t tableType = format::TableTypeUser;
    std::uint32_t rowCount = 0;
    std::uint32_t autoNumber = 0;    // the last number an AutoNumber field issued
    std::uint32_t usedPages = 0;  // row pointer
    std::uint32_t freePages = 0;  // row pointer
    std::vector<ColumnDef> columns;  // in column-number order
    std::vector<RealIndexDef> realIndexes;
    std::vector<LogicalIndexDef> logicalIndexes;
    std::vector<LongValueMaps> longValueMaps;
};

// The definition laid out as one stretch of bytes, page header included.
Bytes serializeTableDef(const TableDefImage& table);
// How many pages the serialized definition of `length` bytes needs.
std::size_t tableDefPageCount(std::size_t length);
// Writes the serialized definition onto `pages` (tableDefPageCount of them),
// whose numbers are `numbers`, chaining them.
void layoutTableDef(const Bytes& definition, const std::vector<std::uint32_t>& numbers,
                    std::vector<Page*> pages);

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
