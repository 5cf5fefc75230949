#include "records/jet/TableWriterPages.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/WriterLayout.h"

#include <algorithm>
#include <cstring>

namespace zorvane::jet::tablewrite {

using namespace format;

namespace {

constexpr std::uint32_t GlobalMap = (GlobalUsageMapPage << 8) | 0;  // page 1, row 0

bool bitAt(const std::uint8_t* bits, std::size_t bit) {
    return (bits[bit / 8] >> (bit % 8)) & 1;
}

void putBit(std::uint8_t* bits, std::size_t bit, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    bits[bit / 8] = static_cast<std::uint8_t>(on ? bits[bit / 8] | mask : bits[bit / 8] & ~mask);
}

} // namespace

// ---------------------------------------------------------------------------
// SlottedPage

std::uint32_t SlottedPage::owner() const { return le32(header + DataOwnerOffset); }

std::size_t SlottedPage::freeSpace() const {
    std::size_t used = DataRowTableOffset + 2 * slots.size();
    for (const Slot& s : slots)
        used += s.data.size();
    return used >= PageSize ? 0 : PageSize - used;
}

bool SlottedPage::fitsNewRow(std::size_t length) const {
    return slots.size() < MaxSlots && length + 2 <= freeSpace();
}

std::uint8_t SlottedPage::append(std::uint16_t flags, Bytes data) {
    slots.push_back({flags, std::move(data)});
    changed = true;
    return static_cast<std::uint8_t>(slots.size() - 1);
}

void SlottedPage::erase(std::uint16_t slot) {
    Slot& s = slots.at(slot);
    s.flags = RowDeletedRow;
    s.data.clear();
    changed = true;
}

// ---------------------------------------------------------------------------
// PageSet

PageSet::PageSet(PageFile& file, std::string what) : file_(file), what_(std::move(what)) {}

void PageSet::damaged(const std::string& reason) const {
    file_.fail(what_ + " is damaged: " + reason);
}

void PageSet::refuse(const std::string& reason) const {
    file_.fail(what_ + " cannot be changed: " + reason);
}

SlottedPage& PageSet::load(std::uint32_t number) {
    const auto found = pages_.find(number);
    if (found != pages_.end())
        return found->second;
    const std::uint8_t* bytes = file_.page(number, what_.c_str());
    if (bytes[0] != PageData)
        damaged("page " + std::to_string(number) + " is not a data page");
    SlottedPage page;
    page.number = number;
    std::memcpy(page.header, bytes, sizeof page.header);
    const std::size_t count = le16(bytes + DataRowCountOffset);
    const std::size_t tableEnd = DataRowTableOffset + 2 * count;
    if (tableEnd > PageSize)
        damaged("the row table of page " + std::to_string(number) + " runs off the page");
    page.slots.resize(count);
    std::size_t end = PageSize;
    for (std::size_t s = 0; s < count; ++s) {
        const std::uint16_t entry = le16(bytes + DataRowTableOffset + 2 * s);
        const std::size_t start = entry & RowOffsetMask;
        Slot& slot = page.slots[s];
        slot.flags = entry & (RowDeletedFlag | RowOverflowFlag);
        if (start < tableEnd || start > end) {
            // A deleted row or a moved row's pointer may have any bounds;
            // neither holds a row to keep.
            if (slot.flags == 0 || slot.flags == RowDeletedFlag)
                damaged("row " + std::to_string(s) + " of page " + std::to_string(number) +
                        " lies outside its page");
            continue;
        }
        if (slot.flags != RowDeletedRow)
            slot.data.assign(bytes + start, bytes + end);
        end = start;
    }
    return pages_.emplace(number, std::move(page)).first->second;
}

const SlottedPage& PageSet::read(std::uint32_t number) { return load(number); }

const SlottedPage* PageSet::readIfData(std::uint32_t number) {
    const auto found = pages_.find(number);
    if (found != pages_.end())
        return &found->second;
    if (number >= file_.pageCount() || file_.page(number, what_.c_str())[0] != PageData)
        return nullptr;
    return &load(number);
}

SlottedPage& PageSet::change(std::uint32_t number) {
    SlottedPage& page = load(number);
    page.changed = true;
    return page;
}

const Slot& PageSet::row(std::uint32_t pointer) {
    const SlottedPage& page = load(pointerPage(pointer));
    if (pointerRow(pointer) >= page.slots.size())
        damaged("page " + std::to_string(pointerPage(pointer)) + " has no row " +
                std::to_string(pointerRow(pointer)));
    return page.slots[pointerRow(pointer)];
}

Slot& PageSet::changeRow(std::uint32_t pointer) {
    row(pointer);  // checks
    SlottedPage& page = change(pointerPage(pointer));
    return page.slots[pointerRow(pointer)];
}

std::uint32_t PageSet::appendMarked() {
    const std::uint32_t number = file_.appendPage();
    if (number > 0xFFFFFFu - 1)
        refuse("the file has reached the largest size a database can have");
    markInUse(number);
    return number;
}

std::uint32_t PageSet::newDataPage(std::uint32_t owner) {
    const std::uint32_t number = appendMarked();
    SlottedPage page;
    page.number = number;
    page.header[0] = PageData;
    page.header[1] = 0x01;
    put32(page.header + DataOwnerOffset, owner);
    page.changed = true;
    pages_[number] = std::move(page);
    return number;
}

std::uint32_t PageSet::newUsageMapPage() {
    const std::uint32_t number = appendMarked();
    std::uint8_t* bytes = file_.writablePage(number, what_.c_str());
    std::memset(bytes, 0, PageSize);
    bytes[0] = PageUsageMap;
    bytes[1] = 0x01;
    return number;
}

// The database-wide map marks free pages; pages past the end of the file are
// free. A page taken at the end is cleared in it, and the map grows (in the
// steps a new file's map has) when the file outgrows its reach.
void PageSet::markInUse(std::uint32_t page) {
    const Slot& current = row(GlobalMap);
    if (current.data.size() < UsageMapInlineBitmap)
        damaged("the database's page map is cut short");
    if (current.data[0] == UsageMapReference) {
        const std::size_t entry = page / UsageMapPagePages;
        const std::size_t entries = (current.data.size() - 1) / 4;
        const std::uint32_t mapPage =
            entry < entries ? le32(current.data.data() + 1 + 4 * entry) : 0;
        if (mapPage == 0)
            refuse("the file has grown past what the database's page map can describe");
        if (file_.page(mapPage, what_.c_str())[0] != PageUsageMap)
            damaged("page " + std::to_string(mapPage) + " is not a page usage map");
        std::uint8_t* bits = file_.writablePage(mapPage, what_.c_str()) + UsageMapPageBitmap;
        putBit(bits, page % UsageMapPagePages, false);
        return;
    }
    if (current.data[0] != UsageMapInline)
        damaged("the database's page map has unknown type " + std::to_string(current.data[0]));
    const std::uint32_t first = le32(current.data.data() + UsageMapInlineStart);
    if (page < first)
        damaged("the database's page map starts past page " + std::to_string(page));
    const std::size_t bit = page - first;
    const std::size_t reach = (current.data.size() - UsageMapInlineBitmap) * 8;
    if (bit >= reach) {
        const std::size_t needed = bit / 8 + 1;
        const std::size_t bytes = (needed + writer::GlobalMapStepBytes - 1) /
                                  writer::GlobalMapStepBytes * writer::GlobalMapStepBytes;
        const std::size_t growth = UsageMapInlineBitmap + bytes - current.data.size();
        if (read(GlobalUsageMapPage).freeSpace() < growth)
            refuse("the file has grown past what the database's page map can describe");
        Slot& map = changeRow(GlobalMap);
        map.data.resize(UsageMapInlineBitmap + bytes, 0);
        // Pages of the file newly in reach are in use; those past its end are free.
        for (std::size_t b = reach; b < bytes * 8; ++b)
            putBit(map.data.data() + UsageMapInlineBitmap, b, first + b >= file_.pageCount());
    }
    Slot& map = changeRow(GlobalMap);
    putBit(map.data.data() + UsageMapInlineBitmap, bit, false);
}

void PageSet::flush() {
    for (auto& [number, page] : pages_) {
        if (!page.changed)
            continue;
        std::size_t used = DataRowTableOffset + 2 * page.slots.size();
        for (const Slot& s : page.slots)
            used += s.data.size();
        if (used > PageSize)
            refuse("the rows of page " + std::to_string(number) + " do not fit it");
        std::uint8_t* bytes = file_.writablePage(number, what_.c_str());
        std::memcpy(bytes, page.header, sizeof page.header);
        std::size_t pos = PageSize;
        for (std::size_t s = 0; s < page.slots.size(); ++s) {
            const Slot& slot = page.slots[s];
            pos -= slot.data.size();
            if (!slot.data.empty())
                std::memcpy(bytes + pos, slot.data.data(), slot.data.size());
            put16(bytes + DataRowTableOffset + 2 * s, static_cast<std::uint16_t>(pos | slot.flags));
        }
        const std::size_t tableEnd = DataRowTableOffset + 2 * page.slots.size();
        std::memset(bytes + tableEnd, 0, pos - tableEnd);
        put16(bytes + DataRowCountOffset, static_cast<std::uint16_t>(page.slots.size()));
        put16(bytes + DataFreeSpaceOffset, static_cast<std::uint16_t>(pos - tableEnd));
        page.changed = false;
    }
}

// ---------------------------------------------------------------------------
// Usage maps

namespace {

struct MapView {
    bool reference = false;
    std::uint32_t first = 0;     // inline: the first page in reach
    std::size_t reach = 0;       // inline: pages in reach; reference: entries
};

MapView viewOf(PageSet& pages, const Slot& row) {
    MapView view;
    if (row.data.empty())
        pages.damaged("a page usage map is empty");
    if (row.data[0] == UsageMapInline) {
        if (row.data.size() < UsageMapInlineBitmap)
            pages.damaged("a page usage map is cut short");
        view.first = le32(row.data.data() + UsageMapInlineStart);
        view.reach = (row.data.size() - UsageMapInlineBitmap) * 8;
    } else if (row.data[0] == UsageMapReference) {
        view.reference = true;
        view.reach = (row.data.size() - 1) / 4;
    } else {
        pages.damaged("a page usage map has unknown type " + std::to_string(row.data[0]));
    }
    return view;
}

const std::uint8_t* mapPageBits(PageSet& pages, std::uint32_t mapPage) {
    const std::uint8_t* bytes = pages.file().page(mapPage, pages.what().c_str());
    if (bytes[0] != PageUsageMap)
        pages.damaged("page " + std::to_string(mapPage) + " is not a page usage map");
    return bytes + UsageMapPageBitmap;
}

} // namespace

std::vector<std::uint32_t> mapPages(PageSet& pages, std::uint32_t map) {
    const Slot& row = pages.row(map);
    const MapView view = viewOf(pages, row);
    std::vector<std::uint32_t> out;
    if (!view.reference) {
        for (std::size_t b = 0; b < view.reach; ++b) {
            if (bitAt(row.data.data() + UsageMapInlineBitmap, b))
                out.push_back(static_cast<std::uint32_t>(view.first + b));
        }
        return out;
    }
    const Bytes entries = row.data;  // map pages are read below; keep the row's bytes
    for (std::size_t e = 0; e < view.reach; ++e) {
        const std::uint32_t mapPage = le32(entries.data() + 1 + 4 * e);
        if (mapPage == 0)
            continue;
        const std::uint8_t* bits = mapPageBits(pages, mapPage);
        for (std::size_t b = 0; b < UsageMapPagePages; ++b) {
            if (bits[b / 8] && bitAt(bits, b))
                out.push_back(static_cast<std::uint32_t>(e * UsageMapPagePages + b));
        }
    }
    return out;
}

bool mapHas(PageSet& pages, std::uint32_t map, std::uint32_t page) {
    const Slot& row = pages.row(map);
    const MapView view = viewOf(pages, row);
    if (!view.reference)
        return page >= view.first && page - view.first < view.reach &&
               bitAt(row.data.data() + UsageMapInlineBitmap, page - view.first);
    const std::size_t e = page / UsageMapPagePages;
    if (e >= view.reach)
        return false;
    const std::uint32_t mapPage = le32(row.data.data() + 1 + 4 * e);
    return mapPage != 0 && bitAt(mapPageBits(pages, mapPage), page % UsageMapPagePages);
}

void setMapBit(PageSet& pages, std::uint32_t map, std::uint32_t page, bool on) {
    if (mapHas(pages, map, page) == on)
        return;
    const MapView view = viewOf(pages, pages.row(map));
    if (!view.reference) {
        if (page >= view.first && page - view.first < view.reach) {
            Slot& row = pages.changeRow(map);
            putBit(row.data.data() + UsageMapInlineBitmap, page - view.first, on);
            return;
        }
        // Out of the inline map's reach (so `on`): the map becomes a
        // reference map over usage-map pages, in a row of the same size.
        std::vector<std::uint32_t> marked = mapPages(pages, map);
        marked.push_back(page);
        const std::size_t entries =
            std::max((pages.row(map).data.size() - 1) / 4, writer::UsageMapReferenceSlots);
        std::vector<std::uint32_t> mapPageOf(entries, 0);
        for (const std::uint32_t p : marked) {
            const std::size_t e = p / UsageMapPagePages;
            if (e >= entries)
                pages.refuse("the table has grown past what its page usage map can describe");
            mapPageOf[e] = 1;
        }
        for (std::size_t e = 0; e < entries; ++e) {
            if (!mapPageOf[e])
                continue;
            mapPageOf[e] = pages.newUsageMapPage();
            std::uint8_t* bits =
                pages.file().writablePage(mapPageOf[e], pages.what().c_str()) + UsageMapPageBitmap;
            for (const std::uint32_t p : marked) {
                if (p / UsageMapPagePages == e)
                    putBit(bits, p % UsageMapPagePages, true);
            }
        }
        Slot& row = pages.changeRow(map);
        const std::size_t size = std::max(row.data.size(), 1 + 4 * entries);
        row.data.assign(size, 0);
        row.data[0] = UsageMapReference;
        for (std::size_t e = 0; e < entries; ++e)
            put32(row.data.data() + 1 + 4 * e, mapPageOf[e]);
        return;
    }
    const std::size_t e = page / UsageMapPagePages;
    if (e >= view.reach) {
        if (!on)
            return;
        pages.refuse("the table has grown past what its page usage map can describe");
    }
    std::uint32_t mapPage = le32(pages.row(map).data.data() + 1 + 4 * e);
    if (mapPage == 0) {
        if (!on)
            return;
        mapPage = pages.newUsageMapPage();
        put32(pages.changeRow(map).data.data() + 1 + 4 * e, mapPage);
    }
    mapPageBits(pages, mapPage);  // checks the page type
    std::uint8_t* bits = pages.file().writablePage(mapPage, pages.what().c_str()) + UsageMapPageBitmap;
    putBit(bits, page % UsageMapPagePages, on);
}

// ---------------------------------------------------------------------------
// Table definitions

namespace {

// The definition's bytes, continuation pages joined (their headers left out).
Bytes definitionBytes(PageFile& file, const TableDef& def) {
    Bytes out;
    std::uint32_t current = def.page;
    for (std::uint32_t n = 0; current != 0 && n < file.pageCount(); ++n) {
        const std::uint8_t* bytes = file.page(current, def.label().c_str());
        if (bytes[0] != PageTableDef)
            file.fail(def.label() + " is damaged: page " + std::to_string(current) +
                      " is not a table definition page");
        if (out.empty())
            out.insert(out.end(), bytes, bytes + PageSize);
        else
            out.insert(out.end(), bytes + TdefPageHeaderSize, bytes + PageSize);
        current = le32(bytes + TdefNextPageOffset);
    }
    return out;
}

} // namespace

// The long-value maps follow the index definitions: per memo or OLE column its
// number and two map pointers, closed by 0xFFFF. A definition cut short there
// simply has none.
TableLayout readTableLayout(PageFile& file, const TableDef& def) {
    const Bytes b = definitionBytes(file, def);
    TableLayout layout;
    layout.logicalIndexes = le32(b.data() + TdefIndexCountOffset);
    layout.realIndexes = le32(b.data() + TdefRealIndexCountOffset);
    layout.usedMap = le32(b.data() + TdefUsedPagesOffset);
    layout.freeMap = le32(b.data() + TdefFreePagesOffset);
    if (layout.realIndexes > 1000 || layout.logicalIndexes > 1000)
        return layout;
    const std::size_t columns = le16(b.data() + TdefColumnCountOffset);
    std::size_t pos = TdefBlockEnd + layout.realIndexes * TdefRealIndexEntrySize +
                      columns * ColumnDescriptorSize;
    auto skipNames = [&](std::size_t count) {
        for (std::size_t i = 0; i < count && pos + 2 <= b.size(); ++i)
            pos += 2 + le16(b.data() + pos);
    };
    skipNames(columns);
    pos += layout.realIndexes * writer::RealIndexDefinitionSize +
           layout.logicalIndexes * writer::LogicalIndexDefinitionSize;
    skipNames(layout.logicalIndexes);
    while (pos + 2 <= b.size()) {
        const std::uint16_t column = le16(b.data() + pos);
        if (column == 0xFFFF || pos + 10 > b.size())
            break;
        layout.longValueMaps.push_back(
            {column, le32(b.data() + pos + 2), le32(b.data() + pos + 6)});
        pos += 10;
    }
    return layout;
}

} // namespace zorvane::jet::tablewrite
