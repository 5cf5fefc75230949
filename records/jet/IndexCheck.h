#pragma once
// The index half of the structure check (DatabaseCheck.h): an index's pages
// against its usage map, and its entries against the table's rows: every
// live row has exactly one entry, at its home slot (a row that moved keeps
// its entry there), holding the key made from the row (IndexKey.h), unless
// the index ignores nulls and every key field is null. A key that cannot be
// made here (a character whose code Access's keys have not shown) is not
// compared; the entry must still be there.

#include "records/jet/IndexTree.h"
#include "records/jet/Table.h"

#include <set>
#include <string>
#include <vector>

namespace zorvane::jet {

// Adds a sentence to `problems` (without the file's name) per page the tree
// uses that `mapped` (its usage map's pages) lacks, and per mapped page it
// does not use.
void compareIndexPages(const std::string& who, const IndexTree& tree, const std::set<std::uint32_t>& mapped,
                       std::vector<std::string>& problems);
// Adds a sentence per row whose entry in index `real` is missing, doubled
// or wrong, and per entry that stands for no row.
void compareIndexEntries(Table& table, std::size_t real, const IndexTree& tree, std::vector<std::string>& problems);

} // namespace zorvane::jet
