// The write side of an index tree (records/jet/IndexWriter.h).
#include "records/jet/IndexWriter.h"

#include "records/jet/IndexTree.h"
#include "records/jet/WriterLayout.h"

#include <algorithm>

namespace zorvane::jet {

namespace {
constexpr std::size_t MaxDepth = 32;
constexpr std::size_t WholeRoom = format::PageSize - writer::IndexEntriesOffset;

std::size_t entrySize(const IndexPage& p, const IndexEntry& e) { return e.key.size() + (p.leaf ? 4 : 8); }

// Where to split `p`: the entries from the result on go to the new page.
std::size_t splitPoint(const IndexPage& p, bool atEnd) {
    const std::size_t n = p.entries.size();
    if (atEnd)
        return n - 1;
    std::size_t total = 0, sum = 0;
    for (const IndexEntry& e : p.entries)
        total += entrySize(p, e);
    for (std::size_t i = 0; i < n; ++i) {
        sum += entrySize(p, p.entries[i]);
        if (2 * sum >= total)
            return std::clamp<std::size_t>(i + 1, 1, n - 1);
    }
    return n - 1;
}

void takeRow(IndexEntry& to, const IndexEntry& from) {
    to.key = from.key;
    to.page = from.page;
    to.slot = from.slot;
}
bool sameRow(const IndexEntry& a, const IndexEntry& b) { return a.key == b.key && entryRow(a) == entryRow(b); }
} // namespace

IndexWriter::IndexWriter(PageSet& pages, const TableDef& def, std::size_t real)
    : pages_(pages), def_(def), index_(def.realIndexDefs.at(real)), who_(def.label() + "'s " + def.indexLabel(real)) {}

void IndexWriter::damaged(const std::string& reason) const {
    pages_.file().fail(who_ + " is damaged: " + reason);
}

IndexPage& IndexWriter::get(std::uint32_t number) {
    if (const auto found = cache_.find(number); found != cache_.end())
        return found->second;
    if (number == 0 || number >= pages_.file().pageCount())
        damaged("it leads to page " + std::to_string(number) + ", which the file does not hold");
    IndexPage page = IndexPage::decode(pages_.file().page(number, who_.c_str()), number, who_);
    if (page.owner != def_.page)
        damaged("index page " + std::to_string(number) + " belongs to another table");
    return cache_.emplace(number, std::move(page)).first->second;
}

IndexPage& IndexWriter::change(std::uint32_t number) {
    IndexPage& page = get(number);
    changed_[number] = true;
    return page;
}

bool IndexWriter::fits(IndexPage& page, std::size_t room) {
    std::size_t shared = page.entries.empty() ? 0 : page.entries.front().key.size();
    for (const IndexEntry& e : page.entries) {
        const auto [a, b] = std::mismatch(page.entries.front().key.begin(),
                                          page.entries.front().key.begin() + static_cast<std::ptrdiff_t>(shared),
                                          e.key.begin(), e.key.end());
        shared = static_cast<std::size_t>(a - page.entries.front().key.begin());
    }
    page.prefixLength = static_cast<std::uint16_t>(shared);
    const std::size_t chosen = pages_.file().options().indexPageRoom;
    return page.entryBytes() <= (room ? room : chosen ? std::min(chosen, WholeRoom) : WholeRoom);
}

std::uint32_t IndexWriter::descend(const IndexEntry& target, std::vector<Step>& path) {
    std::uint32_t number = index_.rootPage;
    for (std::size_t depth = 0;; ++depth) {
        if (depth == MaxDepth)
            damaged("its tree is deeper than " + std::to_string(MaxDepth) + " levels");
        const IndexPage& page = get(number);
        if (page.leaf)
            return number;
        std::size_t at = 0;
        while (at < page.entries.size() && entryBefore(page.entries[at], target))
            ++at;
        // A node that names its tail in its last entry too: that entry.
        if (at == page.entries.size() && at && page.entries.back().child == page.tail)
            --at;
        const std::uint32_t child = at < page.entries.size() ? page.entries[at].child : page.tail;
        if (child == 0)
            damaged("node " + std::to_string(number) + " has no tail page");
        path.push_back({number, at});
        number = child;
    }
}

std::optional<IndexEntry> IndexWriter::lastOf(std::uint32_t number) {
    for (std::size_t depth = 0; depth < MaxDepth; ++depth) {
        const IndexPage& page = get(number);
        if (page.leaf)
            return page.entries.empty() ? std::nullopt : std::optional<IndexEntry>(page.entries.back());
        if (!page.entries.empty() && page.entries.back().child == page.tail)
            return page.entries.back();
        number = page.tail;
    }
    damaged("its tree is deeper than " + std::to_string(MaxDepth) + " levels");
}

// After the last entry under path's end changed: the parents' entries follow.
void IndexWriter::fixUp(std::vector<Step> path) {
    while (!path.empty()) {
        const Step step = path.back();
        path.pop_back();
        IndexPage& node = get(step.page);
        if (step.at == node.entries.size())
            continue;  // the tail: the node's own last entry changed
        IndexEntry& entry = node.entries[step.at];
        const std::optional<IndexEntry> last = lastOf(entry.child);
        if (!last || sameRow(*last, entry))
            return;
        takeRow(change(step.page).entries[step.at], *last);
        if (entry.child != node.tail)
            return;
    }
}

// Page `number` (reached through `path`) has gained an entry; splits it when
// it no longer fits.
void IndexWriter::place(std::vector<Step> path, std::uint32_t number, bool atEnd) {
    if (fits(get(number))) {
        fixUp(std::move(path));
        return;
    }
    if (path.empty()) {
        splitRoot(number);
        return;
    }
    IndexPage& left = change(number);
    const std::uint32_t fresh = pages_.newPage();
    pages_.setMapBit(index_.usageMap, fresh, true);
    IndexPage right;
    std::copy(std::begin(left.header), std::end(left.header), std::begin(right.header));
    right.leaf = left.leaf;
    right.owner = left.owner;
    const std::size_t k = splitPoint(left, atEnd && left.next == 0);
    right.entries.assign(left.entries.begin() + static_cast<std::ptrdiff_t>(k), left.entries.end());
    left.entries.resize(k);
    IndexEntry leftLast = left.entries.back();
    if (!left.leaf) {
        right.tail = left.tail;
        left.tail = leftLast.child;
        left.entries.pop_back();
    }
    right.prev = number;
    right.next = left.next;
    if (left.next)
        change(left.next).prev = fresh;
    left.next = fresh;
    const bool lastHere = right.leaf || right.entries.back().child == right.tail;
    IndexEntry rightLast = lastHere ? right.entries.back() : *lastOf(right.tail);
    cache_[fresh] = std::move(right);
    changed_[fresh] = true;

    const Step up = path.back();
    path.pop_back();
    IndexPage& parent = change(up.page);
    leftLast.child = number;
    rightLast.child = fresh;
    const bool parentAtEnd = up.at == parent.entries.size();
    if (up.at < parent.entries.size()) {
        parent.entries[up.at] = leftLast;
        parent.entries.insert(parent.entries.begin() + static_cast<std::ptrdiff_t>(up.at) + 1, rightLast);
        if (parent.tail == number)
            parent.tail = fresh;
    } else {
        parent.entries.push_back(leftLast);
        parent.tail = fresh;
    }
    place(std::move(path), up.page, parentAtEnd && atEnd);
}

void IndexWriter::splitRoot(std::uint32_t number) {
    IndexPage& root = change(number);
    std::uint32_t numbers[2];
    IndexPage halves[2];
    for (int i = 0; i < 2; ++i) {
        numbers[i] = pages_.newPage();
        pages_.setMapBit(index_.usageMap, numbers[i], true);
        std::copy(std::begin(root.header), std::end(root.header), std::begin(halves[i].header));
        halves[i].leaf = root.leaf;
        halves[i].owner = root.owner;
    }
    const std::size_t k = splitPoint(root, false);
    halves[0].entries.assign(root.entries.begin(), root.entries.begin() + static_cast<std::ptrdiff_t>(k));
    halves[1].entries.assign(root.entries.begin() + static_cast<std::ptrdiff_t>(k), root.entries.end());
    IndexEntry leftLast = halves[0].entries.back();
    if (!root.leaf) {
        halves[1].tail = root.tail;
        halves[0].tail = leftLast.child;
        halves[0].entries.pop_back();
    }
    halves[0].next = numbers[1];
    halves[1].prev = numbers[0];
    leftLast.child = numbers[0];
    root.leaf = false;
    root.entries = {leftLast};
    root.tail = numbers[1];
    root.prev = root.next = 0;
    for (int i = 0; i < 2; ++i) {
        cache_[numbers[i]] = std::move(halves[i]);
        changed_[numbers[i]] = true;
    }
}

// Takes the empty page `number` out of the tree.
void IndexWriter::leave(std::vector<Step> path, std::uint32_t number) {
    const IndexPage gone = get(number);
    if (gone.prev)
        change(gone.prev).next = gone.next;
    if (gone.next)
        change(gone.next).prev = gone.prev;
    cache_.erase(number);
    changed_.erase(number);
    pages_.setMapBit(index_.usageMap, number, false);
    pages_.freePage(number);

    const Step up = path.back();
    path.pop_back();
    IndexPage& parent = change(up.page);
    if (up.at < parent.entries.size()) {
        parent.entries.erase(parent.entries.begin() + static_cast<std::ptrdiff_t>(up.at));
        if (parent.tail == number)
            parent.tail = parent.entries.empty() ? 0 : parent.entries.back().child;
    } else if (parent.entries.empty()) {
        parent.tail = 0;
    } else {
        parent.tail = parent.entries.back().child;
        parent.entries.pop_back();
    }
    if (parent.tail != 0) {
        fixUp(std::move(path));
    } else if (path.empty()) {
        parent.leaf = true;  // the root, now an empty leaf
    } else {
        leave(std::move(path), up.page);
    }
}

// Whether the entry at `at` of leaf `leaf` holds `key`; -1 and the entry
// count stand for the neighbouring leaves' last and first entries.
bool IndexWriter::sameKeyAt(std::uint32_t leaf, std::ptrdiff_t at, const Bytes& key) {
    const IndexPage* page = &get(leaf);
    for (std::size_t hops = 0; hops < MaxDepth; ++hops) {
        if (at >= 0 && static_cast<std::size_t>(at) < page->entries.size())
            return page->entries[static_cast<std::size_t>(at)].key == key;
        const std::uint32_t next = at < 0 ? page->prev : page->next;
        if (next == 0)
            return false;
        page = &get(next);
        at = at < 0 ? static_cast<std::ptrdiff_t>(page->entries.size()) - 1 : 0;
    }
    return false;
}

bool IndexWriter::contains(const Bytes& key) {
    const IndexEntry target{key, 0, 0, 0};
    std::vector<Step> path;
    const std::uint32_t leaf = descend(target, path);
    const IndexPage& page = get(leaf);
    const auto at = std::lower_bound(page.entries.begin(), page.entries.end(), target, entryBefore) -
                    page.entries.begin();
    return sameKeyAt(leaf, at, key);
}

bool IndexWriter::insert(const Bytes& key, std::uint32_t row) {
    const IndexEntry target{key, format::pointerPage(row), format::pointerRow(row), 0};
    std::vector<Step> path;
    const std::uint32_t leaf = descend(target, path);
    IndexPage& page = change(leaf);
    const auto at = std::lower_bound(page.entries.begin(), page.entries.end(), target, entryBefore);
    if (at != page.entries.end() && sameRow(*at, target))
        damaged("it holds the entry of the record at page " + std::to_string(target.page) + ", row " +
                std::to_string(target.slot) + " twice");
    const std::ptrdiff_t pos = at - page.entries.begin();
    page.entries.insert(at, target);
    const bool seen = sameKeyAt(leaf, pos - 1, key) || sameKeyAt(leaf, pos + 1, key);
    place(std::move(path), leaf, static_cast<std::size_t>(pos) + 1 == page.entries.size());
    return seen;
}

bool IndexWriter::remove(const Bytes& key, std::uint32_t row) {
    const IndexEntry target{key, format::pointerPage(row), format::pointerRow(row), 0};
    std::vector<Step> path;
    const std::uint32_t leaf = descend(target, path);
    IndexPage& page = change(leaf);
    const auto at = std::lower_bound(page.entries.begin(), page.entries.end(), target, entryBefore);
    if (at == page.entries.end() || !sameRow(*at, target))
        damaged("it has no entry for the record at page " + std::to_string(target.page) + ", row " +
                std::to_string(target.slot) + " with the record's key");
    const std::ptrdiff_t pos = at - page.entries.begin();
    page.entries.erase(at);
    const bool still = sameKeyAt(leaf, pos - 1, key) || sameKeyAt(leaf, pos, key);
    if (page.entries.empty() && !path.empty())
        leave(std::move(path), leaf);
    else if (static_cast<std::size_t>(pos) == page.entries.size())
        fixUp(std::move(path));
    return still;
}

void IndexWriter::flush() {
    for (const auto& [number, yes] : changed_) {
        IndexPage& page = cache_.at(number);
        if (!fits(page, WholeRoom) || !page.encode(pages_.file().writablePage(number, who_.c_str())))
            damaged("the entries of index page " + std::to_string(number) + " do not fit it");
    }
    changed_.clear();
}

} // namespace zorvane::jet

