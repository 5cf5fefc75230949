#include "records/jet/IndexPage.h"

#include "records/jet/Error.h"
#include "records/jet/WriterLayout.h"

#include <algorithm>
#include <cstring>

namespace zorvane::jet {

using namespace format;
using namespace writer;

namespace {
constexpr std::size_t MaskBytes = IndexEntriesOffset - IndexEntryMaskOffset;
constexpr std::size_t EntryRoom = PageSize - IndexEntriesOffset;

std::uint32_t be(const std::uint8_t* p, std::size_t n) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}
void putBe(std::uint8_t* p, std::uint32_t v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * (n - 1 - i)));
}
} // namespace

IndexPage IndexPage::decode(const std::uint8_t* bytes, std::uint32_t number, const std::string& what) {
    auto damaged = [&](const std::string& reason) {
        throw Error(what + " is damaged: index page " + std::to_string(number) + " " + reason + ".");
    };
    if (bytes[0] != PageIndexLeaf && bytes[0] != PageIndexNode)
        damaged("is no index page");
    IndexPage p;
    std::memcpy(p.header, bytes, sizeof p.header);
    p.leaf = bytes[0] == PageIndexLeaf;
    p.freeSpace = le16(bytes + DataFreeSpaceOffset);
    p.owner = le32(bytes + IndexParentOffset);
    p.prev = le32(bytes + IndexPrevOffset);
    p.next = le32(bytes + IndexNextOffset);
    p.tail = le32(bytes + IndexTailOffset);
    p.prefixLength = le16(bytes + IndexPrefixOffset);
    const std::size_t tailBytes = p.leaf ? 4 : 8;
    std::size_t start = 0;
    for (std::size_t bit = 0; bit < MaskBytes * 8; ++bit) {
        if (!(bytes[IndexEntryMaskOffset + bit / 8] >> (bit % 8) & 1))
            continue;
        if (bit > EntryRoom)
            damaged("marks an entry end past the page");
        const std::uint8_t* e = bytes + IndexEntriesOffset + start;
        const std::size_t length = bit - start;
        const std::size_t shared = p.entries.empty() ? 0 : p.prefixLength;
        if (length < tailBytes + (p.entries.empty() ? 1 : 0))
            damaged("holds an entry too short for its row pointer");
        IndexEntry entry;
        if (shared) {
            if (p.entries.front().key.size() < shared)
                damaged("shares a prefix longer than its first key");
            entry.key.assign(p.entries.front().key.begin(), p.entries.front().key.begin() + shared);
        }
        entry.key.insert(entry.key.end(), e, e + (length - tailBytes));
        entry.page = be(e + length - tailBytes, 3);
        entry.slot = e[length - tailBytes + 3];
        if (!p.leaf)
            entry.child = be(e + length - 4, 4);
        p.entries.push_back(std::move(entry));
        start = bit;
    }
    if (!p.entries.empty() && p.entries.front().key.size() < p.prefixLength)
        damaged("shares a prefix longer than its first key");
    return p;
}

std::size_t IndexPage::entryBytes() const {
    std::size_t total = 0;
    for (std::size_t i = 0; i < entries.size(); ++i)
        total += entries[i].key.size() - (i ? prefixLength : 0) + (leaf ? 4 : 8);
    return total;
}

std::size_t IndexPage::computedFreeSpace() const {
    const std::size_t used = entryBytes();
    return used > EntryRoom ? 0 : EntryRoom - used;
}

bool IndexPage::encode(std::uint8_t* bytes) const {
    for (const IndexEntry& e : entries)
        if (e.key.size() < prefixLength ||
            !std::equal(e.key.begin(), e.key.begin() + prefixLength, entries.front().key.begin()))
            return false;
    if (entryBytes() > EntryRoom)
        return false;
    std::memset(bytes, 0, PageSize);
    std::memcpy(bytes, header, sizeof header);
    bytes[0] = leaf ? PageIndexLeaf : PageIndexNode;
    put16(bytes + DataFreeSpaceOffset, static_cast<std::uint16_t>(computedFreeSpace()));
    put32(bytes + IndexParentOffset, owner);
    put32(bytes + IndexPrevOffset, prev);
    put32(bytes + IndexNextOffset, next);
    put32(bytes + IndexTailOffset, tail);
    put16(bytes + IndexPrefixOffset, prefixLength);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IndexEntry& e = entries[i];
        const std::size_t skip = i ? prefixLength : 0;
        std::uint8_t* out = bytes + IndexEntriesOffset + pos;
        std::memcpy(out, e.key.data() + skip, e.key.size() - skip);
        out += e.key.size() - skip;
        putBe(out, e.page, 3);
        out[3] = e.slot;
        if (!leaf)
            putBe(out + 4, e.child, 4);
        pos += e.key.size() - skip + (leaf ? 4 : 8);
        setBit(bytes + IndexEntryMaskOffset, pos, true);
    }
    return true;
}

} // namespace zorvane::jet
