#include "records/jet/DatabaseCheck.h"

#include "records/jet/Catalog.h"
#include "records/jet/DataPage.h"
#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/IndexCheck.h"
#include "records/jet/Row.h"
#include "records/jet/Table.h"
#include "records/jet/UsageMap.h"
#include "records/jet/ValueText.h"

#include <functional>
#include <map>
#include <optional>
#include <set>

namespace zorvane::jet {

using namespace format;

namespace {

std::string pageText(std::uint32_t page) { return "page " + std::to_string(page); }
std::string rowText(std::uint32_t pointer) {
    return pageText(pointerPage(pointer)) + ", row " + std::to_string(pointerRow(pointer));
}

class Checker {
public:
    explicit Checker(PageFile& file)
        : file_(file), count_(file.pageCount()), owner_(count_), free_(count_, false) {}

    std::vector<std::string> run() {
        if (!guarded([&] { checkHeader(file_); }))
            return problems_;
        guarded([&] { readGlobalMap(); });
        claim(0, "the database header");
        claim(GlobalUsageMapPage, "the database's page map");
        std::vector<Database::TableEntry> tables;
        if (!guarded([&] {
                Table catalog = Database::openCatalog(file_);
                tables = Database::catalogTables(catalog);
            }))
            return problems_;
        bool catalogListed = false;
        for (const Database::TableEntry& t : tables) {
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

    // Runs `step`; a damage it throws becomes a problem, or its text goes
    // to `reason` (false).
    bool guarded(const std::function<void()>& step, std::string* reason = nullptr) {
        try {
            step();
            return true;
        } catch (const ChangedError&) {
            throw;
        } catch (const RefusedError&) {
            throw;
        } catch (const Error& e) {
            if (reason)
                *reason = e.what();
            else
                problems_.push_back(e.what());
            return false;
        }
    }

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
        if (free_[page])
            problem(pageText(page) + " is in use by " + who + ", but the database's page map marks it free");
    }

    // Data and usage-map pages the database's page map marks in use that no
    // table owns, one line per run: a lost catalog page leaves its tables'
    // pages so. (Long-value pages are left out: Access keeps no map of some
    // of them; definition pages too: Access leaves those of dropped tables.)
    void reportUnowned() {
        std::uint32_t from = count_;
        for (std::uint32_t p = 0; p <= count_; ++p) {
            bool unowned = false;
            if (p < count_ && !free_[p] && owner_[p].empty()) {
                const std::uint8_t* bytes = file_.page(p);
                unowned = bytes[0] == PageUsageMap ||
                          (bytes[0] == PageData && datapage::owner(bytes) != datapage::LongValueOwnerWord);
            }
            if (unowned && from == count_)
                from = p;
            if (!unowned && from != count_) {
                problem((from + 1 == p ? pageText(from) + " is"
                                       : "pages " + std::to_string(from) + " to " + std::to_string(p - 1) + " are") +
                        " marked in use in the database's page map, but no table owns " +
                        (from + 1 == p ? "it" : "them"));
                from = count_;
            }
        }
    }

    // The slots of a data page; problems with the row table and the
    // free-space count are reported against `who`.
    std::vector<RowSlot> rowsOf(std::uint32_t page, const std::string& who) {
        const std::uint8_t* bytes = file_.page(page);
        if (!datapage::rowTableFits(bytes)) {
            problem(who + ": the row table of " + pageText(page) + " runs off the page");
            return {};
        }
        std::vector<RowSlot> rows;
        for (std::size_t s = 0; s < datapage::slotCount(bytes); ++s) {
            rows.push_back(datapage::slot(bytes, s));
            if (!rows.back().inside && rows.back().flags != RowDeletedRow)
                problem(who + ": row " + std::to_string(s) + " of " + pageText(page) + " lies outside its page");
        }
        const std::size_t computed = datapage::computedFreeSpace(bytes);
        if (const std::size_t recorded = le16(bytes + DataFreeSpaceOffset); recorded != computed)
            problem(who + ": " + pageText(page) + " records " + std::to_string(recorded) +
                    " bytes of free space, but its rows leave " + std::to_string(computed));
        return rows;
    }

    // The usage map at `pointer` (the row table of its data page checked
    // for `holderWho`, its usage-map pages claimed for `who`), or nothing
    // with the problem reported.
    std::optional<UsageMap> mapAt(std::uint32_t pointer, const std::string& who, const std::string& holderWho) {
        const std::uint32_t holder = pointerPage(pointer);
        if (holder < count_ && file_.page(holder)[0] == PageData)
            rowsOf(holder, holderWho);
        std::optional<UsageMap> map;
        guarded([&] {
            const RowSpan row = rowAtPointer(file_, pointer, who);
            if (row.flags != 0)
                file_.fail(who + " is damaged: its row (" + rowText(pointer) + ") is deleted");
            map.emplace(file_, row.data, row.length, who, pointer == GlobalUsageMapPage << 8);
            for (std::size_t e = 0; e < map->entries(); ++e)
                map->mapPage(e);  // each names a usage-map page
        });
        if (map)
            for (std::size_t e = 0; e < map->entries(); ++e)
                if (const std::uint32_t mapPage = map->mapPage(e))
                    claim(mapPage, who);
        return map;
    }

    void readGlobalMap() {
        const std::string who = "the database's page map";
        const std::optional<UsageMap> map = mapAt(GlobalUsageMapPage << 8, who, who);
        if (!map)
            return;
        for (std::uint32_t p = 0; p < count_; ++p)
            free_[p] = map->has(p);
    }

    // Reads a map and claims its own pages; returns the pages it marks.
    std::set<std::uint32_t> mapOf(std::uint32_t pointer, const std::string& who) {
        if (pointer == 0)
            return {};  // no map (Access leaves some long-value maps out)
        claim(pointerPage(pointer), "the pages of page usage maps", true);
        const std::optional<UsageMap> map = mapAt(pointer, who, "the pages of page usage maps");
        std::set<std::uint32_t> out;
        if (!map)
            return out;
        for (const std::uint32_t p : map->pages()) {
            if (p >= count_)
                problem(who + " marks " + pageText(p) + ", beyond the end of the file");
            else
                out.insert(p);
        }
        return out;
    }

    // The record count of a system table is not kept exact by Access itself,
    // so only user tables are held to theirs.
    void checkTable(const std::string& name, std::uint32_t tdefPage, bool system) {
        const std::string label = "table \"" + name + "\"";
        TableDef def;
        if (!guarded([&] { def = readTableDef(file_, tdefPage, name); }))
            return;
        for (const std::uint32_t p : def.pages)
            claim(p, label + "'s definition");

        const std::set<std::uint32_t> used = mapOf(def.usedPages, label + "'s page usage map");
        for (const std::uint32_t p : mapOf(def.freePages, label + "'s map of pages with room"))
            if (!used.count(p))
                problem(label + "'s map of pages with room lists " + pageText(p) + ", which the table does not use");

        std::uint64_t records = 0;
        std::map<std::uint32_t, std::uint32_t> pointers;  // moved row -> its home slot
        std::set<std::uint32_t> movedRows;
        std::vector<std::uint8_t> scratch;
        std::u16string text;
        for (const std::uint32_t page : used) {
            claim(page, label);
            const std::uint8_t* bytes = file_.page(page);
            if (!datapage::ownedBy(bytes, tdefPage)) {
                problem(label + "'s page usage map marks " + pageText(page) + ", which is no data page of the table");
                continue;
            }
            const std::vector<RowSlot> rows = rowsOf(page, label);
            for (std::size_t s = 0; s < rows.size(); ++s) {
                const RowSlot& r = rows[s];
                if (!r.inside || r.flags == RowDeletedRow)
                    continue;
                const std::uint32_t here = makePointer(page, static_cast<std::uint8_t>(s));
                if (r.flags == RowOverflowFlag) {
                    if (r.end - r.start < 4 || s > 0xFF) {
                        problem(label + ": the pointer of a moved row (" + pageText(page) + ", row " +
                                std::to_string(s) + ") is cut short");
                        continue;
                    }
                    const std::uint32_t target = le32(bytes + r.start);
                    if (!pointers.emplace(target, here).second)
                        problem(label + ": two pointers lead to " + rowText(target));
                    continue;
                }
                ++records;
                if (r.flags == RowDeletedFlag && s <= 0xFF)
                    movedRows.insert(here);
                const RowSpan span{bytes + r.start, r.end - r.start, r.flags};
                for (const Column& c : def.columns) {
                    text.clear();
                    std::string reason;
                    if (!guarded([&] { appendColumnText(file_, def, c, span, text, scratch, label); }, &reason)) {
                        problem(label + ": the record at " + pageText(page) + ", row " + std::to_string(s) +
                                " cannot be read (" + reason + ")");
                        break;
                    }
                }
            }
        }
        for (const auto& [target, home] : pointers)
            if (!movedRows.erase(target))
                problem(label + ": the moved row pointed to from " + rowText(home) +
                        " is not a moved row of the table (" + rowText(target) + ")");
        for (const std::uint32_t row : movedRows)
            problem(label + ": no pointer leads to the moved row at " + rowText(row));
        if (!system && def.storedRows != records)
            problem(label + " records " + std::to_string(def.storedRows) + " records, but holds " +
                    std::to_string(records));
        checkIndexes(def);

        for (const LongValueMaps& maps : def.longValueMaps) {
            std::string field = "field " + std::to_string(maps.column);
            for (const Column& c : def.columns)
                if (c.number == maps.column)
                    field = "field \"" + c.name + "\"";
            const std::string who = label + "'s long values of " + field;
            const std::set<std::uint32_t> lvUsed = mapOf(maps.used, who + " (page usage map)");
            for (const std::uint32_t p : mapOf(maps.free, who + " (map of pages with room)"))
                if (!lvUsed.count(p))
                    problem(who + ": the map of pages with room lists " + pageText(p) + ", which they do not use");
            for (const std::uint32_t page : lvUsed) {
                claim(page, label + "'s long values");
                const std::uint8_t* bytes = file_.page(page);
                if (!datapage::ownedBy(bytes, datapage::LongValueOwnerWord)) {
                    problem(who + ": the page usage map marks " + pageText(page) + ", which holds no long values");
                    continue;
                }
                rowsOf(page, who);
            }
        }
    }

    // Each index's tree, its page usage map and its entries against the
    // table's rows (IndexCheck.h).
    void checkIndexes(const TableDef& def) {
        if (def.realIndexDefs.empty())
            return;
        std::optional<Table> table;  // none when the rows cannot be read (reported above)
        std::string unreadable;
        guarded([&] { table.emplace(file_, def); }, &unreadable);
        for (std::size_t i = 0; i < def.realIndexDefs.size(); ++i) {
            const std::string who = def.label() + "'s " + def.indexLabel(i);
            const IndexTree tree = readIndexTree(file_, def, i);
            for (const std::uint32_t p : tree.pages)
                claim(p, who);
            const std::set<std::uint32_t> mapped = mapOf(def.realIndexDefs[i].usageMap, who + "'s page usage map");
            std::vector<std::string> found = tree.problems;
            compareIndexPages(who, tree, mapped, found);
            if (table)
                guarded([&] { compareIndexEntries(*table, i, tree, found); });
            for (const std::string& text : found)
                problem(text);
        }
    }

    PageFile& file_;
    std::uint32_t count_;
    std::vector<std::string> owner_;
    std::vector<bool> free_;
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
