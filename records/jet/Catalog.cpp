#include "records/jet/Catalog.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/ValueText.h"

#include <algorithm>
#include <cstring>

namespace zorvane::jet {

using namespace format;

namespace {
std::u16string& givenPassword() {
    static std::u16string password;
    return password;
}
} // namespace

void setGivenPassword(const std::u16string& password) { givenPassword() = password; }

std::u16string databasePassword(const std::uint8_t* page0) {
    std::uint8_t h[HeaderMaskLength];
    std::memcpy(h, page0 + HeaderMaskOffset, HeaderMaskLength);
    rc4(HeaderMaskKey, sizeof HeaderMaskKey, h, HeaderMaskLength);
    double created = 0;
    const std::uint64_t bits = le64(h + (HeaderCreationDateOffset - HeaderMaskOffset));
    std::memcpy(&created, &bits, sizeof created);
    std::uint8_t mask[4] = {};
    if (created > -2e9 && created < 2e9)
        put32(mask, static_cast<std::uint32_t>(static_cast<std::int32_t>(created)));
    std::u16string password;
    const std::uint8_t* p = h + (HeaderPasswordOffset - HeaderMaskOffset);
    for (std::size_t i = 0; i < 40; i += 2)
        password.push_back(static_cast<char16_t>((p[i] ^ mask[i % 4]) |
                                                 ((p[i + 1] ^ mask[(i + 1) % 4]) << 8)));
    while (!password.empty() && password.back() == u'\0')
        password.pop_back();
    return password;
}

void checkHeader(PageFile& file) {
    if (file.pageCount() == 0) {
        if (file.fileSize() == 0)
            file.fail("the file is empty, not an Access database");
        file.fail("the file is too short to be an Access database (" +
                  std::to_string(file.fileSize()) + " bytes)");
    }
    const std::uint8_t* page = file.page(0);
    const bool magicJet = std::memcmp(page + HeaderMagicOffset, HeaderMagicJet,
                                      HeaderMagicLength) == 0;
    const bool magicAce = std::memcmp(page + HeaderMagicOffset, HeaderMagicAce,
                                      HeaderMagicLength) == 0;
    if (page[0] != PageHeader || (!magicJet && !magicAce))
        file.fail("this is not an Access database file (no Jet header)");
    const std::uint32_t version = le32(page + HeaderVersionOffset);
    if (magicAce || version >= 2)
        file.fail("this is an Access 2007 or later (.accdb) database; only Access 2000 "
                  "(Jet 4) files can be read");
    if (version == VersionJet3)
        file.fail("this is an Access 97 (Jet 3) database; only Access 2000 (Jet 4) files "
                  "can be read");
    std::uint8_t masked[HeaderMaskLength];
    std::memcpy(masked, page + HeaderMaskOffset, HeaderMaskLength);
    rc4(HeaderMaskKey, sizeof HeaderMaskKey, masked, HeaderMaskLength);
    if (le32(masked + (HeaderDatabaseKeyOffset - HeaderMaskOffset)) != 0)
        file.fail("the database is encrypted, which is not supported");
    const std::u16string password = databasePassword(page);
    if (!password.empty() && password != givenPassword())
        throw RefusedError(file.path() + ": " +
                           (givenPassword().empty()
                                ? "the database is protected by a password, so it cannot be opened "
                                  "without it."
                                : "the password given is not the database's password."));
    if (file.pageCount() <= CatalogTableDefPage)
        file.fail("the file is truncated: it ends before the catalog (" +
                  std::to_string(file.fileSize()) + " bytes)");
}

bool Column::fixed() const { return (flags & ColumnFlagFixed) != 0; }

bool TableDef::hasVarColumns() const {
    if (varColumns > 0)
        return true;
    return std::any_of(columns.begin(), columns.end(),
                       [](const Column& c) { return !c.fixed(); });
}

std::string TableDef::label() const { return "table \"" + name + "\""; }

namespace {

std::string nameFrom(const std::uint8_t* data, std::size_t length) {
    std::u16string text;
    appendStoredText(data, length, text);
    return toUtf8(text);
}

} // namespace

TableDef readTableDef(PageFile& file, std::uint32_t page, const std::string& name) {
    TableDef def;
    def.name = name;
    def.page = page;
    const std::string what = def.label();
    auto damaged = [&](const std::string& reason) {
        file.fail(what + " is damaged: " + reason);
    };

    // Gather the definition's pages into one buffer; the continuation pages
    // each repeat an 8-byte page header. The chain is bounded by the file.
    std::vector<std::uint8_t> buffer;
    std::vector<bool> seen(file.pageCount(), false);
    std::uint32_t current = page;
    while (true) {
        const std::uint8_t* bytes = file.page(current, what.c_str());
        if (bytes[0] != PageTableDef)
            damaged("page " + std::to_string(current) + " is not a table definition page");
        if (seen[current])
            damaged("its definition pages form a loop");
        seen[current] = true;
        if (buffer.empty())
            buffer.insert(buffer.end(), bytes, bytes + PageSize);
        else
            buffer.insert(buffer.end(), bytes + TdefPageHeaderSize, bytes + PageSize);
        const std::uint32_t next = le32(bytes + TdefNextPageOffset);
        if (next == 0)
            break;
        current = next;
    }

    const std::uint8_t* b = buffer.data();
    const std::size_t size = buffer.size();
    def.maxColumns = le16(b + TdefMaxColumnsOffset);
    def.varColumns = le16(b + TdefVarColumnsOffset);
    const std::uint16_t columnCount = le16(b + TdefColumnCountOffset);
    const std::uint32_t realIndexes = le32(b + TdefRealIndexCountOffset);
    def.usedPages = le32(b + TdefUsedPagesOffset);
    def.storedRows = le32(b + TdefRowCountOffset);
    def.system = b[TdefTableTypeOffset] != TableTypeUser;
    if (columnCount == 0)
        damaged("it has no columns");
    if (realIndexes > 1000)
        damaged("its index count is impossible");

    std::size_t pos = TdefBlockEnd + static_cast<std::size_t>(realIndexes) * TdefRealIndexEntrySize;
    const std::size_t descriptors = pos;
    if (descriptors + static_cast<std::size_t>(columnCount) * ColumnDescriptorSize > size)
        damaged("its column descriptions run past the definition");
    pos = descriptors + static_cast<std::size_t>(columnCount) * ColumnDescriptorSize;
    def.columns.reserve(columnCount);
    for (std::uint16_t i = 0; i < columnCount; ++i) {
        const std::uint8_t* d = b + descriptors + static_cast<std::size_t>(i) * ColumnDescriptorSize;
        Column c;
        c.type = d[ColType];
        c.number = le16(d + ColNumber);
        c.varIndex = le16(d + ColVarIndex);
        c.flags = d[ColFlags];
        c.miscFlags = d[ColMiscFlags];
        c.fixedOffset = le16(d + ColFixedOffset);
        c.length = le16(d + ColLength);
        c.precision = d[ColMisc];
        c.scale = d[ColMisc + 1];
        if (pos + 2 > size)
            damaged("its column names run past the definition");
        const std::uint16_t nameLength = le16(b + pos);
        pos += 2;
        if (pos + nameLength > size)
            damaged("its column names run past the definition");
        c.name = nameFrom(b + pos, nameLength);
        pos += nameLength;
        def.columns.push_back(std::move(c));
    }
    // Columns read in the order of their numbers (the order the table shows).
    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const Column& a, const Column& b2) { return a.number < b2.number; });
    return def;
}

