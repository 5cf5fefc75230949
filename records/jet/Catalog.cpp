#include "records/jet/Catalog.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/ValueText.h"
#include "records/jet/WriterLayout.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace zorvane::jet {

using namespace format;
using namespace writer;

namespace {

// The database password (empty: none) in `h`, the header's masked stretch
// unmasked: 40 bytes at 0x42, UCS-2 under a mask of the creation date's days.
std::u16string databasePassword(std::uint8_t* h) {
    std::uint8_t* p = h + (HeaderPasswordOffset - HeaderMaskOffset);
    maskPassword(p, std::bit_cast<double>(le64(h + (HeaderCreationDateOffset - HeaderMaskOffset))));
    std::u16string password;
    for (std::size_t i = 0; i < HeaderPasswordLength; i += 2)
        password.push_back(static_cast<char16_t>(le16(p + i)));
    while (!password.empty() && password.back() == u'\0')
        password.pop_back();
    return password;
}
} // namespace

void maskPassword(std::uint8_t* password, double created) {
    std::uint8_t mask[4] = {};
    if (created > -2e9 && created < 2e9)
        put32(mask, static_cast<std::uint32_t>(static_cast<std::int32_t>(created)));
    for (std::size_t i = 0; i < HeaderPasswordLength; ++i)
        password[i] ^= mask[i % 4];
}

void checkHeader(PageFile& file) {
    if (file.pageCount() == 0) {
        if (file.fileSize() == 0)
            file.fail("the file is empty, not an Access database");
        file.fail("the file is too short to be an Access database (" +
                  std::to_string(file.fileSize()) + " bytes)");
    }
    const std::uint8_t* page = file.page(0);
    const bool magicJet = std::memcmp(page + HeaderMagicOffset, HeaderMagicJet, HeaderMagicLength) == 0;
    const bool magicAce = std::memcmp(page + HeaderMagicOffset, HeaderMagicAce, HeaderMagicLength) == 0;
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
    const std::u16string password = databasePassword(masked);
    const std::u16string& given = file.options().password;
    if (!password.empty() && password != given)
        throw RefusedError(file.path() + ": " +
                           (given.empty()
                                ? "the database is protected by a password, so it cannot be opened "
                                  "without it."
                                : "the password given is not the database's password."));
    if (file.pageCount() <= CatalogTableDefPage)
        file.fail("the file is truncated: it ends before the catalog (" +
                  std::to_string(file.fileSize()) + " bytes)");
}

bool TableDef::hasVarColumns() const {
    return varColumns > 0 || std::any_of(columns.begin(), columns.end(), [](const Column& c) { return !c.fixed(); });
}

std::string TableDef::label() const { return "table \"" + name + "\""; }

namespace {

// The name stored at `pos` (a 2-byte byte length, then the text); moves `pos`
// past it.
template <typename Damaged>
std::u16string readName(const std::uint8_t* b, std::size_t size, std::size_t& pos, const Damaged& damaged,
                        const char* reason) {
    if (pos + 2 > size || pos + 2 + le16(b + pos) > size)
        damaged(reason);
    std::u16string name;
    appendStoredText(b + pos + 2, le16(b + pos), name);
    pos += 2 + le16(b + pos);
    return name;
}

// Reads the real and logical index definitions that start at `pos` (the
// per-index counters at `counters`); returns the position after the
// logical indexes' names.
template <typename Damaged>
std::size_t readIndexDefs(TableDef& def, const std::uint8_t* b, std::size_t size, std::size_t counters,
                          std::size_t pos, const Damaged& damaged) {
    if (pos + def.realIndexes * RealIndexDefinitionSize + def.logicalIndexes * LogicalIndexDefinitionSize > size)
        damaged("its index definitions run past the definition");
    for (std::size_t i = 0; i < def.realIndexes; ++i, pos += RealIndexDefinitionSize) {
        const std::uint8_t* r = b + pos;
        RealIndexDef real;
        real.leadCount = le32(b + counters + i * TdefRealIndexEntrySize);
        real.rowCount = le32(b + counters + i * TdefRealIndexEntrySize + 4);
        for (std::size_t k = 0; k < IndexColumnSlots; ++k) {
            const std::uint16_t number = le16(r + 4 + 3 * k);
            if (number == 0xFFFF)
                continue;
            if (def.columnOfNumber(number) < 0)
                damaged("index " + std::to_string(i) + " names field number " + std::to_string(number) +
                        ", which the table lacks");
            real.columns.push_back(number);
            real.descending.push_back((r[6 + 3 * k] & IndexAscending) == 0);
        }
        real.usageMap = le32(r + 34);
        real.rootPage = le32(r + 38);
        real.flags = r[46];
        def.realIndexDefs.push_back(std::move(real));
    }
    for (std::size_t i = 0; i < def.logicalIndexes; ++i, pos += LogicalIndexDefinitionSize) {
        const std::uint8_t* l = b + pos;
        LogicalIndexDef logical;
        logical.number = le32(l + 4);
        logical.realIndex = le32(l + 8);
        logical.type = l[23];
        if (logical.realIndex >= def.realIndexes)
            damaged("logical index " + std::to_string(i) + " uses index " + std::to_string(logical.realIndex) +
                    ", which the table lacks");
        def.logicalIndexDefs.push_back(std::move(logical));
    }
    for (LogicalIndexDef& logical : def.logicalIndexDefs)
        logical.name = readName(b, size, pos, damaged, "its index names run past the definition");
    return pos;
}

} // namespace

