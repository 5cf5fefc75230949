#pragma once
// Page usage maps: the one codec of both kinds, inline and reference. The
// layout, the maps a table has and the database's page map (page 1, row 0,
// marking the pages that are free) are in docs/jet4-format.md ("Page map and
// usage maps").

#include "records/jet/DataPage.h"
#include "records/jet/PageFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zorvane::jet {

class UsageMap {
public:
    // Reads the map row `row`; throws Error ("WHAT is damaged: ...") when it
    // is no usage map. For the database's page map (`global`) an entry that
    // names no usage-map page counts as none (Access leaves such entries);
    // for any other map it is damage.
    UsageMap(PageFile& file, const std::uint8_t* row, std::size_t length, std::string what,
             bool global = false);
    // The map `pointer` (a row pointer) leads to.
    static UsageMap at(PageFile& file, std::uint32_t pointer, const std::string& what);

    bool reference() const { return reference_; }
    std::size_t entries() const { return reference_ ? (length_ - 1) / 4 : 0; }
    // The usage-map page of entry `e`, or 0.
    std::uint32_t mapPage(std::size_t e) const;
    // Whether the map says anything about `page`, and whether it marks it.
    bool covers(std::uint32_t page) const;
    bool has(std::uint32_t page) const;
    // The pages it marks, ascending.
    std::vector<std::uint32_t> pages() const;
    // Marks or clears a page it covers: in `writableRow` (the row's bytes,
    // inline maps) or on its usage-map page (through the file's command).
    void set(std::uint8_t* writableRow, std::uint32_t page, bool on) const;

    // --- encoding, for the writers
    // Makes `bytes` an empty usage-map page; returns its bitmap.
    static std::uint8_t* initPage(std::uint8_t* bytes);
    // An inline row from `first` with `bitmapBytes` bytes of bitmap, none set.
    static Bytes inlineRow(std::uint32_t first, std::size_t bitmapBytes);
    // A row of `rowSize` bytes marking `pages` (ascending): inline from page 0
    // or from the first page when one inline map reaches them all, otherwise
    // a reference map over usage-map pages that `newMapPage` adds (it returns
    // the page's writable bytes and sets its number). Empty when they lie out
    // of a reference map's reach too.
    using NewMapPage = std::function<std::uint8_t*(std::uint32_t& number)>;
    static Bytes build(const std::vector<std::uint32_t>& pages, std::size_t rowSize,
                       const NewMapPage& newMapPage);

private:
    const std::uint8_t* bits(std::size_t e) const;  // entry e's bitmap, or nullptr

    PageFile& file_;
    const std::uint8_t* row_;
    std::size_t length_;
    std::string what_;
    bool global_;
    bool reference_ = false;
    std::uint32_t first_ = 0;
};

} // namespace zorvane::jet
