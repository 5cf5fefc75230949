#pragma once
// Layout of an Access 2000 (Jet 4) database file as constants: page size,
// page types, the offsets inside each kind of page, column types (and what
// the engine knows of each, TypeTable) and the little-endian helpers every
// layer reads and writes with, so that reader and writer share one
// definition. Each block's section of docs/jet4-format.md says what the
// structure is, what Access does and what we do, and which test checks it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace zorvane::jet::format {

// ---------------------------------------------------------------------------
// Pages

inline constexpr std::size_t PageSize = 4096;

enum PageType : std::uint8_t {
    PageHeader = 0x00,     // page 0, the database header
    PageData = 0x01,       // table rows, and long values (memo/OLE)
    PageTableDef = 0x02,   // table definition; may continue on further pages
    PageIndexNode = 0x03,
    PageIndexLeaf = 0x04,
    PageUsageMap = 0x05,   // one page of a reference usage map
};

// Page 0. Layout: docs/jet4-format.md, "Header".
inline constexpr std::size_t HeaderMagicOffset = 0x04;
inline constexpr char HeaderMagicJet[] = "Standard Jet DB";
inline constexpr char HeaderMagicAce[] = "Standard ACE DB";
inline constexpr std::size_t HeaderMagicLength = 16;         // includes the trailing NUL
inline constexpr std::size_t HeaderVersionOffset = 0x14;
inline constexpr std::uint32_t VersionJet3 = 0;
inline constexpr std::uint32_t VersionJet4 = 1;              // Access 2000 / 2002 / 2003
// 0x02 and above: ACE (Access 2007 and later).

// The masked stretch; offsets inside it are offsets into the page.
inline constexpr std::size_t HeaderMaskOffset = 0x18;
inline constexpr std::size_t HeaderMaskLength = 128;
inline constexpr std::uint8_t HeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr std::size_t HeaderCodePageOffset = 0x3C;
inline constexpr std::size_t HeaderDatabaseKeyOffset = 0x3E;
inline constexpr std::size_t HeaderPasswordOffset = 0x42;
inline constexpr std::size_t HeaderSortOrderOffset = 0x6E;
inline constexpr std::size_t HeaderCreationDateOffset = 0x72;

// Page 1 holds the database's page map, page 2 the catalog's definition.
inline constexpr std::uint32_t GlobalUsageMapPage = 1;
inline constexpr std::uint32_t CatalogTableDefPage = 2;

// ---------------------------------------------------------------------------
// Data pages. Layout: docs/jet4-format.md, "Data pages and rows".

inline constexpr std::size_t DataFreeSpaceOffset = 0x02;
inline constexpr std::size_t DataOwnerOffset = 0x04;
inline constexpr std::size_t DataRowCountOffset = 0x0C;
inline constexpr std::size_t DataRowTableOffset = 0x0E;
inline constexpr char LongValueOwner[4] = {'L', 'V', 'A', 'L'};

// Flags in the high bits of a row-table entry (moved, the moved data, deleted).
inline constexpr std::uint16_t RowDeletedFlag = 0x8000;
inline constexpr std::uint16_t RowOverflowFlag = 0x4000;
inline constexpr std::uint16_t RowDeletedRow = RowDeletedFlag | RowOverflowFlag;
inline constexpr std::uint16_t RowOffsetMask = 0x1FFF;

// ---------------------------------------------------------------------------
// Table definitions. Layout: docs/jet4-format.md, "Table definition".

inline constexpr std::size_t TdefFreeSpaceOffset = 0x02;
inline constexpr std::size_t TdefNextPageOffset = 0x04;
inline constexpr std::size_t TdefPageHeaderSize = 0x08;
inline constexpr std::size_t TdefLengthOffset = 0x08;
inline constexpr std::size_t TdefRowCountOffset = 0x10;
inline constexpr std::size_t TdefAutoNumberOffset = 0x14;
inline constexpr std::size_t TdefTableTypeOffset = 0x28;
inline constexpr std::size_t TdefMaxColumnsOffset = 0x29;
inline constexpr std::size_t TdefVarColumnsOffset = 0x2B;
inline constexpr std::size_t TdefColumnCountOffset = 0x2D;
inline constexpr std::size_t TdefIndexCountOffset = 0x2F;
inline constexpr std::size_t TdefRealIndexCountOffset = 0x33;
inline constexpr std::size_t TdefUsedPagesOffset = 0x37;
inline constexpr std::size_t TdefFreePagesOffset = 0x3B;
inline constexpr std::size_t TdefBlockEnd = 0x3F;
inline constexpr std::size_t TdefRealIndexEntrySize = 12;
inline constexpr std::size_t RealIndexDefinitionSize = 52;
inline constexpr std::size_t LogicalIndexDefinitionSize = 28;

