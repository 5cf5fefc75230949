#pragma once
// Index pages (Jet 4): the one codec of leaf (type 0x04) and node (0x03)
// pages. After a 27-byte header comes a bitmap of entry ends (bit n set: an
// entry ends n bytes into the entries) and, from 0x1E0, the entries in key
// order. An entry is its key, then the row it stands for (3-byte page, most
// significant byte first, and 1-byte slot); a node entry then names its
// child page (4 bytes, most significant first) and holds that child's last
// key. A node's last child has no entry: the page's tail pointer names it.
// Every entry but the first leaves out the first `prefixLength` bytes of
// its key, which all keys of the page share (Access chooses that length;
// pages it has just made often have 0).

#include "records/jet/DataPage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet {

struct IndexEntry {
    Bytes key;                 // the whole key, the shared prefix included
    std::uint32_t page = 0;    // the row: data page and slot
    std::uint8_t slot = 0;
    std::uint32_t child = 0;   // node entries: the child page
    bool operator==(const IndexEntry&) const = default;
};

struct IndexPage {
    std::uint8_t header[27] = {};  // as read; the fields below are written over it
    bool leaf = true;
    std::uint16_t freeSpace = 0;   // as recorded
    std::uint32_t owner = 0;       // the table definition page
    std::uint32_t prev = 0, next = 0, tail = 0;
    std::uint16_t prefixLength = 0;
    std::vector<IndexEntry> entries;

    // Reads an index page; throws Error naming `what` and the page when it
    // is no index page or its entries do not fit together.
    static IndexPage decode(const std::uint8_t* bytes, std::uint32_t number, const std::string& what);
    // Bytes the entries take on the page.
    std::size_t entryBytes() const;
    // The free space the entries leave.
    std::size_t computedFreeSpace() const;
    // Writes the page (free space computed); false when the entries do not
    // fit or do not share the prefix.
    bool encode(std::uint8_t* bytes) const;
};

// The row an entry stands for, as a row pointer.
inline std::uint32_t entryRow(const IndexEntry& e) { return format::makePointer(e.page, e.slot); }

} // namespace zorvane::jet
