#pragma once
// Data pages (table rows, long values, usage-map rows): the one codec of
// their header, row table and slot flags (docs/jet4-format.md, "Data pages
// and rows"). The reader takes a row where it lies (rowAt); the writers hold
// a page's rows in memory (SlottedPage) and write them back packed.

#include "records/jet/Format.h"
#include "records/jet/PageFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet {

using Bytes = std::vector<std::uint8_t>;

// One slot of a data page as its row table gives it.
struct RowSlot {
    std::uint16_t flags = 0;
    std::size_t start = 0;
    std::size_t end = 0;
    bool inside = false;  // the bounds lie inside the page, past the row table
};

namespace datapage {

inline constexpr std::size_t HeaderSize = format::DataRowTableOffset;  // 14
// A row number is one byte of a row pointer.
inline constexpr std::size_t MaxRows = 255;

// The owner word of long-value pages ("LVAL").
inline const std::uint32_t LongValueOwnerWord =
    format::le32(reinterpret_cast<const std::uint8_t*>(format::LongValueOwner));

inline std::size_t slotCount(const std::uint8_t* page) { return format::le16(page + format::DataRowCountOffset); }
inline std::uint32_t owner(const std::uint8_t* page) { return format::le32(page + format::DataOwnerOffset); }
// Whether `page` is a data page of `owner` (a table definition page, or the long-value word).
inline bool ownedBy(const std::uint8_t* page, std::uint32_t ownerWord) {
    return page[0] == format::PageData && owner(page) == ownerWord;
}
// Whether the row table ends inside the page.
inline bool rowTableFits(const std::uint8_t* page) { return HeaderSize + 2 * slotCount(page) <= format::PageSize; }
// Slot `s` (< slotCount, row table fitting).
RowSlot slot(const std::uint8_t* page, std::size_t s);
// The free space the rows and the row table leave (its stored count aside).
std::size_t computedFreeSpace(const std::uint8_t* page);

} // namespace datapage

// The span of one row on a data page.
struct RowSpan {
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    std::uint16_t flags = 0;   // format::RowDeletedFlag / RowOverflowFlag
};

// Number of row slots on data page `page` (whose bytes are `bytes`), or
// throws when the row table runs off the page.
std::uint16_t rowSlotCount(PageFile& file, const std::uint8_t* bytes, std::uint32_t page,
                           const std::string& what);
// The row in `slot` of data page `bytes`; throws Error (naming `what`) when
// its bounds are impossible (those of a deleted or moved row's slot give no data).
RowSpan rowAt(PageFile& file, const std::uint8_t* bytes, std::uint32_t page, std::uint16_t slot,
              const std::string& what);
// The row a row pointer leads to (the page must be a data page).
RowSpan rowAtPointer(PageFile& file, std::uint32_t pointer, const std::string& what);

// A data page's rows in memory, for the writers. Written back, the rows lie
// packed from the end of the page in slot order (a deleted row takes no
// room), so the free space is exactly what the rows and the row table leave.
struct SlottedPage {
    struct Slot {
        std::uint16_t flags = 0;
        Bytes data;
    };
    std::uint8_t header[datapage::HeaderSize] = {};
    std::vector<Slot> rows;
    bool changed = false;

    SlottedPage() = default;
    // A new, empty data page owned by `owner`.
    explicit SlottedPage(std::uint32_t owner);
    // Reads a data page; returns the reason it cannot be read, or "".
    std::string decode(std::uint32_t pageNumber, const std::uint8_t* bytes);
    // Writes the page; false when its rows do not fit.
    bool encode(std::uint8_t* bytes) const;

    std::uint32_t owner() const { return format::le32(header + format::DataOwnerOffset); }
    std::size_t freeSpace() const;
    // Whether a new row of `length` bytes (and its row-table entry) fits.
    bool fitsNewRow(std::size_t length) const;
    // Adds a row in a new slot at the end; returns the slot.
    std::uint8_t append(std::uint16_t flags, Bytes data);
    // Adds a row in the first slot from `from` on that a deleted row left
    // (nothing points to one), or else in a new slot at the end.
    std::uint8_t reuseOrAppend(std::uint16_t flags, Bytes data, std::size_t from);
    // Marks slot `slot` deleted; its bytes give their room back to the page.
    void erase(std::uint16_t slot);
};

} // namespace zorvane::jet
