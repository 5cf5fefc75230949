#pragma once
// The pages one write command changes, for the table writer: data pages read
// out row by row and written back packed (DataPage.h), new pages with the
// database-wide page map kept exact, and the usage maps of tables and long
// values (UsageMap.h).
//
// Every page goes through one PageSet for the whole command, so a page that
// several steps change (a usage-map row and the rows beside it, a table's
// last page) is read once and written once, when the command is flushed.
// (One PageSet per command: it alone knows which pages it took.)
//
// New pages: as Access does, a page the database's page map marks free is
// free to take, the lowest first; the file grows only when none is. A free
// page keeps whatever bytes it had, so its taker writes it whole, through the
// command (the journal saves the old bytes first). A page freed in the
// command may be taken again in it.

#include "records/jet/DataPage.h"
#include "records/jet/PageFile.h"
#include "records/jet/UsageMap.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zorvane::jet {

class PageSet {
public:
    using Slot = SlottedPage::Slot;
    // `what` names the object for error sentences, e.g. "table \"oui\"".
    PageSet(PageFile& file, std::string what);

    PageFile& file() { return file_; }
    [[noreturn]] void damaged(const std::string& reason) const;
    [[noreturn]] void refuse(const std::string& reason) const;

    // The rows of data page `number`, for reading; throws when it is no data page.
    const SlottedPage& read(std::uint32_t number) { return load(number); }
    // The rows of page `number` when it is a data page, otherwise nothing.
    const SlottedPage* readIfData(std::uint32_t number);
    // The same, to change: the page is written back by flush().
    SlottedPage& change(std::uint32_t number);
    // A row by row pointer (the page must be a data page with that slot).
    const Slot& row(std::uint32_t pointer);
    Slot& changeRow(std::uint32_t pointer);

    // A new, empty data page owned by `owner` (a table definition page or the
    // long-value word), marked in use in the database-wide page map: a free
    // page past `after`, or one at the end of the file.
    std::uint32_t newDataPage(std::uint32_t owner, std::uint32_t after = 0);
    // A new page, free or at the end of the file, marked in use in the page
    // map; its bytes are the caller's to write whole (index pages).
    std::uint32_t newPage() { return take(0); }
    // Marks `page` free in the database-wide page map (where it reaches it).
    void freePage(std::uint32_t page);

    // The usage map `pointer` leads to (valid until its row changes).
    UsageMap map(std::uint32_t pointer);
    // Marks or clears `page` in the map. An inline map that cannot reach the
    // page becomes a reference map (with usage-map pages of its own); a map
    // that cannot reach it either way is refused with an Error.
    void setMapBit(std::uint32_t pointer, std::uint32_t page, bool on);

    // Writes every changed data page into the file's current command.
    void flush();

private:
    SlottedPage& load(std::uint32_t number);
    std::uint32_t take(std::uint32_t after);
    std::uint32_t appendMarked();
    void markInUse(std::uint32_t page);

    PageFile& file_;
    std::string what_;
    std::map<std::uint32_t, SlottedPage> pages_;
    std::uint32_t freeFrom_;  // no page below it is free (the header and the first pages never are)
};

} // namespace zorvane::jet
