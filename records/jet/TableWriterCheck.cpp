#include "records/jet/TableWriterCheck.h"

#include "records/jet/Catalog.h"
#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/Row.h"
#include "records/jet/Table.h"
#include "records/jet/TableWriterPages.h"
#include "records/jet/ValueText.h"

#include <map>
#include <set>

namespace zorvane::jet {

using namespace format;

namespace {

const std::uint32_t LongValueOwnerWord = le32(reinterpret_cast<const std::uint8_t*>(LongValueOwner));

std::string pageText(std::uint32_t page) { return "page " + std::to_string(page); }

struct RowInfo {
    std::uint16_t flags = 0;
    std::size_t start = 0;
    std::size_t end = 0;
    bool inside = false;  // its bounds lie inside the page
};

struct MapRead {
    bool ok = false;
    std::vector<std::uint32_t> pages;
    std::vector<std::uint32_t> mapPages;  // usage-map pages of a reference map
    std::uint32_t holder = 0;             // the data page holding the map's row
};

class Checker {
public:
    explicit Checker(PageFile& file)
        : file_(file), count_(file.pageCount()), owner_(count_), free_(count_, false),
          reach_(count_, false) {}

    std::vector<std::string> run() {
        try {
            checkHeader(file_);
        } catch (const ChangedError&) {
            throw;
        } catch (const RefusedError&) {
            throw;
        } catch (const Error& e) {
            problems_.push_back(e.what());
            return problems_;
        }
        readGlobalMap();
        claim(0, "the database header");
        claim(GlobalUsageMapPage, "the database's page map");
        std::vector<TableEntry> tables;
        try {
            tables = catalogTables();
        } catch (const ChangedError&) {
            throw;
        } catch (const Error& e) {
            problems_.push_back(e.what());
            return problems_;
        }
        bool catalogListed = false;
        for (const TableEntry& t : tables) {
            checkTable(t.name, t.page, t.system);
            catalogListed |= t.page == CatalogTableDefPage;
        }
        // The catalog's own pages, whether or not it still lists itself.
        if (!catalogListed)
            checkTable("MSysObjects", CatalogTableDefPage, true);
        reportUnowned();
        return problems_;
    }

private:
    void problem(const std::string& text) { problems_.push_back(file_.path() + ": " + text + "."); }

    void claim(std::uint32_t page, const std::string& who, bool shared = false) {
        if (page >= count_) {
            problem(who + " uses " + pageText(page) + ", beyond the end of the file (" +
                    std::to_string(count_) + " pages)");
            return;
        }
        if (!owner_[page].empty()) {
            if (owner_[page] != who)
                problem(pageText(page) + " belongs both to " + owner_[page] + " and to " + who);
            else if (!shared)
                problem(pageText(page) + " is listed twice for " + who);
            return;
        }
        owner_[page] = who;
        if (reach_[page] && free_[page])
            problem(pageText(page) + " is in use by " + who +
                    ", but the database's page map marks it free");
    }

    // Data and usage-map pages the database's page map marks in use that no
    // table owns, one line per run. (Long-value pages are left out: Access
    // keeps no map of some of them.)
    void reportUnowned() {
        std::uint32_t from = count_;
        for (std::uint32_t p = 0; p <= count_; ++p) {
            bool unowned = false;
            if (p < count_ && reach_[p] && !free_[p] && owner_[p].empty()) {
                const std::uint8_t* bytes = file_.page(p);
                unowned = bytes[0] == PageUsageMap ||
                          (bytes[0] == PageData && le32(bytes + DataOwnerOffset) != LongValueOwnerWord);
            }
            if (unowned && from == count_)
                from = p;
            if (!unowned && from != count_) {
                problem((from + 1 == p ? pageText(from) + " is"
                                       : "pages " + std::to_string(from) + " to " +
                                             std::to_string(p - 1) + " are") +
                        " marked in use in the database's page map, but no table owns " +
                        (from + 1 == p ? "it" : "them"));
                from = count_;
            }
        }
    }

