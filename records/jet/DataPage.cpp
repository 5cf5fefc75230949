#include "records/jet/DataPage.h"

#include <algorithm>
#include <cstring>

namespace zorvane::jet {

using namespace format;

RowSlot datapage::slot(const std::uint8_t* page, std::size_t s) {
    const std::size_t tableEnd = HeaderSize + 2 * slotCount(page);
    const std::uint16_t entry = le16(page + HeaderSize + 2 * s);
    RowSlot r;
    r.flags = entry & (RowDeletedFlag | RowOverflowFlag);
    r.start = entry & RowOffsetMask;
    r.end = s == 0 ? PageSize : le16(page + HeaderSize + 2 * (s - 1)) & RowOffsetMask;
    r.inside = r.start >= tableEnd && r.start <= r.end && r.end <= PageSize;
    return r;
}

std::size_t datapage::computedFreeSpace(const std::uint8_t* page) {
    std::size_t lowest = PageSize;
    for (std::size_t s = 0; s < slotCount(page); ++s)
        if (const RowSlot r = slot(page, s); r.inside)
            lowest = std::min(lowest, r.start);
    return lowest - (HeaderSize + 2 * slotCount(page));
}

std::uint16_t rowSlotCount(PageFile& file, const std::uint8_t* bytes, std::uint32_t page,
                           const std::string& what) {
    if (!datapage::rowTableFits(bytes))
        file.fail(what + " is damaged: the row table of page " + std::to_string(page) +
                  " runs off the page");
    return static_cast<std::uint16_t>(datapage::slotCount(bytes));
}

RowSpan rowAt(PageFile& file, const std::uint8_t* bytes, std::uint32_t page, std::uint16_t slot,
              const std::string& what) {
    if (slot >= rowSlotCount(file, bytes, page, what))
        file.fail(what + " is damaged: page " + std::to_string(page) + " has no row " +
                  std::to_string(slot));
    const RowSlot r = datapage::slot(bytes, slot);
    if (r.inside)
        return {.data = bytes + r.start, .length = r.end - r.start, .flags = r.flags};
    // The bounds of a deleted row or a moved row's pointer do not matter;
    // neither is read as a row.
    if (!(r.flags & RowOverflowFlag))
        file.fail(what + " is damaged: row " + std::to_string(slot) + " of page " +
                  std::to_string(page) + " lies outside its page");
    return {.flags = r.flags};
}

RowSpan rowAtPointer(PageFile& file, std::uint32_t pointer, const std::string& what) {
    const std::uint32_t page = pointerPage(pointer);
    const std::uint8_t* bytes = file.page(page, what.c_str());
    if (bytes[0] != PageData)
        file.fail(what + " is damaged: page " + std::to_string(page) + " is not a data page");
    RowSpan span = rowAt(file, bytes, page, pointerRow(pointer), what);
    if (!span.data)
        file.fail(what + " is damaged: row " + std::to_string(pointerRow(pointer)) + " of page " +
                  std::to_string(page) + " lies outside its page");
    return span;
}

SlottedPage::SlottedPage(std::uint32_t owner) : changed(true) {
    header[0] = PageData;
    header[1] = 0x01;
    put32(header + DataOwnerOffset, owner);
}

std::string SlottedPage::decode(std::uint32_t pageNumber, const std::uint8_t* bytes) {
    if (bytes[0] != PageData)
        return "page " + std::to_string(pageNumber) + " is not a data page";
    if (!datapage::rowTableFits(bytes))
        return "the row table of page " + std::to_string(pageNumber) + " runs off the page";
    std::memcpy(header, bytes, sizeof header);
    rows.assign(datapage::slotCount(bytes), {});
    for (std::size_t s = 0; s < rows.size(); ++s) {
        const RowSlot r = datapage::slot(bytes, s);
        rows[s].flags = r.flags;
        // A deleted row or a moved row's pointer may have any bounds;
        // neither holds a row to keep.
        if (r.inside && r.flags != RowDeletedRow)
            rows[s].data.assign(bytes + r.start, bytes + r.end);
        else if (!r.inside && (r.flags == 0 || r.flags == RowDeletedFlag))
            return "row " + std::to_string(s) + " of page " + std::to_string(pageNumber) +
                   " lies outside its page";
    }
    return {};
}

bool SlottedPage::encode(std::uint8_t* bytes) const {
    std::size_t used = DataRowTableOffset + 2 * rows.size();
    for (const Slot& s : rows)
        used += s.data.size();
    if (used > PageSize)
        return false;
    std::memcpy(bytes, header, sizeof header);
    std::size_t pos = PageSize;
    for (std::size_t s = 0; s < rows.size(); ++s) {
        pos -= rows[s].data.size();
        if (!rows[s].data.empty())
            std::memcpy(bytes + pos, rows[s].data.data(), rows[s].data.size());
        put16(bytes + DataRowTableOffset + 2 * s, static_cast<std::uint16_t>(pos | rows[s].flags));
    }
    const std::size_t tableEnd = DataRowTableOffset + 2 * rows.size();
    std::memset(bytes + tableEnd, 0, pos - tableEnd);
    put16(bytes + DataRowCountOffset, static_cast<std::uint16_t>(rows.size()));
    put16(bytes + DataFreeSpaceOffset, static_cast<std::uint16_t>(pos - tableEnd));
    return true;
}

std::size_t SlottedPage::freeSpace() const {
    std::size_t used = DataRowTableOffset + 2 * rows.size();
    for (const Slot& s : rows)
        used += s.data.size();
    return used >= PageSize ? 0 : PageSize - used;
}

bool SlottedPage::fitsNewRow(std::size_t length) const {
    return rows.size() < datapage::MaxRows && length + 2 <= freeSpace();
}

std::uint8_t SlottedPage::append(std::uint16_t flags, Bytes data) {
    rows.push_back({flags, std::move(data)});
    changed = true;
    return static_cast<std::uint8_t>(rows.size() - 1);
}

std::uint8_t SlottedPage::reuseOrAppend(std::uint16_t flags, Bytes data, std::size_t from) {
    for (std::size_t s = from; s < rows.size(); ++s) {
        if (rows[s].flags == RowDeletedRow && rows[s].data.empty()) {
            rows[s] = {flags, std::move(data)};
            changed = true;
            return static_cast<std::uint8_t>(s);
        }
    }
    return append(flags, std::move(data));
}

void SlottedPage::erase(std::uint16_t slot) {
    Slot& s = rows.at(slot);
    s.flags = RowDeletedRow;
    s.data.clear();
    changed = true;
}

} // namespace zorvane::jet
