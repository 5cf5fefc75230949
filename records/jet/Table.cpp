#include "records/jet/Table.h"

#include "records/jet/Format.h"
#include "records/jet/UsageMap.h"

#include <algorithm>

namespace zorvane::jet {

using namespace format;

bool sameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
}

Table::Table(PageFile& file, TableDef def)
    : file_(file), def_(std::move(def)), label_(def_.label()) {
    load(UsageMap::at(file_, def_.usedPages, label_).pages());
    if (!def_.system && rows_.size() != def_.storedRows) {
        std::string where;
        if (const std::uint32_t stray = strayPage())
            where = "; page " + std::to_string(stray) + ", which its page usage map marks, " +
                    "holds none of its rows";
        file_.fail(label_ + " is damaged: it records " + std::to_string(def_.storedRows) +
                   " records, but its pages hold " + std::to_string(rows_.size()) + where);
    }
}

std::uint32_t Table::strayPage() const {
    for (const std::uint32_t number : pages_) {
        const std::uint8_t* bytes = file_.page(number, label_.c_str());
        if (!datapage::ownedBy(bytes, def_.page))
            return number;
    }
    return 0;
}

void Table::scanPage(std::uint32_t number, std::vector<RowSpan>& rows,
                     std::vector<RowPlace>& places, Pointers& pointers) const {
    const std::uint8_t* bytes = file_.page(number, label_.c_str());
    if (!datapage::ownedBy(bytes, def_.page))
        return;  // the map also marks pages that hold no rows of this table
    const std::uint16_t slots = rowSlotCount(file_, bytes, number, label_);
    for (std::uint16_t slot = 0; slot < slots; ++slot) {
        const RowSpan span = rowAt(file_, bytes, number, slot, label_);
        // Deleted rows, and the pointers left behind by rows that moved,
        // are skipped; a moved row is read where it now lives.
        if (span.flags & RowOverflowFlag) {
            if (span.flags == RowOverflowFlag && span.data && span.length >= 4 && slot <= 0xFF)
                pointers.emplace_back(le32(span.data),
                                      makePointer(number, static_cast<std::uint8_t>(slot)));
            continue;
        }
        rows.push_back(span);
        places.push_back({number, slot, number, slot});
    }
}

void Table::setHome(RowPlace& place, const Homes& homes) {
    place.homePage = place.page;
    place.homeSlot = place.slot;
    if (place.slot > 0xFF || homes.empty())
        return;
    const auto home = homes.find(makePointer(place.page, static_cast<std::uint8_t>(place.slot)));
    if (home == homes.end())
        return;
    place.homePage = pointerPage(home->second);
    place.homeSlot = pointerRow(home->second);
}

void Table::load(std::vector<std::uint32_t> pages) {
    std::vector<RowSpan> rows;
    std::vector<RowPlace> places;
    std::vector<std::size_t> starts;
    starts.reserve(pages.size() + 1);
    Pointers pointers;
    // The pages are read at once, and the rows' room is taken once, as many
    // as the definition records (a damaged count costs only a regrowth):
    // growing it row by row would touch fresh memory several times over.
    // Room for a few pages' more rows, so that adding a row rarely moves them.
    file_.preload(pages);
    const std::size_t expected = std::min<std::size_t>(def_.storedRows, pages.size() * datapage::MaxRows);
    rows.reserve(expected + 1024);
    places.reserve(expected + 1024);
    for (const std::uint32_t number : pages) {
        starts.push_back(rows.size());
        scanPage(number, rows, places, pointers);
    }
    starts.push_back(rows.size());
    // Where two home slots point at one row, the first in storage order wins.
    Homes homes;
    bool ambiguous = false;
    for (const auto& [target, home] : pointers)
        ambiguous |= !homes.emplace(target, home).second;
    if (!homes.empty())
        for (RowPlace& place : places)
            setHome(place, homes);
    rows_ = std::move(rows);
    places_ = std::move(places);
    pages_ = std::move(pages);
    starts_ = std::move(starts);
    homes_ = std::move(homes);
    ambiguousHomes_ = ambiguous;
}