int TableDef::columnOfNumber(std::uint16_t number) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].number == number)
            return static_cast<int>(i);
    return -1;
}

std::string TableDef::indexLabel(std::size_t real) const {
    std::string names;
    for (const LogicalIndexDef& l : logicalIndexDefs)
        if (l.realIndex == real)
            names += (names.empty() ? "\"" : " / \"") + toUtf8(l.name) + "\"";
    return "index " + (names.empty() ? std::to_string(real) : names);
}

TableDef readTableDef(PageFile& file, std::uint32_t page, const std::string& name) {
    TableDef def;
    def.name = name;
    def.page = page;
    const std::string what = def.label();
    auto damaged = [&](const std::string& reason) {
        file.fail(what + " is damaged: " + reason);
    };
    if (page == 0)  // the header (and 0 would end the chain before it began)
        damaged("page 0 is not a table definition page");

    // Gather the definition's pages into one buffer; the continuation pages
    // each repeat an 8-byte page header.
    Bytes buffer;
    for (std::uint32_t current = page; current != 0;) {
        const std::uint8_t* bytes = file.page(current, what.c_str());
        if (bytes[0] != PageTableDef)
            damaged("page " + std::to_string(current) + " is not a table definition page");
        if (std::find(def.pages.begin(), def.pages.end(), current) != def.pages.end())
            damaged("its definition pages form a loop");
        def.pages.push_back(current);
        buffer.insert(buffer.end(), bytes + (buffer.empty() ? 0 : TdefPageHeaderSize), bytes + PageSize);
        current = le32(bytes + TdefNextPageOffset);
    }

    const std::uint8_t* b = buffer.data();
    const std::size_t size = buffer.size();
    def.maxColumns = le16(b + TdefMaxColumnsOffset);
    def.varColumns = le16(b + TdefVarColumnsOffset);
    const std::uint16_t columnCount = le16(b + TdefColumnCountOffset);
    def.logicalIndexes = le32(b + TdefIndexCountOffset);
    def.realIndexes = le32(b + TdefRealIndexCountOffset);
    def.usedPages = le32(b + TdefUsedPagesOffset);
    def.freePages = le32(b + TdefFreePagesOffset);
    def.storedRows = le32(b + TdefRowCountOffset);
    def.system = b[TdefTableTypeOffset] != TableTypeUser;
    if (columnCount == 0)
        damaged("it has no columns");
    if (def.realIndexes > 1000)
        damaged("its index count is impossible");

    const std::size_t descriptors = TdefBlockEnd + std::size_t{def.realIndexes} * TdefRealIndexEntrySize;
    std::size_t pos = descriptors + std::size_t{columnCount} * ColumnDescriptorSize;
    if (pos > size)
        damaged("its column descriptions run past the definition");
    def.columns.reserve(columnCount);
    for (std::uint16_t i = 0; i < columnCount; ++i) {
        const std::uint8_t* d = b + descriptors + static_cast<std::size_t>(i) * ColumnDescriptorSize;
        Column c;
        c.type = d[ColType];
        c.number = le16(d + ColNumber);
        c.varIndex = le16(d + ColVarIndex);
        c.number2 = le16(d + ColNumber2);
        c.flags = d[ColFlags];
        c.miscFlags = d[ColMiscFlags];
        c.fixedOffset = le16(d + ColFixedOffset);
        c.length = le16(d + ColLength);
        c.precision = d[ColMisc];
        c.scale = d[ColMisc + 1];
        c.sortOrder = le16(d + ColMisc);
        c.sortVersion = d[ColMisc + 3];
        c.name = toUtf8(readName(b, size, pos, damaged, "its column names run past the definition"));
        def.columns.push_back(std::move(c));
    }
    if (def.logicalIndexes > 1000)
        damaged("its index count is impossible");
    pos = readIndexDefs(def, b, size, descriptors - std::size_t{def.realIndexes} * TdefRealIndexEntrySize, pos,
                        damaged);
    for (; pos + 10 <= size && le16(b + pos) != 0xFFFF; pos += 10)
        def.longValueMaps.push_back({le16(b + pos), le32(b + pos + 2), le32(b + pos + 6)});
    // Columns read in the order of their numbers (the order the table shows).
    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const Column& a, const Column& b2) { return a.number < b2.number; });
    return def;
}

const LongValueMaps* TableDef::longValueMapsOf(std::uint16_t column) const {
    for (const LongValueMaps& m : longValueMaps)
        if (m.column == column)
            return &m;
    return nullptr;
}

