#pragma once
// Layout values of the parts of a file that a plain row reader can skip: what
// Access puts into the header's fixed words, the limits and sizes Access keeps
// on data pages, index pages, the magic numbers in table and index
// definitions and the catalog's own ids. The writers (the new-file builder,
// the table and index writers) build them; the reader's index and definition
// code (IndexPage, IndexKey, Catalog) reads them too. The offsets and types
// every layer shares live in Format.h. Each block's structure:
// docs/jet4-format.md, the section named in it.

#include "records/jet/Format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet::writer {

// Little-endian appends for the page builders.
inline void appendLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t v, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void append16(std::vector<std::uint8_t>& out, std::uint16_t v) { appendLittleEndian(out, v, 2); }
inline void append32(std::vector<std::uint8_t>& out, std::uint32_t v) { appendLittleEndian(out, v, 4); }
inline void append64(std::vector<std::uint8_t>& out, std::uint64_t v) { appendLittleEndian(out, v, 8); }

// Text as plain UCS-2; a name has its byte length before it.
inline void appendUcs2(std::vector<std::uint8_t>& out, const std::u16string& text) {
    for (const char16_t c : text)
        append16(out, static_cast<std::uint16_t>(c));
}
inline void appendName(std::vector<std::uint8_t>& out, const std::u16string& name) {
    append16(out, static_cast<std::uint16_t>(name.size() * 2));
    appendUcs2(out, name);
}

// ---------------------------------------------------------------------------
// Page 0 ("Header")

inline constexpr std::uint8_t HeaderLead[4] = {0x00, 0x01, 0x00, 0x00};
// Words at the start of the masked area, the same in every Access 2000 file.
inline constexpr std::uint32_t HeaderMaskedLead[6] = {0x100, 0x101, 2, 3, 4, 5};
inline constexpr std::uint16_t HeaderCodePage = 1252;
inline constexpr std::size_t HeaderPasswordLength = 40;
// "General" sort order: LCID 0x0409, sort version 0.
inline constexpr std::uint16_t GeneralSortOrder = 0x0409;
// After the masked area: the engine's stamp and version text.
inline constexpr std::size_t HeaderEngineStampOffset = 0x98;
inline constexpr std::uint32_t HeaderEngineStamp = 0x0654;
inline constexpr std::size_t HeaderEngineVersionOffset = 0x9C;
inline constexpr char HeaderEngineVersion[] = "4.0";
// The last 512 bytes hold 256 words of 0x0100.
inline constexpr std::size_t HeaderTailOffset = 0xE00;
inline constexpr std::uint16_t HeaderTailWord = 0x0100;

// ---------------------------------------------------------------------------
// Data pages and usage maps ("Data pages and rows", "Page map and usage maps")

// The largest row Access stores on a data page.
inline constexpr std::size_t MaxRowSize = 4060;
// Usage-map rows as Access writes them: type, 4 bytes, 64 bytes of map.
inline constexpr std::size_t UsageMapRowSize = 69;
// The database-wide map grows with the file, in steps of this many bytes.
inline constexpr std::size_t GlobalMapMinBytes = 64;
inline constexpr std::size_t GlobalMapStepBytes = 32;
// A page goes into a free-space map when it has at least this much room.
inline constexpr std::size_t RoomWorthListing = 64;
// Longest name of a table or field.
inline constexpr std::size_t MaxNameChars = 64;
// Owner word of the data page that holds the database-wide map.
inline constexpr std::uint32_t GlobalMapOwner = 1;

// The most of a long value one row of a chain holds: a page's room for one
// row, less the pointer to the next ("Long values").
inline constexpr std::size_t LongValuePartMax = format::PageSize - format::DataRowTableOffset - 2 - 4;
// Memo text is stored compressed only up to this many characters.
inline constexpr std::size_t LongValueCompressMaxChars = 1024;

// ---------------------------------------------------------------------------
// Table definitions ("Table definition")

inline constexpr std::uint32_t TableMagic = 1625;   // header word and per-column word
inline constexpr std::uint32_t IndexMagic = 1923;   // start of each real index
inline constexpr std::size_t TdefAutoNumberFlagOffset = 0x18;
inline constexpr std::size_t IndexColumnSlots = 10;
inline constexpr std::uint8_t IndexAscending = 0x01;
inline constexpr std::uint8_t IndexFlagAlways = 0x80;  // beside the IndexFlag* of Catalog.h
inline constexpr std::uint8_t IndexCascadeNone = 0x04;
inline constexpr std::uint16_t TextColumnBytesPerChar = 2;

// ---------------------------------------------------------------------------
// Index pages and keys ("Index pages", "Index keys")

inline constexpr std::size_t IndexParentOffset = 0x04;
inline constexpr std::size_t IndexPrevOffset = 0x0C;
inline constexpr std::size_t IndexNextOffset = 0x10;
inline constexpr std::size_t IndexTailOffset = 0x14;
inline constexpr std::size_t IndexPrefixOffset = 0x18;
inline constexpr std::size_t IndexEntryMaskOffset = 0x1B;
inline constexpr std::size_t IndexEntriesOffset = 0x1E0;
inline constexpr std::uint8_t IndexKeyPresent = 0x7F;      // ascending, not null
inline constexpr std::uint8_t IndexTextEnd = 0x01;
inline constexpr std::uint8_t IndexTextExtraEnd = 0x00;

// ---------------------------------------------------------------------------
// Catalog ("The catalog")

inline constexpr std::uint32_t IdRoot = 0x0F000000;
inline constexpr std::uint32_t IdTablesContainer = 0x0F000001;
inline constexpr std::uint32_t IdDatabasesContainer = 0x0F000002;
inline constexpr std::uint32_t IdRelationshipsContainer = 0x0F000003;
inline constexpr std::uint32_t IdDatabaseObject = 0x10000000;
inline constexpr std::uint32_t IdFirstAccessContainer = 0x80000000;
inline constexpr std::int16_t ObjectTypeDatabase = 2;
inline constexpr std::int16_t ObjectTypeContainer = 3;
inline constexpr std::uint32_t ObjectFlagsSystem = 0x80000000u;
// Property blob of MSysDb and friends.
inline constexpr char PropertyMagic[4] = {'M', 'R', '2', '\0'};
inline constexpr std::uint16_t PropertyChunkNames = 0x0080;
inline constexpr std::uint16_t PropertyChunkObject = 0x0000;
inline constexpr std::uint16_t PropertyChunkColumn = 0x0001;
inline constexpr char AccessVersion2000[] = "08.50";

} // namespace zorvane::jet::writer
