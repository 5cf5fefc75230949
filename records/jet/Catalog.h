#pragma once
// The catalog layer: the database header page and table definitions (which
// may continue over several pages). Everything here is structure; row
// contents are the row layer's business.

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
// given with setGivenPassword; otherwise the Error says it is protected.
void checkHeader(PageFile& file);

// The database password given for this run (empty: none).
void setGivenPassword(const std::u16string& password);
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
    bool fixed() const;
};

// The usage maps of the long-value pages of one memo or OLE column.
struct LongValueMaps {
    std::uint16_t column = 0;  // column number
    std::uint32_t used = 0;    // row pointers
    std::uint32_t free = 0;
};

// An index's definitions, as the writer gives them.
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
    // The indexes encode() writes; a definition read keeps only their counts above.
    std::vector<RealIndexDef> realIndexDefs;
    std::vector<LogicalIndexDef> logicalIndexDefs;

    bool hasVarColumns() const;
    const LongValueMaps* longValueMapsOf(std::uint16_t column) const;
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
// pages. The long-value maps follow the index definitions: per memo or OLE
// column its number and two map pointers, closed by 0xFFFF; a definition cut
// short there simply has none.
TableDef readTableDef(PageFile& file, std::uint32_t page, const std::string& name);

} // namespace zorvane::jet