inline constexpr std::uint8_t TableTypeUser = 0x4E;
inline constexpr std::uint8_t TableTypeSystem = 0x53;

// One column descriptor.
inline constexpr std::size_t ColumnDescriptorSize = 25;
inline constexpr std::size_t ColType = 0;
inline constexpr std::size_t ColNumber = 5;
inline constexpr std::size_t ColVarIndex = 7;
inline constexpr std::size_t ColNumber2 = 9;
inline constexpr std::size_t ColMisc = 11;
inline constexpr std::size_t ColMiscExt = 13;
inline constexpr std::size_t ColFlags = 15;
inline constexpr std::size_t ColMiscFlags = 16;
inline constexpr std::size_t ColFixedOffset = 21;
inline constexpr std::size_t ColLength = 23;

inline constexpr std::uint8_t ColumnFlagFixed = 0x01;
inline constexpr std::uint8_t ColumnFlagNullable = 0x02;
inline constexpr std::uint8_t ColumnFlagAutoLong = 0x04;
inline constexpr std::uint8_t ColumnFlagReplication = 0x10;
inline constexpr std::uint8_t ColumnFlagAutoGuid = 0x40;
inline constexpr std::uint8_t ColumnFlagHyperlink = 0x80;
inline constexpr std::uint8_t ColumnMiscFlagCompressed = 0x01;  // text may be stored compressed

enum ColumnType : std::uint8_t {
    TypeBoolean = 0x01,   // value lives in the null mask
    TypeByte = 0x02,
    TypeInteger = 0x03,   // 16-bit
    TypeLong = 0x04,      // 32-bit
    TypeCurrency = 0x05,  // 64-bit, scaled by 10000
    TypeSingle = 0x06,
    TypeDouble = 0x07,
    TypeDateTime = 0x08,  // double: days since 1899-12-30
    TypeBinary = 0x09,
    TypeText = 0x0A,      // UCS-2, or the compressed form
    TypeOle = 0x0B,       // long binary
    TypeMemo = 0x0C,      // long text
    TypeGuid = 0x0F,      // Replication ID, 16 bytes
    TypeNumeric = 0x10,   // 17 bytes: sign, 16 bytes magnitude
};

// How an index key holds a value of a type (docs/jet4-format.md, "Index keys").
enum class KeyForm : std::uint8_t {
    None,      // no key is made (a writer refuses an index over it)
    Unsigned,  // most significant byte first
    Signed,    // most significant byte first, sign bit flipped
    Floating,  // most significant byte first; positive: sign bit set, negative: inverted
    Boolean,   // 0x00 Yes, 0xFF No
    Binary,    // the bytes, zeros up to 8, then their count
    Text,      // the General sort order's codes
};

// How a value reads as text and is parsed from it (ValueText.h,
// WriterText.h); the bytes it takes come from its row's size.
enum class ValueForm : std::uint8_t {
    Bytes,     // upper-case hex, two digits a byte
    Boolean,   // "True" or "False", held in the null mask
    Text,      // characters, UCS-2 or the compressed form
    Unsigned,  // a whole number, little-endian
    Signed,    // a whole number, little-endian two's complement
    Currency,  // a signed whole number of ten-thousandths
    Floating,  // IEEE 754: single when 4 bytes, double when 8
    Date,      // a double: days since 1899-12-30, the fraction the time of day
    Guid,      // 16 bytes, the first three groups little-endian
    Decimal,   // a sign byte, then a 128-bit magnitude; the column's scale
};

