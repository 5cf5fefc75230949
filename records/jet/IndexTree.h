#pragma once
// One index's tree of index pages, read from its root: the leaves' entries
// in order and every page it uses, with what does not hold together. The
// tree's layout: docs/jet4-format.md, "Index pages".

#include "records/jet/Catalog.h"
#include "records/jet/IndexPage.h"

#include <string>
#include <vector>

namespace zorvane::jet {

struct IndexTree {
    std::vector<IndexEntry> entries;     // the leaves' entries, in tree order
    std::vector<std::uint32_t> pages;    // every page of the tree, root first
    std::vector<std::string> problems;   // each a sentence without the file's name
};

// Reads index `real` (into def.realIndexDefs) of the table `def`, checking
// page types, owner, free space, links, tails, node entries and order.
// Throws nothing for damage; a page that cannot be read ends the walk below it.
IndexTree readIndexTree(PageFile& file, const TableDef& def, std::size_t real);

// Whether entry `a` sorts before `b` (key, then row).
bool entryBefore(const IndexEntry& a, const IndexEntry& b);

// The rows (row pointers) whose entries in index `real` hold exactly `key`,
// found by walking down from the root. Throws Error on a damaged page.
std::vector<std::uint32_t> findByKey(PageFile& file, const TableDef& def, std::size_t real, const Bytes& key);
// The rows whose entries' keys begin with `prefix` (the keys of an index's
// first fields), in key order, found the same way.
std::vector<std::uint32_t> findByKeyPrefix(PageFile& file, const TableDef& def, std::size_t real,
                                           const Bytes& prefix);

} // namespace zorvane::jet
