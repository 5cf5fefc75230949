#pragma once
// The rollback journal's layout: what a command saves beside the database file
// ("<file>-journal") before it touches the file, and how a journal read back
// is checked.
//
//   header (64 bytes)
//     0  magic "ZVJOURNL"
//     8  u32 layout version (2)      12  u32 page size
//    16  u64 file size before        24  u64 file size after the command
//    32  u32 number of entries       36  u32 flags (1: undo whatever was written)
//    40  u64 digest of the pages after the command (see afterDigest)
//    48  u64 salt of this command    56  u64 digest of bytes 0..55
//   entries, one per page the command changes that existed before it,
//   in ascending page order:
//     u32 page number, u32 zero, the page's bytes before the command,
//     8 x u64 digests of the page's eight 512-byte sectors after the command,
//     u64 digest of the salt and the preceding 4168 bytes
//   then possibly bytes of earlier commands, which count for nothing.
//
// A writer keeps one journal file for as long as it has the database open and
// writes each command's journal over the last one's, so the salt, new with
// every command, tells this command's entries from older ones a cut-off write
// left in place. At commit the header is zeroed, which ends the journal.
//
// Pages the command appends have no entry: cutting the file back to its size
// before the command removes them. The digest of the pages after the command
// tells a journal left behind by a finished command (its pages are all
// written and synced) from one whose command was cut off.
//
// The journal is bound to the file it was written for: at a crash every
// sector of a page the command writes holds either its bytes from before
// (which the entry keeps) or those from after (whose digest the entry keeps),
// and the file is no shorter than before the command nor longer than after
// it. A file that does not fit that (rebuilt, replaced by a copy, changed
// through another name) is not the journal's: matches() says so, and the
// journal is set aside instead of applied. (A journal of layout 1, left by an
// older build, is read too; it holds no digests of sectors and is applied.)

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