// What the engine knows of each column type, one row a type: the bytes a
// value takes in a row's fixed area (0: variable, or for Yes/No the null
// mask), how it reads as text, how its index key is made, whether the table
// writer writes it (TableWriter::checkValue), whether a new database holds it
// (CreateDatabase.h), and whether a new database's index may cover it.
struct TypeFacts {
    std::uint8_t type = 0;
    std::uint8_t fixedSize = 0;
    ValueForm form = ValueForm::Bytes;
    KeyForm key = KeyForm::None;
    bool updated = false;
    bool created = false;
    bool createdIndex = false;
};
inline constexpr TypeFacts TypeTable[] = {
    // type          size form                  key                updated created createdIndex
    {TypeBoolean,    0,  ValueForm::Boolean,  KeyForm::Boolean,  false,  true,   true},
    {TypeByte,       1,  ValueForm::Unsigned, KeyForm::Unsigned, true,   true,   true},
    {TypeInteger,    2,  ValueForm::Signed,   KeyForm::Signed,   true,   true,   false},
    {TypeLong,       4,  ValueForm::Signed,   KeyForm::Signed,   true,   true,   true},
    {TypeCurrency,   8,  ValueForm::Currency, KeyForm::Signed,   true,   true,   false},
    {TypeSingle,     4,  ValueForm::Floating, KeyForm::Floating, true,   true,   false},
    {TypeDouble,     8,  ValueForm::Floating, KeyForm::Floating, true,   true,   false},
    {TypeDateTime,   8,  ValueForm::Date,     KeyForm::Floating, true,   true,   false},
    {TypeBinary,     0,  ValueForm::Bytes,    KeyForm::Binary,   false,  false,  false},
    {TypeText,       0,  ValueForm::Text,     KeyForm::Text,     true,   true,   true},
    {TypeOle,        0,  ValueForm::Bytes,    KeyForm::None,     false,  false,  false},
    {TypeMemo,       0,  ValueForm::Text,     KeyForm::Text,     true,   true,   false},
    {TypeGuid,       16, ValueForm::Guid,     KeyForm::None,     false,  false,  false},
    {TypeNumeric,    17, ValueForm::Decimal,  KeyForm::None,     false,  false,  false},
};

// The row of `type`; a type the table lacks has the facts of none (size 0,
// no key, not written).
inline constexpr TypeFacts factsOf(std::uint8_t type) {
    for (const TypeFacts& facts : TypeTable)
        if (facts.type == type)
            return facts;
    return {.type = type};
}

// Bytes a value of a fixed-size type takes in a row's fixed area; 0 for the
// other types (a Boolean lives in the null mask).
inline constexpr std::size_t fixedSizeOf(std::uint8_t type) { return factsOf(type).fixedSize; }

// ---------------------------------------------------------------------------
// Rows and compressed text. Layout: docs/jet4-format.md, "Data pages and rows".
inline constexpr std::size_t RowColumnCountSize = 2;
inline constexpr std::uint8_t CompressedTextMarker[2] = {0xFF, 0xFE};

// ---------------------------------------------------------------------------
// Long values. Layout: docs/jet4-format.md, "Long values".
inline constexpr std::size_t LongValueHeaderSize = 12;
inline constexpr std::uint32_t LongValueInline = 0x80000000u;
inline constexpr std::uint32_t LongValueSinglePage = 0x40000000u;
inline constexpr std::uint32_t LongValueLengthMask = 0x3FFFFFFFu;
inline constexpr std::size_t LongValuePointerOffset = 4;

// ---------------------------------------------------------------------------
// Usage maps. Layout: docs/jet4-format.md, "Page map and usage maps".
inline constexpr std::uint8_t UsageMapInline = 0x00;
inline constexpr std::uint8_t UsageMapReference = 0x01;
inline constexpr std::size_t UsageMapInlineStart = 1;
inline constexpr std::size_t UsageMapInlineBitmap = 5;
inline constexpr std::size_t UsageMapPageBitmap = 4;
inline constexpr std::size_t UsageMapPagePages = (PageSize - UsageMapPageBitmap) * 8;

// ---------------------------------------------------------------------------
// Catalog entries (docs/jet4-format.md, "The catalog").
inline constexpr std::int16_t ObjectTypeTable = 1;
inline constexpr std::uint32_t ObjectFlagsSystemMask = 0x80000002u;

// ---------------------------------------------------------------------------
// Little-endian helpers over raw bytes (callers check bounds first).

inline std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t le64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(le32(p)) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}
inline void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put64(std::uint8_t* p, std::uint64_t v) {
    put32(p, static_cast<std::uint32_t>(v));
    put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
// Bit `bit` of a bitmap (usage maps, null masks, index entry masks), bit 0
// the lowest of the first byte.
inline void setBit(std::uint8_t* bits, std::size_t bit, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    bits[bit / 8] = static_cast<std::uint8_t>(on ? bits[bit / 8] | mask : bits[bit / 8] & ~mask);
}

// Row pointers.
inline std::uint32_t pointerPage(std::uint32_t pointer) { return pointer >> 8; }
inline std::uint8_t pointerRow(std::uint32_t pointer) { return static_cast<std::uint8_t>(pointer & 0xFF); }
inline std::uint32_t makePointer(std::uint32_t page, std::uint8_t row) { return (page << 8) | row; }

// RC4 over `data` in place with `key` (masks and unmasks the header area).
inline void rc4(const std::uint8_t* key, std::size_t keyLength, std::uint8_t* data,
                std::size_t length) {
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % keyLength]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (std::size_t n = 0; n < length; ++n) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[n] ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

} // namespace zorvane::jet::format
