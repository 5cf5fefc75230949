#include "records/jet/CreateDatabase.h"

#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/IndexKey.h"
#include "records/jet/IndexWriter.h"
#include "records/jet/LongValue.h"
#include "records/jet/UsageMap.h"
#include "records/jet/PageFile.h"
#include "records/jet/WriterFile.h"
#include "records/jet/WriterLayout.h"
#include "records/jet/WriterPages.h"
#include "records/jet/WriterProperties.h"
#include "records/jet/ValueText.h"
#include "records/jet/WriterText.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace zorvane::jet {

using namespace format;
using namespace writer;

namespace {

// Where a new database puts its fixed parts.
enum FixedPage : std::uint32_t {
    PageObjectsDef = CatalogTableDefPage,  // 2
    PageAcesDef = 3,
    PageQueriesDef = 4,
    PageRelationshipsDef = 5,
    PageSystemMaps = 6,
    PageObjectsNameIndex = 7,
    PageObjectsIdIndex = 8,
    PageAcesIndex = 9,
    PageQueriesIndex = 10,
    PageRelationshipsIndex = 11,  // three pages, one per index
    PageObjectsData = 14,
    PageUserDef = 15,
    PageUserMaps = 16,
    FirstFreePage = 17,
};

constexpr std::uint8_t FlagsSystemFixed = ColumnFlagFixed | ColumnFlagNullable | ColumnFlagReplication;
constexpr std::uint8_t FlagsSystemVar = ColumnFlagNullable | ColumnFlagReplication;
constexpr std::uint8_t FlagsSystemBinary = ColumnFlagNullable | ColumnFlagReplication | 0x20;
constexpr std::uint8_t FlagsUserVar = ColumnFlagNullable;

struct ColumnShape {
    const char* name;
    std::uint8_t type;
    std::uint8_t flags;
};

// The columns' places in a row: fixed-size values in the fixed area in column
// order (a Boolean lives in the null mask), the others in the var table.
struct RowShape {
    std::vector<Column> columns;
    std::uint16_t fixedSize = 0;
    std::uint16_t varCount = 0;

    // Adds `c` (type, flags and length set) as the next column.
    void add(Column c) {
        c.number = static_cast<std::uint16_t>(columns.size());
        if (!c.fixed()) {
            c.varIndex = varCount++;
        } else if (c.type != TypeBoolean) {
            c.fixedOffset = fixedSize;
            fixedSize = static_cast<std::uint16_t>(fixedSize + c.length);
        }
        columns.push_back(std::move(c));
    }
};

// Column definitions for the shapes listed in column-number order.
std::vector<Column> systemColumns(std::initializer_list<ColumnShape> shapes) {
    RowShape shape;
    for (const ColumnShape& s : shapes) {
        Column c;
        c.name = s.name;
        c.type = s.type;
        c.flags = s.flags;
        c.length = static_cast<std::uint16_t>(s.type == TypeText || s.type == TypeBinary ? 510
                                              : s.type == TypeBoolean                  ? 1
                                                                                       : fixedSizeOf(s.type));
        shape.add(std::move(c));
    }
    return shape.columns;
}

struct CatalogEntry {
    std::uint32_t id;
    std::uint32_t parentId;
    std::u16string name;
    std::int16_t type;
    std::uint32_t flags;
    Bytes properties;  // LvProp, empty for none
};

// The pages of the file under construction; page references stay valid.
// Data pages are kept as rows and laid out when the file is put together.
class Image {
public:
    explicit Image(std::uint32_t fixedPages) : pages_(fixedPages) {}
    std::uint32_t allocate() {
        pages_.emplace_back();
        return static_cast<std::uint32_t>(pages_.size() - 1);
    }
    Page& operator[](std::uint32_t n) { return pages_[n]; }
    // Data page `n`, made an empty page of `owner` the first time.
    SlottedPage& data(std::uint32_t n, std::uint32_t owner = 0) {
        return data_.try_emplace(n, owner).first->second;
    }
    // Lays out data page `n`, which takes no more rows.
    void seal(std::uint32_t n) {
        if (const auto found = data_.find(n); found != data_.end()) {
            found->second.encode(pages_[n].bytes.data());
            data_.erase(found);
        }
    }
    std::uint32_t count() const { return static_cast<std::uint32_t>(pages_.size()); }
    Bytes bytes() {
        for (const auto& [n, page] : data_)
            page.encode(pages_[n].bytes.data());
        Bytes out;
        out.reserve(pages_.size() * PageSize);
        for (const Page& p : pages_)
            out.insert(out.end(), p.bytes.begin(), p.bytes.end());
        return out;
    }

private:
    std::deque<Page> pages_;
    std::map<std::uint32_t, SlottedPage> data_;
};

// Rows of usage maps collected on pages owned by no table: the first at a
// fixed place, further ones allocated when it is full.
class MapPage {
public:
    MapPage(Image& image, std::uint32_t number) : image_(image), number_(number) { image.data(number); }
    // Adds a map of `pages` (UsageMap::build), its usage-map pages allocated here.
    std::uint32_t add(std::vector<std::uint32_t> pages) {
        std::sort(pages.begin(), pages.end());
        Bytes row = UsageMap::build(pages, UsageMapRowSize, [&](std::uint32_t& n) {
            n = image_.allocate();
            return image_[n].bytes.data();
        });
        if (row.empty())
            throw std::logic_error("file too large for a reference usage map");
        if (!image_.data(number_).fitsNewRow(row.size()))
            number_ = image_.allocate();
        return makePointer(number_, image_.data(number_).append(0, std::move(row)));
    }

private:
    Image& image_;
    std::uint32_t number_;
};

// Long values that do not stay in their row, on pages owned by "LVAL".
class LongValueStore {
public:
    explicit LongValueStore(Image& image) : image_(image) {}