std::uint16_t rowSlotCount(PageFile& file, const std::uint8_t* bytes, std::uint32_t page,
                           const std::string& what) {
    const std::uint16_t count = le16(bytes + DataRowCountOffset);
    if (DataRowTableOffset + static_cast<std::size_t>(count) * 2 > PageSize)
        file.fail(what + " is damaged: the row table of page " + std::to_string(page) +
                  " runs off the page");
    return count;
}

RowSpan rowAt(PageFile& file, const std::uint8_t* bytes, std::uint32_t page, std::uint16_t slot,
              const std::string& what) {
    const std::uint16_t count = rowSlotCount(file, bytes, page, what);
    if (slot >= count)
        file.fail(what + " is damaged: page " + std::to_string(page) + " has no row " +
                  std::to_string(slot));
    const std::uint16_t entry = le16(bytes + DataRowTableOffset + 2 * static_cast<std::size_t>(slot));
    const std::size_t start = entry & RowOffsetMask;
    const std::size_t end =
        slot == 0 ? PageSize
                  : (le16(bytes + DataRowTableOffset + 2 * static_cast<std::size_t>(slot - 1)) &
                     RowOffsetMask);
    const std::size_t tableEnd = DataRowTableOffset + static_cast<std::size_t>(count) * 2;
    RowSpan span;
    span.flags = entry & (RowDeletedFlag | RowOverflowFlag);
    if (start < tableEnd || end > PageSize || start > end) {
        // The bounds of a deleted row or a moved row's pointer do not matter;
        // neither is read as a row.
        if (span.flags & RowOverflowFlag)
            return span;
        file.fail(what + " is damaged: row " + std::to_string(slot) + " of page " +
                  std::to_string(page) + " lies outside its page");
    }
    span.data = bytes + start;
    span.length = end - start;
    return span;
}

