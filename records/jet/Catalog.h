#pragma once
// The catalog layer: the database header page and table definitions (which
// may continue over several pages). Everything here is structure; row
// contents are the row layer's business. Layout: docs/jet4-format.md,
// "Header" and "Table definition".

#include "records/jet/DataPage.h"
#include "records/jet/PageFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet {

// Checks page 0: an Access 2000 (Jet 4) header whose pages are not encrypted.
// Throws Error naming what the file is instead (not a database, Access 97,
// Access 2007 or later, encrypted).
// A database whose header holds a password opens only when it is the one
// the file's options give (Options::password); otherwise it is a
// RefusedError saying that it is protected.
void checkHeader(PageFile& file);

// Masks (or unmasks) the 40 password bytes of a header with the mask made
// from the whole days of the creation date `created`.
void maskPassword(std::uint8_t* password, double created);

struct Column {
    std::string name;           // UTF-8
    std::uint8_t type = 0;      // format::ColumnType
    std::uint16_t number = 0;   // bit in the null mask, counts deleted columns too
    std::uint16_t varIndex = 0; // entry in the row's var table (variable columns)
    std::uint16_t number2 = 0;  // a second column number (Access: that of user columns)
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;
    std::uint8_t flags = 0;
    std::uint8_t miscFlags = 0; // format::ColumnMiscFlagCompressed: text may be compressed
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    // Text and memo: the sort order keys of an index over it are made in
    // (its locale id, and the order's version: 0x0409 / 0 is Access 2000's
    // "General" order; other types hold precision and scale there).
    std::uint16_t sortOrder = 0;
    std::uint8_t sortVersion = 0;
    bool fixed() const { return (flags & format::ColumnFlagFixed) != 0; }
};

// The usage maps of the long-value pages of one memo or OLE column.
struct LongValueMaps {
    std::uint16_t column = 0;  // column number
    std::uint32_t used = 0;    // row pointers
    std::uint32_t free = 0;
};

// An index's definitions: a real index is one tree of index pages; a
// logical index (the one Access shows, with its name) uses one real index,
// which several logical ones may share.
struct RealIndexDef {
    std::vector<std::uint16_t> columns;  // column numbers, in key order
    std::uint32_t usageMap = 0;          // row pointer
    std::uint32_t rootPage = 0;
    std::uint8_t flags = 0;              // IndexFlag* below
    // Two counters per index. In Access's files the second is the number of
    // distinct keys (nulls one key; exact in user tables, loose in system
    // ones), the first the number of entries or 0.
    std::uint32_t leadCount = 0;
    std::uint32_t rowCount = 0;
    std::vector<bool> descending{};      // per column (missing: ascending)
    bool isDescending(std::size_t i) const { return i < descending.size() && descending[i]; }
};

struct LogicalIndexDef {
    std::u16string name;
    std::uint32_t number = 0;
    std::uint32_t realIndex = 0;
    std::uint8_t type = 0;               // IndexKind* below
};

inline constexpr std::uint8_t IndexFlagUniqueKeys = 0x01;
inline constexpr std::uint8_t IndexFlagNullsIgnored = 0x02;
inline constexpr std::uint8_t IndexFlagNullsRefused = 0x08;
inline constexpr std::uint8_t IndexKindPlain = 0x00;
inline constexpr std::uint8_t IndexKindPrimary = 0x01;
inline constexpr std::uint8_t IndexKindForeign = 0x02;

// A table definition: the one codec of the structure, read by readTableDef
// and written by encode() and layout().
struct TableDef {
    std::string name;           // UTF-8, as the catalog spells it
    std::uint32_t page = 0;     // first definition page
    std::vector<std::uint32_t> pages;  // every page of the definition, in chain order
    std::uint16_t maxColumns = 0;
    std::uint16_t varColumns = 0;
    std::vector<Column> columns;  // in the table's column order
    std::uint32_t usedPages = 0;  // row pointer to the usage map
    std::uint32_t freePages = 0;  // row pointer to the map of pages with room
    std::uint32_t logicalIndexes = 0;
    std::uint32_t realIndexes = 0;
    std::vector<LongValueMaps> longValueMaps;  // where the definition keeps them
    std::uint32_t storedRows = 0; // the record count the definition keeps
    std::uint32_t autoNumber = 0; // the last number an AutoNumber field issued (written only)
    bool system = false;          // a system table (Access keeps its count loosely)
    // The indexes (read, or for encode() to write).
    std::vector<RealIndexDef> realIndexDefs;
    std::vector<LogicalIndexDef> logicalIndexDefs;

    bool hasVarColumns() const;
    const LongValueMaps* longValueMapsOf(std::uint16_t column) const;
    // Index into `columns` of the column numbered `number`, or -1.
    int columnOfNumber(std::uint16_t number) const;
    // The logical indexes' names of real index `real`, joined with " / ",
    // for error sentences ("index \"Code\"").
    std::string indexLabel(std::size_t real) const;
    // "table \"NAME\"" for error sentences.
    std::string label() const;

    // The definition as one stretch of bytes, page header included: the
    // columns (in number order), counts from them and from the index
    // definitions given here.
    Bytes encode() const;
    // How many pages an encoded definition of `length` bytes needs.
    static std::size_t pageCount(std::size_t length);
    // Writes `encoded` onto `pages` (pageCount of them), whose numbers are
    // `numbers`, chaining them.
    static void layout(const Bytes& encoded, const std::vector<std::uint32_t>& numbers,
                       const std::vector<std::uint8_t*>& pages);
};

// Reads the definition starting at `page`, every page of its chain (a loop
// is damage). `name` is the table's name, for error sentences. Throws Error
// for a page that is no definition or a definition that does not fit its
// pages, or whose index definitions name fields it lacks or run past it.
// A definition cut short before its long-value maps has none.
TableDef readTableDef(PageFile& file, std::uint32_t page, const std::string& name);

} // namespace zorvane::jet
