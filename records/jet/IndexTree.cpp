#include "records/jet/IndexTree.h"

#include "records/jet/Error.h"

#include <algorithm>
#include <optional>
#include <set>

namespace zorvane::jet {

namespace {
constexpr std::size_t MaxDepth = 32;

std::string pageText(std::uint32_t page) { return "page " + std::to_string(page); }
} // namespace

bool entryBefore(const IndexEntry& a, const IndexEntry& b) {
    if (a.key != b.key)
        return std::lexicographical_compare(a.key.begin(), a.key.end(), b.key.begin(), b.key.end());
    return entryRow(a) < entryRow(b);
}

namespace {

// Walks the tree depth first, left to right.
class TreeWalk {
public:
    TreeWalk(PageFile& file, const TableDef& def, std::size_t real, IndexTree& tree)
        : file_(file), def_(def), tree_(tree), who_(def.label() + "'s " + def.indexLabel(real)) {}

    void run(std::uint32_t root) {
        visit(root, 0);
        for (const std::vector<Linked>& level : levels_)
            for (std::size_t i = 0; i < level.size(); ++i) {
                const std::uint32_t prev = i ? level[i - 1].number : 0;
                const std::uint32_t next = i + 1 < level.size() ? level[i + 1].number : 0;
                if (level[i].prev != prev)
                    problem(pageText(level[i].number) + "'s previous page is " + pageText(level[i].prev) +
                            " instead of " + pageText(prev));
                if (level[i].next != next)
                    problem(pageText(level[i].number) + "'s next page is " + pageText(level[i].next) +
                            " instead of " + pageText(next));
            }
        for (std::size_t i = 1; i < tree_.entries.size(); ++i)
            if (!entryBefore(tree_.entries[i - 1], tree_.entries[i])) {
                problem("its entries are out of order (entry " + std::to_string(i) + " of " +
                        std::to_string(tree_.entries.size()) + ")");
                break;
            }
    }

private:
    struct Linked {
        std::uint32_t number, prev, next;
    };

    void problem(const std::string& text) { tree_.problems.push_back(who_ + ": " + text); }

    // Reads the subtree under `number`; returns its last entry, if any.
    std::optional<IndexEntry> visit(std::uint32_t number, std::size_t depth) {
        if (depth == MaxDepth) {
            problem("its tree is deeper than " + std::to_string(MaxDepth) + " levels");
            return std::nullopt;
        }
        if (number == 0 || number >= file_.pageCount()) {
            problem("it leads to " + pageText(number) + ", which the file does not hold");
            return std::nullopt;
        }
        if (!seen_.insert(number).second) {
            problem(pageText(number) + " is reached twice in its tree");
            return std::nullopt;
        }
        IndexPage page;
        try {
            page = IndexPage::decode(file_.page(number), number, who_);
        } catch (const ChangedError&) {
            throw;
        } catch (const Error& e) {
            const std::string text = e.what();
            tree_.problems.push_back(text.substr(0, text.size() - 1));
            return std::nullopt;
        }
        tree_.pages.push_back(number);
        const std::string here = pageText(number);
        if (page.owner != def_.page)
            problem(here + " belongs to the table whose definition is on " + pageText(page.owner));
        if (page.freeSpace != page.computedFreeSpace())
            problem(here + " records " + std::to_string(page.freeSpace) + " bytes of free space, but its entries "
                    "leave " + std::to_string(page.computedFreeSpace()));
        if (levels_.size() <= depth)
            levels_.resize(depth + 1);
        levels_[depth].push_back({number, page.prev, page.next});
        if (page.leaf) {
            if (leafDepth_ && *leafDepth_ != depth)
                problem("leaf " + here + " lies at another depth than the tree's other leaves");
            leafDepth_ = depth;
            std::optional<IndexEntry> last;
            if (!page.entries.empty())
                last = page.entries.back();
            for (IndexEntry& e : page.entries)
                tree_.entries.push_back(std::move(e));
            return last;
        }
        for (const IndexEntry& e : page.entries) {
            const std::optional<IndexEntry> last = visit(e.child, depth + 1);
            if (last && (last->key != e.key || entryRow(*last) != entryRow(e)))
                problem("the entry for " + pageText(e.child) + " on node " + here +
                        " is not the last entry under that page");
        }
        if (page.tail == 0) {
            problem("node " + here + " has no tail page");
            return std::nullopt;
        }
        if (!page.entries.empty() && page.entries.back().child == page.tail)
            return page.entries.back();
        return visit(page.tail, depth + 1);
    }

    PageFile& file_;
    const TableDef& def_;
    IndexTree& tree_;
    std::string who_;
    std::set<std::uint32_t> seen_;
    std::vector<std::vector<Linked>> levels_;
    std::optional<std::size_t> leafDepth_;
};

} // namespace

IndexTree readIndexTree(PageFile& file, const TableDef& def, std::size_t real) {
    IndexTree tree;
    TreeWalk(file, def, real, tree).run(def.realIndexDefs[real].rootPage);
    return tree;
}

namespace {

// The rows of the entries `take` accepts among those from the first whose
// key is not below `key` on, until `past` says an entry lies beyond them.
template <typename Take, typename Past>
std::vector<std::uint32_t> walkFrom(PageFile& file, const TableDef& def, std::size_t real, const Bytes& key,
                                    Take take, Past past) {
    const std::string who = def.label() + "'s " + def.indexLabel(real);
    std::vector<std::uint32_t> rows;
    std::uint32_t number = def.realIndexDefs[real].rootPage;
    IndexPage page = IndexPage::decode(file.page(number, who.c_str()), number, who);
    for (std::size_t depth = 0; !page.leaf; ++depth) {
        if (depth == MaxDepth)
            fail(file.path(), who + " is damaged: its tree is too deep");
        // The first child whose last key is not below `key`; else the tail.
        number = page.tail;
        for (const IndexEntry& e : page.entries)
            if (!std::lexicographical_compare(e.key.begin(), e.key.end(), key.begin(), key.end())) {
                number = e.child;
                break;
            }
        page = IndexPage::decode(file.page(number, who.c_str()), number, who);
    }
    // Entries that belong may run on over the next leaves.
    for (std::size_t hops = 0; hops < file.pageCount(); ++hops) {
        for (const IndexEntry& e : page.entries) {
            if (take(e.key))
                rows.push_back(entryRow(e));
            else if (past(e.key))
                return rows;
        }
        if (page.next == 0)
            return rows;
        number = page.next;
        page = IndexPage::decode(file.page(number, who.c_str()), number, who);
    }
    fail(file.path(), who + " is damaged: its leaves form a loop");
}

} // namespace

std::vector<std::uint32_t> findByKey(PageFile& file, const TableDef& def, std::size_t real, const Bytes& key) {
    return walkFrom(
        file, def, real, key, [&](const Bytes& k) { return k == key; },
        [&](const Bytes& k) { return !std::lexicographical_compare(k.begin(), k.end(), key.begin(), key.end()); });
}

std::vector<std::uint32_t> findByKeyPrefix(PageFile& file, const TableDef& def, std::size_t real,
                                           const Bytes& prefix) {
    const auto begins = [&](const Bytes& k) {
        return k.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), k.begin());
    };
    return walkFrom(file, def, real, prefix, begins, [&](const Bytes& k) {
        return !begins(k) && !std::lexicographical_compare(k.begin(), k.end(), prefix.begin(), prefix.end());
    });
}

} // namespace zorvane::jet