#include "records/jet/IndexKey.h"
#include "records/jet/Row.h"

namespace zorvane::jet {

std::string rowIndexKey(PageFile& file, const TableDef& def, const RealIndexDef& real, const Bytes& row,
                        Bytes& out, int& firstNull, bool& allNull) {
    const RowSpan span{row.data(), row.size(), 0};
    std::vector<std::uint8_t> scratch;
    indexkey::KeyReport report;
    const std::string reason = indexkey::appendKey(def, real, [&](std::size_t column, std::u16string& text, ColumnBytes& bytes) {
        const Column& col = def.columns[column];
        if (col.type == format::TypeText || col.type == format::TypeMemo)
            return appendColumnText(file, def, col, span, text, scratch, def.label());
        bytes = locateColumn(file, def, col, span, def.label());
        return bytes.hasValue || col.type == format::TypeBoolean;
    }, out, report);
    firstNull = report.firstNull;
    allNull = report.allNull;
    return reason.empty() ? checkWrittenKeyLength(out) : indexkey::withField(def, report, reason);
}

std::string checkWrittenKeyLength(const Bytes& key) {
    if (key.size() <= MaxWrittenKeyBytes)
        return {};
    return "not encodable: it takes " + std::to_string(key.size()) + " bytes, more than the " +
           std::to_string(MaxWrittenKeyBytes) + " an index page can take twice";
}

} // namespace zorvane::jet
