#pragma once
// The structure check behind `zorvane-db check`: after any number of writes a
// file must still hold together the way Access lays it out.
//
//  - the database-wide page map (inline or reference, from any first page;
//    pages outside its reach count as in use) marks no page free that a
//    table uses;
//  - every table's usage map marks only data pages of that table (its long
//    values: only long-value pages), its map of pages with room only pages
//    it uses, and no page belongs to two owners;
//  - on every data page the rows lie inside the page without overlapping and
//    the free-space count is what they leave;
//  - every record decodes (long values included), its table's record count
//    is the number of its records, and every moved row is reached by exactly
//    one pointer, which leads to it;
//  - every index's tree holds together (links, tails, node entries, free
//    space, order), its usage map marks exactly its pages, and every live
//    row has exactly one entry with the row's key (IndexCheck.h);
//  - the catalog's own pages and usage map hold together like any table's,
//    and no data or usage-map page the database's page map marks in use is
//    left without an owner (a lost catalog page leaves its tables' pages so).
// A file that another program changes while it is checked throws ChangedError;
// one protected by a password not given throws RefusedError.

#include "records/jet/PageFile.h"

#include <string>
#include <vector>

namespace zorvane::jet {

// One sentence per problem found (naming the file), none for a sound file.
// Throws nothing for a damaged file; each problem is listed instead.
std::vector<std::string> checkDatabase(PageFile& file);

} // namespace zorvane::jet