void Table::refresh(const std::vector<std::uint32_t>& changedPages) {
    // Everything that can fail is read first; the rows change only after.
    TableDef def = readTableDef(file_, def_.page, def_.name);
    std::vector<std::uint32_t> pages = UsageMap::at(file_, def.usedPages, label_).pages();
    auto reloadAll = [&] {
        load(std::move(pages));
        def_ = std::move(def);
    };
    if (ambiguousHomes_)
        return reloadAll();
    std::vector<std::uint32_t> changed = changedPages;
    std::sort(changed.begin(), changed.end());
    auto isChanged = [&](std::uint32_t page) {
        return std::binary_search(changed.begin(), changed.end(), page);
    };

    // The home slots of pages scanned again, or no longer in the map, go;
    // those of the scanned pages come back as found.
    Homes homes;
    std::vector<std::uint32_t> affected;  // rows whose home may have changed
    for (const auto& [target, home] : homes_) {
        const std::uint32_t homePage = pointerPage(home);
        if (isChanged(homePage) || !std::binary_search(pages.begin(), pages.end(), homePage))
            affected.push_back(target);
        else
            homes.emplace(target, home);
    }
    struct Scan {
        std::size_t index = 0;  // into pages
        std::vector<RowSpan> rows;
        std::vector<RowPlace> places;
    };
    std::vector<Scan> scans;
    Pointers pointers;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::uint32_t number = pages[i];
        if (!isChanged(number) && std::binary_search(pages_.begin(), pages_.end(), number))
            continue;
        Scan& scan = scans.emplace_back();
        scan.index = i;
        scanPage(number, scan.rows, scan.places, pointers);
    }
    for (const auto& [target, home] : pointers) {
        // Two home slots for one row: which one counts depends on the whole
        // table's order, so it is scanned again as a whole.
        if (!homes.emplace(target, home).second)
            return reloadAll();
        affected.push_back(target);
    }
    if (!homes.empty())
        for (Scan& scan : scans)
            for (RowPlace& place : scan.places)
                setHome(place, homes);

    if (pages.size() >= pages_.size() && std::equal(pages_.begin(), pages_.end(), pages.begin())) {
        // The same pages, perhaps with new ones after them (an added row's
        // page), as after nearly every command: the rows are changed where
        // they stand. Building them anew would copy, and first touch, the
        // room of every row of the table after each edit.
        for (Scan& scan : scans) {
            if (scan.index >= pages_.size()) {
                rows_.insert(rows_.end(), scan.rows.begin(), scan.rows.end());
                places_.insert(places_.end(), scan.places.begin(), scan.places.end());
                starts_.push_back(rows_.size());
                continue;
            }
            const std::size_t begin = starts_[scan.index], end = starts_[scan.index + 1];
            const std::size_t count = scan.rows.size();
            if (count == end - begin) {  // an edit: nothing moves
                std::copy(scan.rows.begin(), scan.rows.end(), rows_.begin() + begin);
                std::copy(scan.places.begin(), scan.places.end(), places_.begin() + begin);
                continue;
            }
            rows_.erase(rows_.begin() + begin, rows_.begin() + end);
            rows_.insert(rows_.begin() + begin, scan.rows.begin(), scan.rows.end());
            places_.erase(places_.begin() + begin, places_.begin() + end);
            places_.insert(places_.begin() + begin, scan.places.begin(), scan.places.end());
            for (std::size_t j = scan.index + 1; j < starts_.size(); ++j)
                starts_[j] = starts_[j] - (end - begin) + count;
        }
        pages_ = std::move(pages);
    } else {
        // The map changed: the rows are put together page by page again,
        // those of each scanned page as found, those of every other page
        // taken over as they were.
        std::vector<RowSpan> rows;
        std::vector<RowPlace> places;
        std::vector<std::size_t> starts;
        rows.reserve(rows_.size() + 16);
        places.reserve(places_.size() + 16);
        starts.reserve(pages.size() + 1);
        auto next = scans.begin();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            starts.push_back(rows.size());
            if (next != scans.end() && next->index == i) {
                rows.insert(rows.end(), next->rows.begin(), next->rows.end());
                places.insert(places.end(), next->places.begin(), next->places.end());
                ++next;
                continue;
            }
            const auto k = static_cast<std::size_t>(
                std::lower_bound(pages_.begin(), pages_.end(), pages[i]) - pages_.begin());
            rows.insert(rows.end(), rows_.begin() + starts_[k], rows_.begin() + starts_[k + 1]);
            places.insert(places.end(), places_.begin() + starts_[k], places_.begin() + starts_[k + 1]);
        }
        starts.push_back(rows.size());
        rows_ = std::move(rows);
        places_ = std::move(places);
        starts_ = std::move(starts);
        pages_ = std::move(pages);
    }
    homes_ = std::move(homes);
    def_ = std::move(def);
    // Rows on pages kept as they were whose home slot came or went.
    for (const std::uint32_t target : affected) {
        const std::size_t index = find(pointerPage(target), pointerRow(target));
        if (index < places_.size())
            setHome(places_[index], homes_);
    }
}

std::size_t Table::find(std::uint32_t page, std::uint16_t slot) const {
    const auto at = std::lower_bound(pages_.begin(), pages_.end(), page);
    if (at == pages_.end() || *at != page)
        return places_.size();
    const auto k = static_cast<std::size_t>(at - pages_.begin());
    const auto begin = places_.begin() + static_cast<std::ptrdiff_t>(starts_[k]);
    const auto end = places_.begin() + static_cast<std::ptrdiff_t>(starts_[k + 1]);
    const auto row = std::lower_bound(
        begin, end, slot, [](const RowPlace& place, std::uint16_t s) { return place.slot < s; });
    if (row == end || row->slot != slot)
        return places_.size();
    return static_cast<std::size_t>(row - places_.begin());
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
