#pragma once
// Index pages (Jet 4): the one codec of leaf (type 0x04) and node (0x03)
// pages. The layout (header, bitmap of entry ends, entries from 0x1E0, the
// shared prefix, a node's tail) and what Access does with it are in
// docs/jet4-format.md ("Index pages").

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
