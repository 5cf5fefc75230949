#pragma once
// The rollback journal's layout: what a command saves beside the database file
// ("<file>-journal") before it touches the file, and how a journal read back
// is checked.
//
// The layout (a 64-byte header, then one entry per page the command changes
// that existed before it), the salt that tells this command's entries from an
// earlier one's, and how a journal is bound to the file it was written for
// (matches(): a journal that does not fit the file is set aside, never
// applied) are in docs/jet4-format.md ("The rollback journal").

#include <cstdint>
#include <optional>
#include <vector>

namespace zorvane::jet::journal {

inline constexpr std::size_t HeaderSize = 64;
inline constexpr std::size_t SectorSize = 512;

// A 64-bit digest that a torn or stale write changes (not cryptographic).
class Digest {
public:
    void add(const std::uint8_t* data, std::size_t length);
    void add32(std::uint32_t value);
    std::uint64_t value() const;

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
    std::uint64_t length_ = 0;
};

struct Contents {
    std::uint64_t sizeBefore = 0;
    std::uint64_t sizeAfter = 0;
    std::uint64_t afterDigest = 0;
    std::vector<std::uint32_t> pages;          // ascending
    std::vector<const std::uint8_t*> originals;  // into the journal's bytes
    std::vector<const std::uint8_t*> afterSectors;  // 8 digests each (layout 1: none)
    bool undo = false;  // marked for undo: the pages never count as in place
};

// Whether a file of `size` bytes whose page `pages[i]` reads `current(i)` can
// be the one the journal was written for (see above). `current` returns
// nullptr for a page that cannot be read.
bool sectorFits(const Contents& c, std::size_t entry, const std::uint8_t* page);
template <class Current>
bool matches(const Contents& c, std::uint64_t size, Current current) {
    const std::uint64_t largest = c.sizeAfter > c.sizeBefore ? c.sizeAfter : c.sizeBefore;
    if (size < c.sizeBefore || size > largest)
        return false;
    for (std::size_t i = 0; i < c.pages.size(); ++i) {
        const std::uint8_t* page = current(i);
        if (!page || !sectorFits(c, i, page))
            return false;
    }
    return true;
}

// The journal's bytes. `pages` ascending, `originals[i]` the bytes of
// `pages[i]` before the command, `afters[i]` after it (none given: the same
// as before); `salt` differs from every earlier command's.
std::vector<std::uint8_t> encode(std::uint64_t sizeBefore, std::uint64_t sizeAfter,
                                 std::uint64_t afterDigest, std::uint64_t salt,
                                 const std::vector<std::uint32_t>& pages,
                                 const std::vector<const std::uint8_t*>& originals,
                                 const std::vector<const std::uint8_t*>& afters = {});

// Whether `header` (at least HeaderSize bytes) starts a journal; a zeroed,
// torn or foreign one does not.
bool headerIsValid(const std::uint8_t* header);

// Marks encoded journal bytes (their header) so that the pages after the
// command never count as in place: the next open rolls the command back even
// if every page of it was written. For a command that failed after touching
// the file.
void markForUndo(std::uint8_t* header);

// The contents of a complete, intact journal; nothing for a zeroed, torn,
// short, empty or foreign one (one that ended at a commit, or was cut off
// while it was written, before the database file was touched).
std::optional<Contents> decode(const std::vector<std::uint8_t>& bytes);

} // namespace zorvane::jet::journal