    // Stores `data`; returns the 12-byte reference for the row.
    Bytes store(const Bytes& data) {
        return storeLongValue(
            data, current_ && image_.data(current_).fitsNewRow(data.size()) ? current_ : 0, [&](bool single) {
                const std::uint32_t n = image_.allocate();
                image_.data(n, datapage::LongValueOwnerWord);
                pages_.push_back(n);
                if (single)
                    current_ = n;
                return n;
            },
            [&](std::uint32_t n) -> SlottedPage& { return image_.data(n); });
    }

    const std::vector<std::uint32_t>& pages() const { return pages_; }
    // The page new long values would go to, if it still has room.
    std::vector<std::uint32_t> pagesWithRoom() {
        if (current_ && image_.data(current_).freeSpace() >= RoomWorthListing)
            return {current_};
        return {};
    }

private:
    Image& image_;
    std::uint32_t current_ = 0;
    std::vector<std::uint32_t> pages_;
};

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// A Long field's value, as checked when its row was written.
std::int32_t longValue(const std::u16string& text) {
    const std::string s = toUtf8(text);
    std::int32_t v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

bool isVariable(const NewColumn& c) { return c.type == TypeText || c.type == TypeMemo; }

RowShape rowShape(const std::string& label, const NewTable& table) {
    RowShape shape;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const NewColumn& nc = table.columns[i];
        Column c;
        c.name = nc.name;
        c.type = nc.type;
        c.number2 = static_cast<std::uint16_t>(i);
        if (const std::size_t chars = fromUtf8(nc.name).size(); chars == 0 || chars > MaxNameChars)
            fail(label, "field name " + quoted(nc.name) + " is empty or longer than " +
                            std::to_string(MaxNameChars) + " characters");
        if (nc.autoNumber && nc.type != TypeLong)
            fail(label, "field " + quoted(nc.name) + " is numbered automatically but is no Long field");
        if (isVariable(nc)) {
            if (nc.type == TypeText && (nc.maxChars == 0 || nc.maxChars > 255))
                fail(label, "text field " + quoted(nc.name) + " must hold 1 to 255 characters");
            c.length = nc.type == TypeText ? static_cast<std::uint16_t>(nc.maxChars * TextColumnBytesPerChar) : 0;
            c.flags = FlagsUserVar;
            c.miscFlags = ColumnMiscFlagCompressed;
        } else if (nc.type == TypeBoolean) {
            c.length = 1;
            c.flags = ColumnFlagFixed;
        } else if (const std::size_t size = factsOf(nc.type).created ? fixedSizeOf(nc.type) : 0) {
            c.length = static_cast<std::uint16_t>(size);
            c.flags = static_cast<std::uint8_t>(ColumnFlagFixed | ColumnFlagNullable |
                                                (nc.autoNumber ? ColumnFlagAutoLong : 0));
        } else {
            fail(label, "field " + quoted(nc.name) + " is of a type a new database cannot hold");
        }
        shape.add(std::move(c));
    }
    return shape;
}

// The entries of `index` (Long, Text, Byte and Yes/No fields; `real` in
// `def`) for the rows at `rowPlaces`; `distinct` gets the count of distinct
// keys, which Access keeps.
std::vector<Bytes> indexEntries(const std::string& label, const NewTableRows& input, const NewIndex& index,
                                const TableDef& def, const RealIndexDef& real,
                                const std::vector<std::uint32_t>& rowPlaces, std::size_t* distinct) {
    const NewTable& table = input.table;
    const std::string where = "index " + quoted(index.name) + " of table " + quoted(table.name);
    std::vector<Bytes> entries;
    std::vector<Bytes> keys;
    Bytes value;
    for (std::size_t r = 0; r < input.rows.size(); ++r) {
        const NewRow& row = input.rows[r];
        Bytes key;
        indexkey::KeyReport report;
        const std::string reason = indexkey::appendKey(def, real, [&](std::size_t c, std::u16string& text, ColumnBytes& bytes) {
            if (!row[c])
                fail(label, where + " needs a value in every record");
            const std::uint8_t type = table.columns[c].type;
            if (type == TypeText)
                text = *row[c];
            else if (type == TypeBoolean)
                bytes.hasValue = *row[c] == u"True";
            else if (value.clear(); appendFixedValueBytes(type, *row[c], value))  // checked with the rows
                bytes = {true, value.data(), value.size()};
            return true;
        }, key, report);
        if (!reason.empty() && report.failed < 0)
            fail(label, where + " is " + reason);
        if (!reason.empty())
            fail(label, where + " cannot hold \"" + toUtf8(*row[static_cast<std::size_t>(report.failed)]) + "\": " + reason);
        if (const std::string tooLong = checkWrittenKeyLength(key); !tooLong.empty())
            fail(label, where + " cannot hold the key of record " + std::to_string(r + 1) + ", which is " + tooLong);
        keys.push_back(key);
        entries.push_back(indexEntry(key, pointerPage(rowPlaces[r]), pointerRow(rowPlaces[r])));
    }
    std::sort(keys.begin(), keys.end());
    if (index.primaryKey && std::adjacent_find(keys.begin(), keys.end()) != keys.end())
        fail(label, where + " would hold the same key twice");
    if (distinct)
        *distinct = static_cast<std::size_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
    return entries;
}

// The user table's columns take empty text (as well as null); text is stored
// compressed where it can be.
Bytes tableProperties(const NewTable& table) {
    PropertyBlob blob;
    bool any = false;
    for (const NewColumn& c : table.columns) {
        if (!isVariable(c))
            continue;
        const std::u16string name = fromUtf8(c.name);
        blob.addBoolean(name, u"AllowZeroLength", true);
        blob.addBoolean(name, u"Required", false);
        blob.addBoolean(name, u"UnicodeCompression", true);
        any = true;
    }
    return any ? blob.bytes() : Bytes();
}

// Writes the definition `def` at `page`, continuation pages allocated here.
void writeDefinition(Image& image, const TableDef& def, std::uint32_t page) {
    const Bytes bytes = def.encode();
    std::vector<std::uint32_t> numbers{page};
    std::vector<std::uint8_t*> pages{image[page].bytes.data()};
    for (std::size_t i = 1; i < TableDef::pageCount(bytes.size()); ++i) {
        numbers.push_back(image.allocate());
        pages.push_back(image[numbers.back()].bytes.data());
    }
    TableDef::layout(bytes, numbers, pages);
}

// Writes one user table: its rows onto data pages owned by `defPage` and
// long-value pages, then its indexes, usage maps and definition at `defPage`.
void writeUserTable(Image& image, MapPage& maps, const std::string& label, const NewTableRows& input,
                    std::uint32_t defPage) {
    const NewTable& table = input.table;
    const RowShape shape = rowShape(label, table);
    const std::size_t columnCount = table.columns.size();
    std::map<std::size_t, LongValueStore> stores;  // by memo column
    for (std::size_t c = 0; c < columnCount; ++c)
        if (table.columns[c].type == TypeMemo)
            stores.try_emplace(c, image);

    std::vector<std::uint32_t> dataPages;
    std::vector<std::uint32_t> rowPlaces;  // row pointer of each row
    RowBuild row;
    row.image.columnCount = static_cast<std::uint16_t>(columnCount);
    row.image.varValues.resize(shape.varCount);
    row.image.present.resize(columnCount);
    Bytes fixedValue;

    for (std::size_t r = 0; r < input.rows.size(); ++r) {
        const NewRow& values = input.rows[r];
        auto record = [&] { return "record " + std::to_string(r + 1) + " of table " + quoted(table.name); };
        auto where = [&](const NewColumn& column) {
            return "field " + quoted(column.name) + " of record " + std::to_string(r + 1) + " in table " +
                   quoted(table.name);
        };
        if (values.size() != columnCount)
            fail(label, record() + " has " + std::to_string(values.size()) + " values for " +
                            std::to_string(columnCount) + " fields");
        row.image.fixedArea.assign(shape.fixedSize, 0);
        row.longs.clear();
        for (std::size_t c = 0; c < columnCount; ++c) {
            const NewColumn& column = table.columns[c];
            const Column& def = shape.columns[c];
            row.image.present[c] = values[c].has_value();
            if (column.type == TypeBoolean) {
                if (values[c] && *values[c] != u"True" && *values[c] != u"False")
                    fail(label, where(column) + " is no Boolean value");
                row.image.present[c] = values[c] && *values[c] == u"True";
                continue;
            }
            if (!isVariable(column)) {
                if (!values[c])
                    continue;
                fixedValue.clear();
                if (!appendFixedValueBytes(column.type, *values[c], fixedValue))
                    fail(label, where(column) + " holds \"" + toUtf8(*values[c]) +
                                    "\", which is no value of its type");
                std::copy(fixedValue.begin(), fixedValue.end(), row.image.fixedArea.begin() + def.fixedOffset);
                continue;
            }
            row.image.varValues[def.varIndex].clear();
            if (!values[c])
                continue;
            if (column.type == TypeText && values[c]->size() > column.maxChars)
                fail(label, where(column) + " holds " + std::to_string(values[c]->size()) +
                                " characters; it takes at most " + std::to_string(column.maxChars));
            row.setText(def, c, *values[c]);
        }
        // Too long for a page: long values leave the row, largest first.
        std::size_t size = 0;
        const std::vector<bool> out = row.longValuesOut(MaxRowSize, size);
        if (size > MaxRowSize)
            fail(label, record() + " is too long for a data page");
        Bytes encoded =
            row.encode(out, [&](const RowBuild::Long& l) { return stores.at(l.column).store(l.data); });
        if (dataPages.empty() || !image.data(dataPages.back()).fitsNewRow(encoded.size())) {
            if (!dataPages.empty())
                image.seal(dataPages.back());
            dataPages.push_back(image.allocate());
            image.data(dataPages.back(), defPage);
        }
        rowPlaces.push_back(
            makePointer(dataPages.back(), image.data(dataPages.back()).append(0, std::move(encoded))));
    }

    TableDef def;
    def.storedRows = static_cast<std::uint32_t>(input.rows.size());
    def.usedPages = maps.add(dataPages);
    std::vector<std::uint32_t> roomy;
    if (!dataPages.empty() && image.data(dataPages.back()).freeSpace() >= RoomWorthListing)
        roomy.push_back(dataPages.back());
    def.freePages = maps.add(roomy);
    def.columns = shape.columns;
    for (std::size_t i = 0; i < columnCount; ++i)
        for (const NewRow& r : input.rows)
            if (table.columns[i].autoNumber && r[i])
                def.autoNumber =
                    std::max(def.autoNumber, static_cast<std::uint32_t>(std::max(0, longValue(*r[i]))));
    for (auto& [column, store] : stores)
        def.longValueMaps.push_back(
            {static_cast<std::uint16_t>(column), maps.add(store.pages()), maps.add(store.pagesWithRoom())});
    for (std::size_t i = 0; i < table.indexes.size(); ++i) {
        const NewIndex& index = table.indexes[i];
        if (index.columns.empty() || index.columns.size() > IndexColumnSlots)
            fail(label, "index " + quoted(index.name) + " must have 1 to 10 fields");
        RealIndexDef real;
        for (const std::size_t c : index.columns) {
            const std::uint8_t type = c < table.columns.size() ? table.columns[c].type : 0;
            if (!factsOf(type).createdIndex)
                fail(label, "index " + quoted(index.name) + " may only cover Long, Text, Byte and Yes/No fields");
            real.columns.push_back(static_cast<std::uint16_t>(c));
            real.descending.push_back(index.descending);
        }
        real.rootPage = image.allocate();
        std::size_t distinct = 0;
        if (!buildIndexLeaf(image[real.rootPage], defPage, indexEntries(label, input, index, def, real, rowPlaces, &distinct)))
            fail(label, "index " + quoted(index.name) + " of table " + quoted(table.name) +
                            " does not fit one index page");
        real.usageMap = maps.add({real.rootPage});
        real.flags = static_cast<std::uint8_t>(IndexFlagAlways |
                                               (index.primaryKey ? IndexFlagUniqueKeys | IndexFlagNullsRefused : 0));
        real.rowCount = static_cast<std::uint32_t>(distinct);  // Access counts the distinct keys
        def.realIndexDefs.push_back(real);
        def.logicalIndexDefs.push_back({fromUtf8(index.name), static_cast<std::uint32_t>(i),
                                      static_cast<std::uint32_t>(i),
                                      index.primaryKey ? IndexKindPrimary : std::uint8_t(0)});
    }
    writeDefinition(image, def, defPage);
}

// Writes the definition of a system table at its fixed `page`, with maps of
// the data pages it uses (`data`), of each index's page and of its long
// values (none), in that order.
void writeSystemTable(Image& image, MapPage& maps, std::uint32_t page, TableDef def,
                      const std::vector<std::uint32_t>& data) {
    def.system = true;
    def.usedPages = maps.add(data);
    def.freePages = maps.add(data);
    for (RealIndexDef& index : def.realIndexDefs) {
        index.usageMap = maps.add({index.rootPage});
        index.rowCount = def.storedRows;
    }
    for (const Column& c : def.columns) {
        if (c.type == TypeMemo || c.type == TypeOle)
            def.longValueMaps.push_back({c.number, maps.add({}), maps.add({})});
    }
    writeDefinition(image, def, page);
}
void writeHeader(Page& page, double created, const std::u16string& password) {
    std::uint8_t* p = page.bytes.data();
    std::memcpy(p, HeaderLead, sizeof HeaderLead);
    std::memcpy(p + HeaderMagicOffset, HeaderMagicJet, HeaderMagicLength);
    put32(p + HeaderVersionOffset, VersionJet4);
    for (std::size_t i = 0; i < 6; ++i)
        put32(p + HeaderMaskOffset + 4 * i, HeaderMaskedLead[i]);
    put16(p + HeaderCodePageOffset, HeaderCodePage);
    put32(p + HeaderDatabaseKeyOffset, 0);
    // The password's UCS-2 characters (none: zeros), masked.
    for (std::size_t i = 0; i < std::min(password.size(), HeaderPasswordLength / 2); ++i)
        put16(p + HeaderPasswordOffset + 2 * i, password[i]);
    maskPassword(p + HeaderPasswordOffset, created);
    put16(p + HeaderSortOrderOffset, GeneralSortOrder);
    put64(p + HeaderCreationDateOffset, std::bit_cast<std::uint64_t>(created));
    rc4(HeaderMaskKey, sizeof HeaderMaskKey, p + HeaderMaskOffset, HeaderMaskLength);
    put32(p + HeaderEngineStampOffset, HeaderEngineStamp);
    std::memcpy(p + HeaderEngineVersionOffset, HeaderEngineVersion, sizeof HeaderEngineVersion);
    for (std::size_t off = HeaderTailOffset; off < PageSize; off += 2)
        put16(p + off, HeaderTailWord);
}

// The database's page map: one bit per page, set for the free ones (every
// page past the end). Inline from options.pageMapStart (the pages before it
// are in use), or a reference map over one usage-map page.
void writeGlobalMap(Image& image, const CreateOptions& options, const std::string& label) {
    Bytes row;
    if (options.referencePageMap) {
        const std::uint32_t mapPage = image.allocate();
        std::uint8_t* bits = UsageMap::initPage(image[mapPage].bytes.data());
        for (std::size_t bit = image.count(); bit < UsageMapPagePages; ++bit)
            setBit(bits, bit, true);
        row.assign(UsageMapRowSize, 0);
        row[0] = UsageMapReference;
        put32(row.data() + 1, mapPage);
    } else {
        const std::uint32_t first = options.pageMapStart;
        const std::size_t inReach = image.count() > first ? image.count() - first : 0;
        const std::size_t bytes =
            std::max(GlobalMapMinBytes, ((inReach + 7) / 8 + GlobalMapStepBytes - 1) / GlobalMapStepBytes *
                                            GlobalMapStepBytes);
        row = UsageMap::inlineRow(first, bytes);
        for (std::size_t bit = inReach; bit < bytes * 8; ++bit)
            setBit(row.data() + UsageMapInlineBitmap, bit, true);
    }
    SlottedPage& b = image.data(GlobalUsageMapPage, GlobalMapOwner);
    if (!b.fitsNewRow(row.size() + UsageMapRowSize + 2))
        fail(label, "the database would have " + std::to_string(image.count()) +
                        " pages, more than a new file can map");
    b.append(0, std::move(row));
    b.append(0, Bytes(UsageMapRowSize, 0));
}

// The file as bytes, created now as `system` tells it; `label` names it in
// error sentences.
std::vector<std::uint8_t> buildDatabaseImage(os::FileSystem& system, const std::string& label,
                                             const std::vector<NewTableRows>& tables,
                                             const CreateOptions& options) {
    std::vector<Bytes> nameKeys;
    for (const NewTableRows& t : tables) {
        const std::u16string name = fromUtf8(t.table.name);
        Bytes key;
        if (name.empty() || name.size() > MaxNameChars || !appendNameIndexKey(name, key))
            fail(label, "table name " + quoted(t.table.name) + " is not one a new database can hold");
        if (std::find(nameKeys.begin(), nameKeys.end(), key) != nameKeys.end())
            fail(label, "there are two tables named " + quoted(t.table.name));
        nameKeys.push_back(key);
        if (t.table.columns.empty())
            fail(label, "table " + quoted(t.table.name) + " needs at least one field");
    }

    const double created = dateValueNow(system);
    Image image(FirstFreePage);

    // The user tables first: they decide how many pages there are.
    MapPage userMaps(image, PageUserMaps);
    std::vector<std::uint32_t> userDefPages;
    for (const NewTableRows& t : tables) {
        userDefPages.push_back(userDefPages.empty() ? std::uint32_t(PageUserDef) : image.allocate());
        writeUserTable(image, userMaps, label, t, userDefPages.back());
    }

    // The catalog. The database object's properties: the Access version that made it.
    const std::uint32_t sys = ObjectFlagsSystem;
    PropertyBlob databaseProperties;
    databaseProperties.addText(u"", u"AccessVersion", fromUtf8(AccessVersion2000));
    std::vector<CatalogEntry> entries = {
        {IdTablesContainer, IdRoot, u"Tables", ObjectTypeContainer, sys, {}},
        {IdDatabasesContainer, IdRoot, u"Databases", ObjectTypeContainer, sys, {}},
        {IdRelationshipsContainer, IdRoot, u"Relationships", ObjectTypeContainer, sys, {}},
        {IdDatabaseObject, IdDatabasesContainer, u"MSysDb", ObjectTypeDatabase, sys, databaseProperties.bytes()},
        {PageObjectsDef, IdTablesContainer, u"MSysObjects", ObjectTypeTable, sys, {}},
        {PageAcesDef, IdTablesContainer, u"MSysACEs", ObjectTypeTable, sys, {}},
        {PageQueriesDef, IdTablesContainer, u"MSysQueries", ObjectTypeTable, sys, {}},
        {PageRelationshipsDef, IdTablesContainer, u"MSysRelationships", ObjectTypeTable, sys, {}},
        {IdFirstAccessContainer + 0, IdRoot, u"DataAccessPages", ObjectTypeContainer, 0, {}},
        {IdFirstAccessContainer + 1, IdRoot, u"Forms", ObjectTypeContainer, 0, {}},
        {IdFirstAccessContainer + 2, IdRoot, u"Modules", ObjectTypeContainer, 0, {}},
        {IdFirstAccessContainer + 3, IdRoot, u"Reports", ObjectTypeContainer, 0, {}},
        {IdFirstAccessContainer + 4, IdRoot, u"Scripts", ObjectTypeContainer, 0, {}},
        {IdFirstAccessContainer + 5, IdRoot, u"SysRel", ObjectTypeContainer, 0, {}},
    };
    for (std::size_t i = 0; i < tables.size(); ++i)
        entries.push_back({userDefPages[i], IdTablesContainer, fromUtf8(tables[i].table.name),
                           ObjectTypeTable, 0, tableProperties(tables[i].table)});

    const std::vector<Column> objectColumns = systemColumns({
        {"Id", TypeLong, FlagsSystemFixed},
        {"ParentId", TypeLong, FlagsSystemFixed},
        {"Name", TypeText, FlagsSystemVar},
        {"Type", TypeInteger, FlagsSystemFixed},
        {"DateCreate", TypeDateTime, FlagsSystemFixed},
        {"DateUpdate", TypeDateTime, FlagsSystemFixed},
        {"Owner", TypeBinary, FlagsSystemBinary},
        {"Flags", TypeLong, FlagsSystemFixed},
        {"Database", TypeMemo, FlagsSystemVar},
        {"Connect", TypeMemo, FlagsSystemVar},
        {"ForeignName", TypeText, FlagsSystemVar},
        {"RmtInfoShort", TypeBinary, FlagsSystemVar},
        {"RmtInfoLong", TypeOle, FlagsSystemVar},
        {"Lv", TypeOle, FlagsSystemVar},
        {"LvProp", TypeOle, FlagsSystemVar},
        {"LvModule", TypeOle, FlagsSystemVar},
        {"LvExtra", TypeOle, FlagsSystemVar},
    });
    constexpr std::size_t ObjectsVarCount = 11;
    constexpr std::size_t ObjectsLvPropVar = 8;

    std::vector<Bytes> idEntries;
    std::vector<Bytes> nameEntries;
    {
        SlottedPage& b = image.data(PageObjectsData, PageObjectsDef);
        for (const CatalogEntry& e : entries) {
            RowImage row;
            row.columnCount = static_cast<std::uint16_t>(objectColumns.size());
            append32(row.fixedArea, e.id);
            append32(row.fixedArea, e.parentId);
            append16(row.fixedArea, static_cast<std::uint16_t>(e.type));
            append64(row.fixedArea, std::bit_cast<std::uint64_t>(created));
            append64(row.fixedArea, std::bit_cast<std::uint64_t>(created));
            append32(row.fixedArea, e.flags);
            row.varValues.resize(ObjectsVarCount);
            appendUcs2(row.varValues[0], e.name);
            row.present.assign(objectColumns.size(), false);
            for (int c : {0, 1, 2, 3, 4, 5, 7})
                row.present[static_cast<std::size_t>(c)] = true;
            if (!e.properties.empty()) {
                row.varValues[ObjectsLvPropVar] = inlineLongValue(e.properties);
                row.present[14] = true;
            }
            Bytes encoded = encodeRow(row);
            if (!b.fitsNewRow(encoded.size()))
                fail(label, "the catalog does not fit its page");
            const std::uint8_t r = b.append(0, std::move(encoded));

            Bytes idKey;
            appendLongIndexKey(static_cast<std::int32_t>(e.id), idKey);
            idEntries.push_back(indexEntry(idKey, PageObjectsData, r));
            Bytes nameKey;
            appendLongIndexKey(static_cast<std::int32_t>(e.parentId), nameKey);
            nameKey.push_back(IndexKeyPresent);
            if (!appendNameIndexKey(e.name, nameKey))
                fail(label, "the name " + quoted(toUtf8(e.name)) + " cannot be indexed");
            nameEntries.push_back(indexEntry(nameKey, PageObjectsData, r));
        }
    }
    if (!buildIndexLeaf(image[PageObjectsNameIndex], PageObjectsDef, nameEntries) ||
        !buildIndexLeaf(image[PageObjectsIdIndex], PageObjectsDef, idEntries))
        fail(label, "the catalog's indexes do not fit their pages");
    buildIndexLeaf(image[PageAcesIndex], PageAcesDef, {});
    buildIndexLeaf(image[PageQueriesIndex], PageQueriesDef, {});
    for (std::uint32_t i = 0; i < 3; ++i)
        buildIndexLeaf(image[PageRelationshipsIndex + i], PageRelationshipsDef, {});

    MapPage systemMaps(image, PageSystemMaps);

    // MSysObjects
    TableDef objects;
    objects.storedRows = static_cast<std::uint32_t>(entries.size());
    objects.columns = objectColumns;
    objects.realIndexDefs = {
        {.columns = {1, 2}, .rootPage = PageObjectsNameIndex, .flags = IndexFlagAlways | IndexFlagUniqueKeys},
        {.columns = {0}, .rootPage = PageObjectsIdIndex, .flags = IndexFlagAlways | IndexFlagUniqueKeys},
    };
    objects.logicalIndexDefs = {{u"Id", 1, 1, IndexKindPrimary}, {u"ParentIdName", 0, 0, 0}};
    writeSystemTable(image, systemMaps, PageObjectsDef, std::move(objects), {PageObjectsData});

    // MSysACEs: no entries; a new file carries no access-control entries.
    TableDef aces;
    aces.columns = systemColumns({
        {"ObjectId", TypeLong, FlagsSystemFixed},
        {"SID", TypeBinary, FlagsSystemBinary},
        {"ACM", TypeLong, FlagsSystemFixed},
        {"FInheritable", TypeBoolean, FlagsSystemFixed},
    });
    aces.realIndexDefs = {
        {.columns = {0}, .rootPage = PageAcesIndex, .flags = IndexFlagAlways | IndexFlagNullsRefused}};
    aces.logicalIndexDefs = {{u"ObjectId", 0, 0, 0}};
    writeSystemTable(image, systemMaps, PageAcesDef, std::move(aces), {});

    // MSysQueries
    TableDef queries;
    queries.columns = systemColumns({
        {"ObjectId", TypeLong, FlagsSystemFixed},
        {"Attribute", TypeByte, FlagsSystemFixed},
        {"Order", TypeBinary, FlagsSystemVar},
        {"Name1", TypeText, FlagsSystemVar},
        {"Name2", TypeText, FlagsSystemVar},
        {"Expression", TypeMemo, FlagsSystemVar},
        {"Flag", TypeInteger, FlagsSystemFixed},
        {"LvExtra", TypeLong, FlagsSystemFixed},
    });
    queries.realIndexDefs = {
        {.columns = {0, 1, 2}, .rootPage = PageQueriesIndex, .flags = IndexFlagAlways | IndexFlagUniqueKeys}};
    queries.logicalIndexDefs = {{u"ObjectIdAttribute", 0, 0, IndexKindPrimary}};
    writeSystemTable(image, systemMaps, PageQueriesDef, std::move(queries), {});

    // MSysRelationships
    TableDef relationships;
    relationships.columns = systemColumns({
        {"szRelationship", TypeText, FlagsSystemVar},
        {"grbit", TypeLong, FlagsSystemFixed},
        {"ccolumn", TypeLong, FlagsSystemFixed},
        {"icolumn", TypeLong, FlagsSystemFixed},
        {"szObject", TypeText, FlagsSystemVar},
        {"szColumn", TypeText, FlagsSystemVar},
        {"szReferencedObject", TypeText, FlagsSystemVar},
        {"szReferencedColumn", TypeText, FlagsSystemVar},
    });
    const std::uint8_t relFlags = IndexFlagAlways | IndexFlagNullsIgnored;
    relationships.realIndexDefs = {
        {.columns = {0}, .rootPage = PageRelationshipsIndex, .flags = relFlags},
        {.columns = {4}, .rootPage = PageRelationshipsIndex + 1, .flags = relFlags},
        {.columns = {6}, .rootPage = PageRelationshipsIndex + 2, .flags = relFlags},
    };
    relationships.logicalIndexDefs = {
        {u"szObject", 1, 1, 0}, {u"szReferencedObject", 2, 2, 0}, {u"szRelationship", 0, 0, 0}};
    writeSystemTable(image, systemMaps, PageRelationshipsDef, std::move(relationships), {});

    writeGlobalMap(image, options, label);
    writeHeader(image[0], created, options.password);
    return image.bytes();
}

} // namespace

void createDatabase(const std::string& path, const std::vector<NewTableRows>& tables,
                    const CreateOptions& options, const Options& engine) {
    os::FileSystem& sys = engine.system();
    if (!options.overwrite && fileExists(sys, path))
        fail(path, "the file already exists");
    // The file replaced is no other program's to write meanwhile, and no
    // journal of it is left for the new one. (A folder is refused below.)
    struct stat st {};
    std::optional<ReplaceLock> lock;
    if (!path.empty() && !(options.overwrite && options.lockHeld) && (sys.stat(path, st) != 0 || !S_ISDIR(st.st_mode)))
        lock.emplace(path, engine);
    if (options.password.size() > HeaderPasswordLength / 2)
        fail(path, "a database password has at most 20 characters");
    const Bytes bytes = buildDatabaseImage(sys, path, tables, options);
    writeFileAtomically(sys, path, bytes, options.overwrite);
}

} // namespace zorvane::jet
