#include "records/jet/UsageMap.h"

#include "records/jet/Format.h"

#include <algorithm>
#include <cstring>

namespace zorvane::jet {

using namespace format;

UsageMap::UsageMap(PageFile& file, const std::uint8_t* row, std::size_t length, std::string what,
                   bool global)
    : file_(file), row_(row), length_(length), what_(std::move(what)), global_(global) {
    if (length < 1)
        file_.fail(what_ + " is damaged: its page usage map is empty");
    if (row[0] == UsageMapInline) {
        if (length < UsageMapInlineBitmap)
            file_.fail(what_ + " is damaged: its page usage map is cut short");
        first_ = le32(row + UsageMapInlineStart);
    } else if (row[0] == UsageMapReference) {
        reference_ = true;
    } else {
        file_.fail(what_ + " is damaged: its page usage map has unknown type " + std::to_string(row[0]));
    }
}

UsageMap UsageMap::at(PageFile& file, std::uint32_t pointer, const std::string& what) {
    const RowSpan map = rowAtPointer(file, pointer, what);
    return UsageMap(file, map.data, map.length, what);
}

std::uint32_t UsageMap::mapPage(std::size_t e) const {
    const std::uint32_t page = e < entries() ? le32(row_ + 1 + 4 * e) : 0;
    if (page == 0)
        return 0;
    if (page >= file_.pageCount() || file_.page(page, what_.c_str())[0] != PageUsageMap) {
        if (global_)
            return 0;
        file_.fail(what_ + " is damaged: page " + std::to_string(page) + " is not a page usage map");
    }
    return page;
}

const std::uint8_t* UsageMap::bits(std::size_t e) const {
    const std::uint32_t page = mapPage(e);
    return page ? file_.page(page, what_.c_str()) + UsageMapPageBitmap : nullptr;
}

bool UsageMap::covers(std::uint32_t page) const {
    if (!reference_)
        return page >= first_ && page - first_ < (length_ - UsageMapInlineBitmap) * 8;
    return mapPage(page / UsageMapPagePages) != 0;
}

bool UsageMap::has(std::uint32_t page) const {
    if (!covers(page))
        return false;
    if (!reference_)
        return (row_[UsageMapInlineBitmap + (page - first_) / 8] >> ((page - first_) % 8)) & 1;
    const std::size_t bit = page % UsageMapPagePages;
    return (bits(page / UsageMapPagePages)[bit / 8] >> (bit % 8)) & 1;
}

std::vector<std::uint32_t> UsageMap::pages() const {
    std::vector<std::uint32_t> out;
    auto add = [&](const std::uint8_t* bitmap, std::size_t bytes, std::uint64_t first) {
        for (std::size_t i = 0; i < bytes; ++i)
            for (int bit = 0; bitmap[i] && bit < 8; ++bit)
                if (bitmap[i] & (1u << bit))
                    out.push_back(static_cast<std::uint32_t>(
                        std::min<std::uint64_t>(first + i * 8 + static_cast<unsigned>(bit), 0xFFFFFFFFu)));
    };
    if (!reference_) {
        add(row_ + UsageMapInlineBitmap, length_ - UsageMapInlineBitmap, first_);
        return out;
    }
    for (std::size_t e = 0; e < entries(); ++e)
        if (const std::uint8_t* b = bits(e))
            add(b, PageSize - UsageMapPageBitmap, static_cast<std::uint64_t>(e) * UsageMapPagePages);
    return out;
}

void UsageMap::set(std::uint8_t* writableRow, std::uint32_t page, bool on) const {
    if (!reference_)
        setBit(writableRow + UsageMapInlineBitmap, page - first_, on);
    else
        setBit(file_.writablePage(mapPage(page / UsageMapPagePages), what_.c_str()) + UsageMapPageBitmap,
               page % UsageMapPagePages, on);
}

std::uint8_t* UsageMap::initPage(std::uint8_t* bytes) {
    std::memset(bytes, 0, PageSize);
    bytes[0] = PageUsageMap;
    bytes[1] = 0x01;
    return bytes + UsageMapPageBitmap;
}

Bytes UsageMap::inlineRow(std::uint32_t first, std::size_t bitmapBytes) {
    Bytes row(UsageMapInlineBitmap + bitmapBytes, 0);
    row[0] = UsageMapInline;
    put32(row.data() + UsageMapInlineStart, first);
    return row;
}

Bytes UsageMap::build(const std::vector<std::uint32_t>& pages, std::size_t rowSize,
                      const NewMapPage& newMapPage) {
    const std::size_t reach = (rowSize - UsageMapInlineBitmap) * 8;
    for (const std::uint32_t first : {std::uint32_t(0), pages.empty() ? 0 : pages.front()}) {
        if (!pages.empty() && pages.back() - first >= reach)
            continue;
        Bytes row = inlineRow(first, rowSize - UsageMapInlineBitmap);
        for (const std::uint32_t p : pages)
            setBit(row.data() + UsageMapInlineBitmap, p - first, true);
        return row;
    }
    const std::size_t entries = (rowSize - 1) / 4;
    if (pages.back() / UsageMapPagePages >= entries)
        return {};
    Bytes row(rowSize, 0);
    row[0] = UsageMapReference;
    std::uint8_t* bitmap = nullptr;
    std::size_t entry = entries;
    for (const std::uint32_t p : pages) {
        if (p / UsageMapPagePages != entry) {
            entry = p / UsageMapPagePages;
            std::uint32_t number = 0;
            bitmap = initPage(newMapPage(number));
            put32(row.data() + 1 + 4 * entry, number);
        }
        setBit(bitmap, p % UsageMapPagePages, true);
    }
    return row;
}

} // namespace zorvane::jet
