#pragma once
// The write side of one index's tree (IndexPage.h, IndexTree.h): adds and
// removes the entry of one row (its key and its home slot) through the
// command's PageSet, so that the journal covers every page changed. Layout,
// and how Access's pages differ from ours: docs/jet4-format.md, "Index pages".
//
// A page that overflows is split in two halves by bytes (or, when the new
// entry is the last of the whole level, only that entry goes to the new
// page, so that rows added in key order fill their pages); the new page is
// taken from the database's page map (a free page first, PageSet.h) and
// marked in the index's usage map, and the parent gains an entry, splitting
// in turn. The root keeps its page number: its contents move to two new
// pages and it becomes a node over them. A page that loses its last entry
// (the root aside) leaves the tree: its neighbours are linked past it, its
// parent drops it, and it is cleared in the index's usage map and marked
// free in the page map, for the next new page of any table to take, in this
// command or a later one. A node Access wrote with an entry for its tail is
// kept that way. Every page written shares the longest prefix its keys have
// in common.

#include "records/jet/Catalog.h"
#include "records/jet/IndexPage.h"
#include "records/jet/PageSet.h"
#include "records/jet/WriterLayout.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zorvane::jet {

class IndexWriter {
public:
    // Index `real` of `def`, through `pages` (its file's current command).
    IndexWriter(PageSet& pages, const TableDef& def, std::size_t real);

    // Adds the entry (`key`, `row`); returns whether another entry already
    // held `key`.
    bool insert(const Bytes& key, std::uint32_t row);
    // Removes the entry (`key`, `row`) (damage when there is none); returns
    // whether another entry still holds `key`.
    bool remove(const Bytes& key, std::uint32_t row);
    // Whether some entry holds `key`.
    bool contains(const Bytes& key);
    // Writes every changed page into the command.
    void flush();

private:
    struct Step {
        std::uint32_t page;
        std::size_t at;  // the entry followed, or entries.size() for the tail
    };
    IndexPage& get(std::uint32_t number);
    IndexPage& change(std::uint32_t number);
    std::uint32_t descend(const IndexEntry& target, std::vector<Step>& path);
    std::optional<IndexEntry> lastOf(std::uint32_t number);
    void fixUp(std::vector<Step> path);
    bool fits(IndexPage& page, std::size_t room = 0);
    void place(std::vector<Step> path, std::uint32_t number, bool atEnd);
    void splitRoot(std::uint32_t number);
    void leave(std::vector<Step> path, std::uint32_t number);
    bool sameKeyAt(std::uint32_t leaf, std::ptrdiff_t at, const Bytes& key);
    [[noreturn]] void damaged(const std::string& reason) const;

    PageSet& pages_;
    const TableDef& def_;
    const RealIndexDef& index_;
    std::string who_;
    std::map<std::uint32_t, IndexPage> cache_;
    std::map<std::uint32_t, bool> changed_;
};

} // namespace zorvane::jet

namespace zorvane::jet {

// The longest key written to an index: two entries of it fit one page, so
// that a split always makes room.
inline constexpr std::size_t MaxWrittenKeyBytes = (format::PageSize - writer::IndexEntriesOffset) / 2 - 8;
// "" when `key` is short enough to be written, else the reason.
std::string checkWrittenKeyLength(const Bytes& key);

// The key of index `real` for the row `row` (its text and fixed-size fields
// in the row itself): "" with the key appended to `out`, or why it is not
// encodable. `firstNull` gets the position in def.columns of the first key
// field that is null (-1: none), `allNull` whether all are. A key longer
// than MaxWrittenKeyBytes is refused too.
std::string rowIndexKey(PageFile& file, const TableDef& def, const RealIndexDef& real, const Bytes& row,
                        Bytes& out, int& firstNull, bool& allNull);

} // namespace zorvane::jet
