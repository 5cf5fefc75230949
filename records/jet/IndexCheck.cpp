#include "records/jet/IndexCheck.h"

#include "records/jet/IndexKey.h"

#include <map>

namespace zorvane::jet {

namespace {
std::string placeText(std::uint32_t pointer) {
    return "page " + std::to_string(format::pointerPage(pointer)) + ", row " +
           std::to_string(format::pointerRow(pointer));
}
} // namespace

void compareIndexPages(const std::string& who, const IndexTree& tree, const std::set<std::uint32_t>& mapped,
                       std::vector<std::string>& problems) {
    const std::set<std::uint32_t> used(tree.pages.begin(), tree.pages.end());
    for (const std::uint32_t p : used)
        if (!mapped.count(p))
            problems.push_back(who + ": its page usage map lacks page " + std::to_string(p) + " of its tree");
    for (const std::uint32_t p : mapped)
        if (!used.count(p))
            problems.push_back(who + ": its page usage map marks page " + std::to_string(p) +
                               ", which its tree does not use");
}

void compareIndexEntries(Table& table, std::size_t real, const IndexTree& tree, std::vector<std::string>& problems) {
    const TableDef& def = table.def();
    const RealIndexDef& index = def.realIndexDefs[real];
    const std::string who = def.label() + "'s " + def.indexLabel(real);
    std::multimap<std::uint32_t, const IndexEntry*> byRow;
    for (const IndexEntry& e : tree.entries)
        byRow.emplace(entryRow(e), &e);
    const std::size_t before = problems.size();
    auto problem = [&](const std::string& text) {
        if (problems.size() - before < 10)
            problems.push_back(who + ": " + text);
    };
    Bytes key;
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        const RowPlace& place = table.place(r);
        const std::uint32_t home = format::makePointer(place.homePage, static_cast<std::uint8_t>(place.homeSlot));
        key.clear();
        bool allNull = false;
        const std::string reason = indexkey::rowKey(table, r, index, key, &allNull);
        const bool wanted = !(allNull && (index.flags & IndexFlagNullsIgnored));
        const auto [from, to] = byRow.equal_range(home);
        const auto count = static_cast<std::size_t>(std::distance(from, to));
        if (count != (wanted ? 1u : 0u))
            problem("the record at " + placeText(home) + " has " + std::to_string(count) + " entries instead of " +
                    (wanted ? "1" : "0"));
        else if (wanted && reason.empty() && from->second->key != key)
            problem("the entry of the record at " + placeText(home) + " does not hold the record's key");
        byRow.erase(from, to);
    }
    for (const auto& [row, entry] : byRow)
        problem("an entry stands for " + placeText(row) + ", which holds no record of the table");
}

} // namespace zorvane::jet
