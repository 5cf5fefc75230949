#include "records/jet/PageSet.h"

#include "records/jet/Format.h"
#include "records/jet/WriterLayout.h"

#include <algorithm>
#include <cstring>

namespace zorvane::jet {

using namespace format;

namespace {
constexpr std::uint32_t GlobalMap = GlobalUsageMapPage << 8;  // page 1, row 0
} // namespace

PageSet::PageSet(PageFile& file, std::string what)
    : file_(file), what_(std::move(what)), freeFrom_(CatalogTableDefPage + 1) {}

void PageSet::damaged(const std::string& reason) const { file_.fail(what_ + " is damaged: " + reason); }

void PageSet::refuse(const std::string& reason) const { file_.fail(what_ + " cannot be changed: " + reason); }

SlottedPage& PageSet::load(std::uint32_t number) {
    const auto found = pages_.find(number);
    if (found != pages_.end())
        return found->second;
    SlottedPage page;
    if (const std::string problem = page.decode(number, file_.page(number, what_.c_str())); !problem.empty())
        damaged(problem);
    return pages_.emplace(number, std::move(page)).first->second;
}

const SlottedPage* PageSet::readIfData(std::uint32_t number) {
    if (!pages_.count(number) &&
        (number >= file_.pageCount() || file_.page(number, what_.c_str())[0] != PageData))
        return nullptr;
    return &load(number);
}

SlottedPage& PageSet::change(std::uint32_t number) {
    SlottedPage& page = load(number);
    page.changed = true;
    return page;
}

const PageSet::Slot& PageSet::row(std::uint32_t pointer) {
    const SlottedPage& page = load(pointerPage(pointer));
    if (pointerRow(pointer) >= page.rows.size())
        damaged("page " + std::to_string(pointerPage(pointer)) + " has no row " +
                std::to_string(pointerRow(pointer)));
    return page.rows[pointerRow(pointer)];
}

PageSet::Slot& PageSet::changeRow(std::uint32_t pointer) {
    row(pointer);  // checks
    return change(pointerPage(pointer)).rows[pointerRow(pointer)];
}

std::uint32_t PageSet::appendMarked() {
    const std::uint32_t number = file_.appendPage();
    if (number > 0xFFFFFFu - 1)
        refuse("the file has reached the largest size a database can have");
    markInUse(number);
    return number;
}

// The lowest page in the file past `after` that the page map marks free (it
// reaches no page below its first, nor, as a reference map, those of an entry
// without a usage-map page), or else a new one at the end.
std::uint32_t PageSet::take(std::uint32_t after) {
    const UsageMap global = map(GlobalMap);
    const std::uint32_t from = std::max(freeFrom_, after + 1);
    std::uint32_t page = from;
    while (page < file_.pageCount() && !global.has(page))
        ++page;
    if (from == freeFrom_)
        freeFrom_ = std::min(page + 1, file_.pageCount());
    if (page == file_.pageCount())
        return appendMarked();
    markInUse(page);
    return page;
}

std::uint32_t PageSet::newDataPage(std::uint32_t owner, std::uint32_t after) {
    const std::uint32_t number = take(after);
    pages_[number] = SlottedPage(owner);
    return number;
}

UsageMap PageSet::map(std::uint32_t pointer) {
    const Slot& r = row(pointer);
    return UsageMap(file_, r.data.data(), r.data.size(), what_, pointer == GlobalMap);
}

// The database-wide map marks free pages; pages outside its reach are in use.
// A page taken is cleared in it, and an inline map grows (in the steps a new
// file's map has) when a page past its reach is taken.
void PageSet::markInUse(std::uint32_t page) {
    const UsageMap global = map(GlobalMap);
    const std::size_t length = row(GlobalMap).data.size();
    const std::uint32_t first = le32(row(GlobalMap).data.data() + UsageMapInlineStart);
    if (!global.covers(page) && !global.reference() && page >= first) {
        const std::size_t bit = page - first;
        const std::size_t reach = (length - UsageMapInlineBitmap) * 8;
        const std::size_t bytes = (bit / 8 + writer::GlobalMapStepBytes) / writer::GlobalMapStepBytes *
                                  writer::GlobalMapStepBytes;
        if (read(GlobalUsageMapPage).freeSpace() < UsageMapInlineBitmap + bytes - length)
            refuse("the file has grown past what the database's page map can describe");
        Slot& grown = changeRow(GlobalMap);
        grown.data.resize(UsageMapInlineBitmap + bytes, 0);
        // Pages of the file newly in reach are in use; those past its end are free.
        for (std::size_t b = reach; b < bytes * 8; ++b)
            setBit(grown.data.data() + UsageMapInlineBitmap, b, first + b >= file_.pageCount());
    }
    if (map(GlobalMap).covers(page))
        map(GlobalMap).set(changeRow(GlobalMap).data.data(), page, false);
}

void PageSet::freePage(std::uint32_t page) {
    const UsageMap global = map(GlobalMap);
    if (!global.covers(page))
        return;
    global.set(global.reference() ? nullptr : changeRow(GlobalMap).data.data(), page, true);
    freeFrom_ = std::min(freeFrom_, page);
}

void PageSet::setMapBit(std::uint32_t pointer, std::uint32_t page, bool on) {
    const UsageMap current = map(pointer);
    if (current.has(page) == on)
        return;
    if (current.covers(page)) {
        current.set(current.reference() ? nullptr : changeRow(pointer).data.data(), page, on);
        return;
    }
    if (!on)
        return;
    if (current.reference()) {
        // An entry without a usage-map page yet.
        const std::size_t e = page / UsageMapPagePages;
        if (e >= current.entries())
            refuse("the table has grown past what its page usage map can describe");
        const std::uint32_t number = take(0);
        setBit(UsageMap::initPage(file_.writablePage(number, what_.c_str())), page % UsageMapPagePages, true);
        put32(changeRow(pointer).data.data() + 1 + 4 * e, number);
        return;
    }
    // Out of the inline map's reach: the map is built anew (from another
    // first page, or as a reference map over usage-map pages of its own), in
    // a row of the same size (at least the size of a new map's).
    std::vector<std::uint32_t> marked = current.pages();
    marked.insert(std::upper_bound(marked.begin(), marked.end(), page), page);
    const std::size_t size = std::max(row(pointer).data.size(), writer::UsageMapRowSize);
    Bytes rebuilt = UsageMap::build(marked, size, [&](std::uint32_t& number) {
        number = take(0);
        return file_.writablePage(number, what_.c_str());
    });
    if (rebuilt.empty())
        refuse("the table has grown past what its page usage map can describe");
    changeRow(pointer).data = std::move(rebuilt);
}

void PageSet::flush() {
    for (auto& [number, page] : pages_) {
        if (!page.changed)
            continue;
        if (!page.encode(file_.writablePage(number, what_.c_str())))
            refuse("the rows of page " + std::to_string(number) + " do not fit it");
        page.changed = false;
    }
}

} // namespace zorvane::jet