    // The rows of a data page with their bounds; problems with the row table
    // and the free-space count are reported against `who`.
    std::vector<RowInfo> rowsOf(std::uint32_t page, const std::string& who) {
        const std::uint8_t* bytes = file_.page(page);
        const std::size_t count = le16(bytes + DataRowCountOffset);
        const std::size_t tableEnd = DataRowTableOffset + 2 * count;
        if (tableEnd > PageSize) {
            problem(who + ": the row table of " + pageText(page) + " runs off the page");
            return {};
        }
        std::vector<RowInfo> rows(count);
        std::size_t lowest = PageSize;
        for (std::size_t s = 0; s < count; ++s) {
            const std::uint16_t entry = le16(bytes + DataRowTableOffset + 2 * s);
            RowInfo& r = rows[s];
            r.flags = entry & (RowDeletedFlag | RowOverflowFlag);
            r.start = entry & RowOffsetMask;
            r.end = s == 0 ? PageSize : rows[s - 1].start;
            r.inside = r.start >= tableEnd && r.start <= r.end && r.end <= PageSize;
            if (r.inside)
                lowest = std::min(lowest, r.start);
            else if (r.flags != RowDeletedRow)
                problem(who + ": row " + std::to_string(s) + " of " + pageText(page) +
                        " lies outside its page");
        }
        const std::size_t computed = lowest - tableEnd;
        const std::size_t recorded = le16(bytes + DataFreeSpaceOffset);
        if (recorded != computed)
            problem(who + ": " + pageText(page) + " records " + std::to_string(recorded) +
                    " bytes of free space, but its rows leave " + std::to_string(computed));
        return rows;
    }

    void readGlobalMap() {
        const std::string who = "the database's page map";
        const std::uint8_t* bytes = file_.page(GlobalUsageMapPage);
        if (bytes[0] != PageData) {
            problem(who + " (" + pageText(GlobalUsageMapPage) + ") is not a data page");
            return;
        }
        const std::vector<RowInfo> rows = rowsOf(GlobalUsageMapPage, who);
        if (rows.empty() || !rows[0].inside || rows[0].end - rows[0].start < UsageMapInlineBitmap) {
            problem(who + " is missing or cut short");
            return;
        }
        const std::uint8_t* row = bytes + rows[0].start;
        const std::size_t length = rows[0].end - rows[0].start;
        auto mark = [&](std::uint64_t page, bool isFree) {
            if (page < count_) {
                reach_[page] = true;
                free_[page] = isFree;
            }
        };
        if (row[0] == UsageMapInline) {
            const std::uint64_t first = le32(row + UsageMapInlineStart);
            for (std::size_t b = 0; b < (length - UsageMapInlineBitmap) * 8; ++b)
                mark(first + b, (row[UsageMapInlineBitmap + b / 8] >> (b % 8)) & 1);
        } else if (row[0] == UsageMapReference) {
            for (std::size_t e = 0; e < (length - 1) / 4; ++e) {
                const std::uint32_t mapPage = le32(row + 1 + 4 * e);
                if (mapPage == 0)
                    continue;
                if (mapPage >= count_ || file_.page(mapPage)[0] != PageUsageMap) {
                    problem(who + " refers to " + pageText(mapPage) + ", which is no page usage map");
                    continue;
                }
                claim(mapPage, who);
                const std::uint8_t* bits = file_.page(mapPage) + UsageMapPageBitmap;
                for (std::size_t b = 0; b < UsageMapPagePages; ++b)
                    mark(e * UsageMapPagePages + b, (bits[b / 8] >> (b % 8)) & 1);
            }
        } else {
            problem(who + " has unknown type " + std::to_string(row[0]));
            return;
        }
        std::uint32_t from = count_;
        for (std::uint32_t p = 0; p <= count_; ++p) {
            const bool outside = p < count_ && !reach_[p];
            if (outside && from == count_)
                from = p;
            if (!outside && from != count_) {
                problem(from + 1 == p ? pageText(from) + " lies beyond the reach of " + who
                                      : "pages " + std::to_string(from) + " to " +
                                            std::to_string(p - 1) + " lie beyond the reach of " + who);
                from = count_;
            }
        }
    }

    struct TableEntry {
        std::string name;
        std::uint32_t page = 0;
        bool system = false;
    };

    std::vector<TableEntry> catalogTables() {
        Table catalog(file_, readTableDef(file_, CatalogTableDefPage, "MSysObjects"));
        const int id = catalog.columnIndex("Id");
        const int name = catalog.columnIndex("Name");
        const int type = catalog.columnIndex("Type");
        const int flags = catalog.columnIndex("Flags");
        if (id < 0 || name < 0 || type < 0 || flags < 0)
            file_.fail("the catalog (MSysObjects) lacks the fields Id, Name, Type and Flags");
        std::vector<TableEntry> out;
        std::u16string text;
        for (std::size_t r = 0; r < catalog.rowCount(); ++r) {
            const ColumnBytes t = catalog.bytes(r, static_cast<std::size_t>(type));
            const ColumnBytes i = catalog.bytes(r, static_cast<std::size_t>(id));
            if (!t.hasValue || t.length < 2 || static_cast<std::int16_t>(le16(t.data)) != ObjectTypeTable ||
                !i.hasValue || i.length < 4)
                continue;
            const ColumnBytes f = catalog.bytes(r, static_cast<std::size_t>(flags));
            text.clear();
            catalog.appendText(r, static_cast<std::size_t>(name), text);
            out.push_back({toUtf8(text), le32(i.data) & 0x00FFFFFFu,
                           f.hasValue && f.length >= 4 && (le32(f.data) & ObjectFlagsSystemMask) != 0});
        }
        return out;
    }