Bytes TableDef::encode() const {
    const TableDef& t = *this;
    Bytes out(TdefBlockEnd, 0);
    std::uint8_t* h = out.data();
    h[0] = PageTableDef;
    h[1] = 0x01;
    put32(h + 0x0C, TableMagic);
    put32(h + TdefRowCountOffset, t.storedRows);
    put32(h + TdefAutoNumberOffset, t.autoNumber);
    h[TdefAutoNumberFlagOffset] = 0x01;
    h[TdefTableTypeOffset] = t.system ? TableTypeSystem : TableTypeUser;
    const auto columnCount = static_cast<std::uint16_t>(t.columns.size());
    const auto varColumns =
        std::count_if(t.columns.begin(), t.columns.end(), [](const Column& c) { return !c.fixed(); });
    put16(h + TdefMaxColumnsOffset, columnCount);
    put16(h + TdefVarColumnsOffset, static_cast<std::uint16_t>(varColumns));
    put16(h + TdefColumnCountOffset, columnCount);
    put32(h + TdefIndexCountOffset, static_cast<std::uint32_t>(t.logicalIndexDefs.size()));
    put32(h + TdefRealIndexCountOffset, static_cast<std::uint32_t>(t.realIndexDefs.size()));
    put32(h + TdefUsedPagesOffset, t.usedPages);
    put32(h + TdefFreePagesOffset, t.freePages);

    for (const RealIndexDef& r : t.realIndexDefs) {
        append32(out, r.leadCount);
        append32(out, r.rowCount);
        append32(out, 0);
    }
    for (const Column& c : t.columns) {
        out.push_back(c.type);
        append32(out, TableMagic);
        append16(out, c.number);
        append16(out, c.varIndex);
        append16(out, c.number2);
        append16(out, GeneralSortOrder);
        append16(out, 0);
        out.push_back(c.flags);
        out.push_back(c.miscFlags);
        append32(out, 0);
        append16(out, c.fixedOffset);
        append16(out, c.length);
    }
    for (const Column& c : t.columns)
        appendName(out, fromUtf8(c.name));
    for (const RealIndexDef& r : t.realIndexDefs) {
        append32(out, IndexMagic);
        for (std::size_t i = 0; i < IndexColumnSlots; ++i) {  // unused slots: 0xFFFF
            const bool used = i < r.columns.size();
            append16(out, used ? r.columns[i] : 0xFFFF);
            out.push_back(used && !r.isDescending(i) ? IndexAscending : 0);
        }
        append32(out, r.usageMap);
        append32(out, r.rootPage);
        append32(out, 0);
        out.push_back(r.flags);
        out.insert(out.end(), 5, 0);
    }
    for (const LogicalIndexDef& l : t.logicalIndexDefs) {
        append32(out, TableMagic);
        append32(out, l.number);
        append32(out, l.realIndex);
        out.push_back(0);            // type of the related table
        append32(out, 0xFFFFFFFFu);  // related index: none
        append32(out, 0);            // related table page
        out.push_back(IndexCascadeNone);
        out.push_back(IndexCascadeNone);
        out.push_back(l.type);
        append32(out, 0);
    }
    for (const LogicalIndexDef& l : t.logicalIndexDefs)
        appendName(out, l.name);
    for (const LongValueMaps& m : t.longValueMaps) {
        append16(out, m.column);
        append32(out, m.used);
        append32(out, m.free);
    }
    append16(out, 0xFFFF);
    put32(out.data() + TdefLengthOffset, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::size_t TableDef::pageCount(std::size_t length) {
    if (length <= PageSize)
        return 1;
    const std::size_t perPage = PageSize - TdefPageHeaderSize;
    return 1 + (length - PageSize + perPage - 1) / perPage;
}

void TableDef::layout(const Bytes& definition, const std::vector<std::uint32_t>& numbers,
                      const std::vector<std::uint8_t*>& pages) {
    const std::size_t count = pageCount(definition.size());
    if (numbers.size() != count || pages.size() != count)
        throw std::logic_error("table definition page count mismatch");
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* page = pages[i];
        std::memset(page, 0, PageSize);
        // The first page holds the definition's own header; the others repeat it.
        const std::size_t header = i == 0 ? 0 : TdefPageHeaderSize;
        if (i > 0) {
            page[0] = PageTableDef;
            page[1] = 0x01;
        }
        const std::size_t n = std::min(definition.size() - pos, PageSize - header);
        std::memcpy(page + header, definition.data() + pos, n);
        pos += n;
        // Access keeps the free space less the page header here.
        const std::size_t free = PageSize - header - n;
        put16(page + TdefFreeSpaceOffset,
              static_cast<std::uint16_t>(free >= TdefPageHeaderSize ? free - TdefPageHeaderSize : 0));
        put32(page + TdefNextPageOffset, i + 1 < count ? numbers[i + 1] : 0);
    }
}

} // namespace zorvane::jet
