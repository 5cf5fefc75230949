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

SlottedPage::SlottedPage(std::uint32_t n, std::uint32_t owner) : number(n), changed(true) {
    header[0] = PageData;
    header[1] = 0x01;
    put32(header + DataOwnerOffset, owner);
}

std::string SlottedPage::decode(std::uint32_t pageNumber, const std::uint8_t* bytes) {
    number = pageNumber;
    if (bytes[0] != PageData)
        return "page " + std::to_string(pageNumber) + " is not a data page";
    if (!datapage::rowTableFits(bytes))
        return "the row table of page " + std::to_string(pageNumber) + " runs off the page";
    std::memcpy(header, bytes, sizeof header);
    slots.assign(datapage::slotCount(bytes), {});
    for (std::size_t s = 0; s < slots.size(); ++s) {
        const RowSlot r = datapage::slot(bytes, s);
        slots[s].flags = r.flags;
        // A deleted row or a moved row's pointer may have any bounds;
        // neither holds a row to keep.
        if (r.inside && r.flags != RowDeletedRow)
            slots[s].data.assign(bytes + r.start, bytes + r.end);
        else if (!r.inside && (r.flags == 0 || r.flags == RowDeletedFlag))
            return "row " + std::to_string(s) + " of page " + std::to_string(pageNumber) +
                   " lies outside its page";
    }
    return {};
}

bool SlottedPage::encode(std::uint8_t* bytes) const {
    std::size_t used = DataRowTableOffset + 2 * slots.size();
    for (const Slot& s : slots)
        used += s.data.size();
    if (used > PageSize)
        return false;
    std::memcpy(bytes, header, sizeof header);
    std::size_t pos = PageSize;
    for (std::size_t s = 0; s < slots.size(); ++s) {
        pos -= slots[s].data.size();
        if (!slots[s].data.empty())
            std::memcpy(bytes + pos, slots[s].data.data(), slots[s].data.size());
        put16(bytes + DataRowTableOffset + 2 * s, static_cast<std::uint16_t>(pos | slots[s].flags));
    }
    const std::size_t tableEnd = DataRowTableOffset + 2 * slots.size();
    std::memset(bytes + tableEnd, 0, pos - tableEnd);
    put16(bytes + DataRowCountOffset, static_cast<std::uint16_t>(slots.size()));
    put16(bytes + DataFreeSpaceOffset, static_cast<std::uint16_t>(pos - tableEnd));
    return true;
}

std::size_t SlottedPage::freeSpace() const {
    std::size_t used = DataRowTableOffset + 2 * slots.size();
    for (const Slot& s : slots)
        used += s.data.size();
    return used >= PageSize ? 0 : PageSize - used;
}

bool SlottedPage::fitsNewRow(std::size_t length) const {
    return slots.size() < datapage::MaxRows && length + 2 <= freeSpace();
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

} // namespace zorvane::jet
