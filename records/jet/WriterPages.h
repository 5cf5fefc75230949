#pragma once
// Page images for a new database: rows, table definitions and index leaf
// pages. Each builder fills bytes in memory;
// the caller decides page numbers and writes the file.

#include "records/jet/Catalog.h"
#include "records/jet/DataPage.h"
#include "records/jet/Format.h"

#include <array>
#include <cstdint>
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