    MapRead readMap(std::uint32_t pointer, const std::string& who) {
        MapRead map;
        map.holder = pointerPage(pointer);
        const std::size_t slot = pointerRow(pointer);
        if (map.holder >= count_ || file_.page(map.holder)[0] != PageData) {
            problem(who + " lies on " + pageText(map.holder) + ", which is no data page");
            return map;
        }
        claim(map.holder, "the pages of page usage maps", true);
        const std::vector<RowInfo> rows = rowsOf(map.holder, "the pages of page usage maps");
        if (slot >= rows.size() || !rows[slot].inside || rows[slot].flags != 0 ||
            rows[slot].end == rows[slot].start) {
            problem(who + " (" + pageText(map.holder) + ", row " + std::to_string(slot) +
                    ") is missing");
            return map;
        }
        const std::uint8_t* row = file_.page(map.holder) + rows[slot].start;
        const std::size_t length = rows[slot].end - rows[slot].start;
        auto add = [&](std::uint64_t page) {
            if (page >= count_)
                problem(who + " marks " + pageText(static_cast<std::uint32_t>(page)) +
                        ", beyond the end of the file");
            else
                map.pages.push_back(static_cast<std::uint32_t>(page));
        };
        if (row[0] == UsageMapInline && length >= UsageMapInlineBitmap) {
            const std::uint64_t first = le32(row + UsageMapInlineStart);
            for (std::size_t b = 0; b < (length - UsageMapInlineBitmap) * 8; ++b) {
                if ((row[UsageMapInlineBitmap + b / 8] >> (b % 8)) & 1)
                    add(first + b);
            }
        } else if (row[0] == UsageMapReference) {
            for (std::size_t e = 0; e < (length - 1) / 4; ++e) {
                const std::uint32_t mapPage = le32(row + 1 + 4 * e);
                if (mapPage == 0)
                    continue;
                if (mapPage >= count_ || file_.page(mapPage)[0] != PageUsageMap) {
                    problem(who + " refers to " + pageText(mapPage) + ", which is no page usage map");
                    continue;
                }
                map.mapPages.push_back(mapPage);
                const std::uint8_t* bits = file_.page(mapPage) + UsageMapPageBitmap;
                for (std::size_t b = 0; b < UsageMapPagePages; ++b) {
                    if ((bits[b / 8] >> (b % 8)) & 1)
                        add(e * UsageMapPagePages + b);
                }
            }
        } else {
            problem(who + " has unknown type " + std::to_string(row[0]));
            return map;
        }
        map.ok = true;
        return map;
    }

    // Reads a map and claims its own pages; returns the pages it marks.
    std::set<std::uint32_t> mapOf(std::uint32_t pointer, const std::string& who) {
        if (pointer == 0)
            return {};  // no map (Access leaves some long-value maps out)
        const MapRead map = readMap(pointer, who);
        for (const std::uint32_t p : map.mapPages)
            claim(p, who);
        return {map.pages.begin(), map.pages.end()};
    }

