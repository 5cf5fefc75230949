#pragma once
// The pages one write command changes, for the table writer: data pages read
// out row by row and written back packed, new pages with the database-wide
// page map kept exact, and the usage maps of tables and long values.
//
// Every page goes through one PageSet for the whole command, so a page that
// several steps change (a usage-map row and the rows beside it, a table's
// last page) is read once and written once, when the command is flushed.

#include "records/jet/Catalog.h"
#include "records/jet/PageFile.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zorvane::jet::tablewrite {

using Bytes = std::vector<std::uint8_t>;

struct Slot {
    std::uint16_t flags = 0;  // format::RowDeletedFlag / RowOverflowFlag
    Bytes data;
};

// One data page's rows. Written back, the rows lie packed from the end of the
// page in slot order (a deleted row takes no room), so the free space is
// exactly what the rows and the row table leave.
struct SlottedPage {
    std::uint32_t number = 0;
    std::uint8_t header[14] = {};
    std::vector<Slot> slots;
    bool changed = false;

    std::uint32_t owner() const;
    // Free space if the page were written now.
    std::size_t freeSpace() const;
    // Whether a new row of `length` bytes (and its row-table entry) fits.
    bool fitsNewRow(std::size_t length) const;
    // Adds a row in a new slot at the end; returns the slot.
    std::uint8_t append(std::uint16_t flags, Bytes data);
    // Marks slot `slot` deleted; its bytes give their room back to the page.
    void erase(std::uint16_t slot);
};

// A data page holds at most this many rows (a row pointer keeps the row
// number in one byte).
inline constexpr std::size_t MaxSlots = 255;

class PageSet {
public:
    // `what` names the object for error sentences, e.g. "table \"oui\"".
    PageSet(PageFile& file, std::string what);

    PageFile& file() { return file_; }
    const std::string& what() const { return what_; }
    [[noreturn]] void damaged(const std::string& reason) const;
    [[noreturn]] void refuse(const std::string& reason) const;

    // The rows of data page `number`, for reading; throws when it is no data page.
    const SlottedPage& read(std::uint32_t number);
    // The rows of page `number` when it is a data page, otherwise nothing.
    const SlottedPage* readIfData(std::uint32_t number);
    // The same, to change: the page is written back by flush().
    SlottedPage& change(std::uint32_t number);
    // A row by row pointer (the page must be a data page with that slot).
    const Slot& row(std::uint32_t pointer);
    Slot& changeRow(std::uint32_t pointer);

    // A new, empty data page owned by `owner` (a table definition page or the
    // long-value word), marked in use in the database-wide page map.
    std::uint32_t newDataPage(std::uint32_t owner);
    // A new usage-map page (type 5), marked in use likewise.
    std::uint32_t newUsageMapPage();

    // Writes every changed data page into the file's current command.
    void flush();

private:
    SlottedPage& load(std::uint32_t number);
    std::uint32_t appendMarked();
    void markInUse(std::uint32_t page);

    PageFile& file_;
    std::string what_;
    std::map<std::uint32_t, SlottedPage> pages_;
};

// What the writer needs from a table definition beyond what the reader keeps.
struct TableLayout {
    std::uint32_t logicalIndexes = 0;
    std::uint32_t realIndexes = 0;
    std::uint32_t usedMap = 0;  // row pointers
    std::uint32_t freeMap = 0;
    struct LongValueMaps {
        std::uint16_t column = 0;  // column number
        std::uint32_t used = 0;
        std::uint32_t free = 0;
    };
    std::vector<LongValueMaps> longValueMaps;

    const LongValueMaps* longValueMapsOf(std::uint16_t column) const {
        for (const LongValueMaps& m : longValueMaps) {
            if (m.column == column)
                return &m;
        }
        return nullptr;
    }
};

// Reads the layout from the definition's pages.
TableLayout readTableLayout(PageFile& file, const TableDef& def);

// The pages a usage map (by row pointer) marks, ascending.
std::vector<std::uint32_t> mapPages(PageSet& pages, std::uint32_t map);
// Whether the map marks `page`.
bool mapHas(PageSet& pages, std::uint32_t map, std::uint32_t page);
// Marks or clears `page` in the map. An inline map that cannot reach the page
// becomes a reference map (with usage-map pages of its own); a map that cannot
// reach it either way is refused with an Error.
void setMapBit(PageSet& pages, std::uint32_t map, std::uint32_t page, bool on);

} // namespace zorvane::jet::tablewrite
