#include "records/jet/Journal.h"

#include "records/jet/Format.h"

#include <cstring>

namespace zorvane::jet::journal {

using namespace format;

namespace {

constexpr char Magic[8] = {'Z', 'V', 'J', 'O', 'U', 'R', 'N', 'L'};
constexpr std::uint32_t LayoutVersion = 2;
// Layout 1 (left by an older build) has no sector digests and marks an undo
// by an impossible size after: it is applied as it always was.
constexpr std::uint32_t LegacyVersion = 1;
constexpr std::size_t EntryHeader = 8;
constexpr std::size_t EntryDigest = 8;
constexpr std::size_t Sectors = PageSize / SectorSize;
constexpr std::size_t EntryBody = EntryHeader + PageSize + Sectors * 8;
constexpr std::size_t EntrySize = EntryBody + EntryDigest;
constexpr std::uint32_t FlagUndo = 1;

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

std::uint64_t digestOf(const std::uint8_t* data, std::size_t length) {
    Digest d;
    d.add(data, length);
    return d.value();
}

} // namespace

void Digest::add(const std::uint8_t* data, std::size_t length) {
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8)
        state_ = (state_ ^ le64(data + i)) * 0x100000001B3ull + (state_ >> 29);
    for (; i < length; ++i)
        state_ = (state_ ^ data[i]) * 0x100000001B3ull + (state_ >> 29);
    length_ += length;
}

void Digest::add32(std::uint32_t value) {
    std::uint8_t bytes[4];
    put32(bytes, value);
    add(bytes, sizeof bytes);
}

std::uint64_t Digest::value() const { return mix(state_ ^ mix(length_)); }

static std::uint64_t entryDigest(std::uint64_t salt, const std::uint8_t* entry,
                                 std::size_t body = EntryBody) {
    Digest d;
    std::uint8_t saltBytes[8];
    put64(saltBytes, salt);
    d.add(saltBytes, sizeof saltBytes);
    d.add(entry, body);
    return d.value();
}

std::vector<std::uint8_t> encode(std::uint64_t sizeBefore, std::uint64_t sizeAfter,
                                 std::uint64_t afterDigest, std::uint64_t salt,
                                 const std::vector<std::uint32_t>& pages,
                                 const std::vector<const std::uint8_t*>& originals,
                                 const std::vector<const std::uint8_t*>& afters) {
    std::vector<std::uint8_t> out(HeaderSize + pages.size() * EntrySize, 0);
    std::uint8_t* h = out.data();
    std::memcpy(h, Magic, sizeof Magic);
    put32(h + 8, LayoutVersion);
    put32(h + 12, static_cast<std::uint32_t>(PageSize));
    put64(h + 16, sizeBefore);
    put64(h + 24, sizeAfter);
    put32(h + 32, static_cast<std::uint32_t>(pages.size()));
    put64(h + 40, afterDigest);
    put64(h + 48, salt);
    put64(h + 56, digestOf(h, 56));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        std::uint8_t* e = out.data() + HeaderSize + i * EntrySize;
        put32(e, pages[i]);
        std::memcpy(e + EntryHeader, originals[i], PageSize);
        const std::uint8_t* after = i < afters.size() ? afters[i] : originals[i];
        for (std::size_t s = 0; s < Sectors; ++s)
            put64(e + EntryHeader + PageSize + 8 * s, digestOf(after + s * SectorSize, SectorSize));
        put64(e + EntryBody, entryDigest(salt, e));
    }
    return out;
}

void markForUndo(std::uint8_t* header) {
    put32(header + 36, le32(header + 36) | FlagUndo);
    put64(header + 56, digestOf(header, 56));
}

bool headerIsValid(const std::uint8_t* h) {
    return std::memcmp(h, Magic, sizeof Magic) == 0 &&
           (le32(h + 8) == LayoutVersion || le32(h + 8) == LegacyVersion) &&
           le32(h + 12) == PageSize && le64(h + 56) == digestOf(h, 56);
}

std::optional<Contents> decode(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < HeaderSize || !headerIsValid(bytes.data()))
        return std::nullopt;
    const std::uint8_t* h = bytes.data();
    const std::uint64_t salt = le64(h + 48);
    Contents c;
    c.sizeBefore = le64(h + 16);
    c.sizeAfter = le64(h + 24);
    c.afterDigest = le64(h + 40);
    const std::uint64_t count = le32(h + 32);
    const bool legacy = le32(h + 8) == LegacyVersion;
    const std::size_t body = legacy ? EntryHeader + PageSize : EntryBody;
    c.undo = (le32(h + 36) & FlagUndo) != 0 || (legacy && c.sizeAfter == ~std::uint64_t(0));
    if (bytes.size() < HeaderSize + count * (body + EntryDigest))
        return std::nullopt;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* e = bytes.data() + HeaderSize + i * (body + EntryDigest);
        if (le64(e + body) != entryDigest(salt, e, body))
            return std::nullopt;
        // Pages ascending, each inside the file as it was before the command.
        const std::uint32_t page = le32(e);
        if ((!c.pages.empty() && page <= c.pages.back()) || (std::uint64_t(page) + 1) * PageSize > c.sizeBefore)
            return std::nullopt;
        c.pages.push_back(page);
        c.originals.push_back(e + EntryHeader);
        c.afterSectors.push_back(legacy ? nullptr : e + EntryHeader + PageSize);
    }
    return c;
}

bool sectorFits(const Contents& c, std::size_t entry, const std::uint8_t* page) {
    if (!c.afterSectors[entry])
        return true;  // layout 1 cannot tell
    for (std::size_t s = 0; s < Sectors; ++s) {
        const std::uint8_t* sector = page + s * SectorSize;
        if (std::memcmp(sector, c.originals[entry] + s * SectorSize, SectorSize) != 0 &&
            digestOf(sector, SectorSize) != le64(c.afterSectors[entry] + 8 * s))
            return false;
    }
    return true;
}

} // namespace zorvane::jet::journal