    // The record count of a system table is not kept exact by Access itself,
    // so only user tables are held to theirs.
    void checkTable(const std::string& name, std::uint32_t tdefPage, bool system) {
        const std::string label = "table \"" + name + "\"";
        TableDef def;
        tablewrite::TableLayout layout;
        try {
            def = readTableDef(file_, tdefPage, name);
            layout = tablewrite::readTableLayout(file_, def);
        } catch (const ChangedError&) {
            throw;
        } catch (const Error& e) {
            problems_.push_back(e.what());
            return;
        }
        for (std::uint32_t p = tdefPage; p != 0; p = le32(file_.page(p) + TdefNextPageOffset))
            claim(p, label + "'s definition");

        const std::set<std::uint32_t> used = mapOf(layout.usedMap, label + "'s page usage map");
        const std::set<std::uint32_t> roomy = mapOf(layout.freeMap, label + "'s map of pages with room");
        for (const std::uint32_t p : roomy) {
            if (!used.count(p))
                problem(label + "'s map of pages with room lists " + pageText(p) +
                        ", which the table does not use");
        }

        std::uint64_t records = 0;
        std::map<std::uint32_t, std::uint32_t> pointers;  // moved row -> its home slot
        std::set<std::uint32_t> movedRows;
        std::vector<std::uint8_t> scratch;
        std::u16string text;
        for (const std::uint32_t page : used) {
            claim(page, label);
            const std::uint8_t* bytes = file_.page(page);
            if (bytes[0] != PageData || le32(bytes + DataOwnerOffset) != tdefPage) {
                problem(label + "'s page usage map marks " + pageText(page) +
                        ", which is no data page of the table");
                continue;
            }
            const std::vector<RowInfo> rows = rowsOf(page, label);
            for (std::size_t s = 0; s < rows.size(); ++s) {
                const RowInfo& r = rows[s];
                if (!r.inside || r.flags == RowDeletedRow)
                    continue;
                const std::uint32_t here = makePointer(page, static_cast<std::uint8_t>(s));
                if (r.flags == RowOverflowFlag) {
                    if (r.end - r.start < 4 || s > 0xFF) {
                        problem(label + ": the pointer of a moved row (" + pageText(page) +
                                ", row " + std::to_string(s) + ") is cut short");
                        continue;
                    }
                    const std::uint32_t target = le32(bytes + r.start);
                    if (!pointers.emplace(target, here).second)
                        problem(label + ": two pointers lead to " + pageText(pointerPage(target)) +
                                ", row " + std::to_string(pointerRow(target)));
                    continue;
                }
                ++records;
                if (r.flags == RowDeletedFlag && s <= 0xFF)
                    movedRows.insert(here);
                const RowSpan span{bytes + r.start, r.end - r.start, r.flags};
                for (const Column& c : def.columns) {
                    try {
                        text.clear();
                        appendColumnText(file_, def, c, span, text, scratch, label);
                    } catch (const ChangedError&) {
                        throw;
                    } catch (const Error& e) {
                        problem(label + ": the record at " + pageText(page) + ", row " +
                                std::to_string(s) + " cannot be read (" + e.what() + ")");
                        break;
                    }
                }
            }
        }
        for (const auto& [target, home] : pointers) {
            if (!movedRows.erase(target))
                problem(label + ": the moved row pointed to from " + pageText(pointerPage(home)) +
                        ", row " + std::to_string(pointerRow(home)) + " is not a moved row of the table (" +
                        pageText(pointerPage(target)) + ", row " + std::to_string(pointerRow(target)) + ")");
        }
        for (const std::uint32_t row : movedRows)
            problem(label + ": no pointer leads to the moved row at " + pageText(pointerPage(row)) +
                    ", row " + std::to_string(pointerRow(row)));
        const std::uint32_t recorded = le32(file_.page(tdefPage) + TdefRowCountOffset);
        if (!system && recorded != records)
            problem(label + " records " + std::to_string(recorded) + " records, but holds " +
                    std::to_string(records));

        for (const auto& maps : layout.longValueMaps) {
            std::string field = "field " + std::to_string(maps.column);
            for (const Column& c : def.columns) {
                if (c.number == maps.column)
                    field = "field \"" + c.name + "\"";
            }
            const std::string who = label + "'s long values of " + field;
            const std::set<std::uint32_t> lvUsed = mapOf(maps.used, who + " (page usage map)");
            const std::set<std::uint32_t> lvRoomy = mapOf(maps.free, who + " (map of pages with room)");
            for (const std::uint32_t p : lvRoomy) {
                if (!lvUsed.count(p))
                    problem(who + ": the map of pages with room lists " + pageText(p) +
                            ", which they do not use");
            }
            for (const std::uint32_t page : lvUsed) {
                claim(page, label + "'s long values");
                const std::uint8_t* bytes = file_.page(page);
                if (bytes[0] != PageData || le32(bytes + DataOwnerOffset) != LongValueOwnerWord) {
                    problem(who + ": the page usage map marks " + pageText(page) +
                            ", which holds no long values");
                    continue;
                }
                rowsOf(page, who);
            }
        }
    }

    PageFile& file_;
    std::uint32_t count_;
    std::vector<std::string> owner_;
    std::vector<bool> free_;
    std::vector<bool> reach_;
    std::vector<std::string> problems_;
};

} // namespace

std::vector<std::string> checkDatabase(PageFile& file) {
    try {
        return Checker(file).run();
    } catch (const ChangedError&) {
        throw;
    } catch (const RefusedError&) {
        throw;
    } catch (const Error& e) {
        return {e.what()};
    }
}

} // namespace zorvane::jet