RowSpan rowAtPointer(PageFile& file, std::uint32_t pointer, const std::string& what) {
    const std::uint32_t page = pointerPage(pointer);
    const std::uint8_t* bytes = file.page(page, what.c_str());
    if (bytes[0] != PageData)
        file.fail(what + " is damaged: page " + std::to_string(page) + " is not a data page");
    RowSpan span = rowAt(file, bytes, page, pointerRow(pointer), what);
    if (!span.data)
        file.fail(what + " is damaged: row " + std::to_string(pointerRow(pointer)) + " of page " +
                  std::to_string(page) + " lies outside its page");
    return span;
}

std::vector<std::uint32_t> usageMapPages(PageFile& file, std::uint32_t pointer,
                                         const std::string& what) {
    const RowSpan map = rowAtPointer(file, pointer, what);
    std::vector<std::uint32_t> pages;
    const std::uint32_t limit = file.pageCount();
    auto addBits = [&](const std::uint8_t* bits, std::size_t bytes, std::uint64_t first) {
        for (std::size_t i = 0; i < bytes; ++i) {
            if (!bits[i])
                continue;
            for (int bit = 0; bit < 8; ++bit) {
                if (!(bits[i] & (1u << bit)))
                    continue;
                const std::uint64_t number = first + i * 8 + static_cast<unsigned>(bit);
                if (number >= limit)  // a table's pages all lie inside the file
                    file.page(static_cast<std::uint32_t>(std::min<std::uint64_t>(number, 0xFFFFFFFFu)),
                              what.c_str());
                pages.push_back(static_cast<std::uint32_t>(number));
            }
        }
    };
    if (map.length < 1)
        file.fail(what + " is damaged: its page usage map is empty");
    if (map.data[0] == UsageMapInline) {
        if (map.length < UsageMapInlineBitmap)
            file.fail(what + " is damaged: its page usage map is cut short");
        addBits(map.data + UsageMapInlineBitmap, map.length - UsageMapInlineBitmap,
                le32(map.data + UsageMapInlineStart));
    } else if (map.data[0] == UsageMapReference) {
        const std::size_t entries = (map.length - 1) / 4;
        for (std::size_t j = 0; j < entries; ++j) {
            const std::uint32_t mapPage = le32(map.data + 1 + 4 * j);
            if (mapPage == 0)
                continue;
            const std::uint8_t* bytes = file.page(mapPage, what.c_str());
            if (bytes[0] != PageUsageMap)
                file.fail(what + " is damaged: page " + std::to_string(mapPage) +
                          " is not a page usage map");
            addBits(bytes + UsageMapPageBitmap, PageSize - UsageMapPageBitmap,
                    static_cast<std::uint64_t>(j) * UsageMapPagePages);
        }
    } else {
        file.fail(what + " is damaged: its page usage map has unknown type " +
                  std::to_string(map.data[0]));
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

} // namespace zorvane::jet
