#include "records/jet/Table.h"

#include "records/jet/Format.h"

#include <unordered_map>

namespace zorvane::jet {

using namespace format;

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

Table::Table(PageFile& file, TableDef def)
    : file_(file), def_(std::move(def)), label_(def_.label()) {
    const std::vector<std::uint32_t> pages = usageMapPages(file_, def_.usedPages, label_);
    // Moved rows by the pointer their home slot keeps (row pointer -> home).
    std::unordered_map<std::uint32_t, std::uint32_t> homes;
    for (const std::uint32_t number : pages) {
        const std::uint8_t* bytes = file_.page(number, label_.c_str());
        if (bytes[0] != PageData || le32(bytes + DataOwnerOffset) != def_.page)
            continue;  // the map also marks pages that hold no rows of this table
        const std::uint16_t slots = rowSlotCount(file_, bytes, number, label_);
        for (std::uint16_t slot = 0; slot < slots; ++slot) {
            const RowSpan span = rowAt(file_, bytes, number, slot, label_);
            // Deleted rows, and the pointers left behind by rows that moved,
            // are skipped; a moved row is read where it now lives.
            if (span.flags & RowOverflowFlag) {
                if (span.flags == RowOverflowFlag && span.data && span.length >= 4 && slot <= 0xFF)
                    homes.emplace(le32(span.data),
                                  makePointer(number, static_cast<std::uint8_t>(slot)));
                continue;
            }
            rows_.push_back(span);
            places_.push_back({number, slot, number, slot});
        }
    }
    if (homes.empty())
        return;
    for (RowPlace& place : places_) {
        if (place.slot > 0xFF)
            continue;
        const auto home =
            homes.find(makePointer(place.page, static_cast<std::uint8_t>(place.slot)));
        if (home == homes.end())
            continue;
        place.homePage = pointerPage(home->second);
        place.homeSlot = pointerRow(home->second);
    }
}

ColumnBytes Table::bytes(std::size_t index, std::size_t column) const {
    return locateColumn(file_, def_, def_.columns[column], rows_[index], label_);
}

bool Table::appendText(std::size_t index, std::size_t column, std::u16string& out) {
    return appendColumnText(file_, def_, def_.columns[column], rows_[index], out, scratch_,
                            label_);
}

int Table::columnIndex(std::string_view name) const {
    for (std::size_t i = 0; i < def_.columns.size(); ++i)
        if (sameName(def_.columns[i].name, name))
            return static_cast<int>(i);
    return -1;
}

} // namespace zorvane::jet
