// The refresh of a vendor database: brings
// table "oui" up to date with a newer IEEE listing and keeps what the user
// changed. Per vendor code it compares three records: the listing as last
// imported or refreshed (table "ouiListing", the base), the user's ("oui" as
// it is now) and the new listing's:
//
//   base  user            new              outcome
//   -     -               present          added
//   B     equal to B      differs from B   updated to the new values
//   B     equal to B      gone             removed (withdrawn)
//   B     differs from B  equal to B       kept (the user's change)
//   -     present         -                kept (the user's addition)
//   B     deleted         equal to B       kept (the user's deletion)
//   user's change and the listing's change differ: conflict, kept as the user has it
//   user's change and the listing's change agree: nothing to do
//
// then the base becomes the new listing. A code listed more than once is
// matched occurrence by occurrence: a record equal to an occurrence is that
// occurrence, the rest go in order. A file without the base (made
// by Access or by an older import) only gets the codes it lacks; every other
// difference is reported as kept.
//
// Everything is written in one command of the file (under its writer lock,
// all or nothing); with --changes, every change and kept difference goes to
// a CSV file ("change,code,field,before,after"): for a conflict "before" is
// the user's value, which stays, and "after" the new listing's.
#include "listing/Refresh.h"

#include "records/Csv.h"
#include "records/VendorDatabase.h"
#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/TableWriter.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace zorvane::listing {

namespace {


namespace vendor = records::vendor;
constexpr std::size_t FieldCount = vendor::FieldCount;

// A record: its eight fields packed in one string, each as its length (two
// units) and its text, a null as the empty text. One allocation a record, and
// two records are alike when their strings are.
using Record = std::u16string;

void setLength(Record& record, std::size_t at) {
    const std::size_t length = record.size() - at - 2;
    record[at] = static_cast<char16_t>(length >> 16);
    record[at + 1] = static_cast<char16_t>(length & 0xFFFF);
}

void appendField(Record& record, const QString& text) {
    const std::size_t at = record.size();
    record.append(2, u'\0');
    record.append(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
    setLength(record, at);
}

std::u16string_view fieldOf(const Record& record, std::size_t field) {
    std::size_t at = 0;
    for (;; --field) {
        const std::size_t length = (std::size_t(record[at]) << 16) | record[at + 1];
        if (field == 0)
            return std::u16string_view(record).substr(at + 2, length);
        at += 2 + length;
    }
}

QString qstring(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// A vendor table's records, where each lives, and which column holds each of
// the eight fields (-1: the table has no such field).
struct TableRows {
    std::vector<Record> records;
    std::vector<jet::RowPlace> places;
    std::array<int, FieldCount> columns{};
    const jet::TableDef* def = nullptr;
};

TableRows readRows(jet::Table& table) {
    TableRows rows;
    rows.def = &table.def();
    for (std::size_t f = 0; f < FieldCount; ++f)
        rows.columns[f] = table.columnIndex(vendor::Fields[f].name);
    rows.records.resize(table.rowCount());
    rows.places.reserve(table.rowCount());
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
        rows.places.push_back(table.place(i));
        Record& record = rows.records[i];
        for (std::size_t f = 0; f < FieldCount; ++f) {
            const std::size_t at = record.size();
            record.append(2, u'\0');
            if (rows.columns[f] >= 0)
                table.appendText(i, static_cast<std::size_t>(rows.columns[f]), record);
            setLength(record, at);
        }
    }
    return rows;
}

// The records of a vendor table, nulls kept.
std::vector<records::VendorRecord> vendorRecordsOf(jet::Table& table) {
    std::array<int, FieldCount> columns{};
    for (std::size_t f = 0; f < FieldCount; ++f)
        columns[f] = table.columnIndex(vendor::Fields[f].name);
    std::vector<records::VendorRecord> out(table.rowCount());
    std::u16string text;
    for (std::size_t row = 0; row < out.size(); ++row)
        for (std::size_t f = 0; f < FieldCount; ++f)
            if (text.clear(); columns[f] >= 0 && table.appendText(row, static_cast<std::size_t>(columns[f]), text))
                out[row].fields[f] = qstring(text);
    return out;
}

// Whether `database` is a vendor file as import makes it and holds nothing
// more: the catalog of a new file with its tables, and those tables with
// the vendor fields and no index. Such a file can be written anew with one
// more table and lose nothing (an Access-made or Access-opened file never
// passes: its catalog holds more).
bool madeByImport(jet::Database& database, bool hasBase) {
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return false;
    const QString model = scratch.filePath(QStringLiteral("model.mdb"));
    const std::vector<records::VendorRecord> none;
    records::createVendorDatabase(model, none, false, {}, hasBase ? &none : nullptr);
    jet::Database made(QFile::encodeName(model).toStdString(), jet::PageFile::Mode::Read);
    if (database.tables().size() != made.tables().size())
        return false;
    for (std::size_t i = 0; i < made.tables().size(); ++i) {
        const std::string& name = made.tables()[i].name;
        if (!jet::sameName(database.tables()[i].name, name))
            return false;
        const std::unique_ptr<jet::Table> theirs = database.openTable(name), ours = made.openTable(name);
        const std::vector<jet::Column>&have = theirs->def().columns, &want = ours->def().columns;
        if (have.size() != want.size() || !theirs->def().realIndexDefs.empty())
            return false;
        for (std::size_t c = 0; c < want.size(); ++c)
            if (!jet::sameName(have[c].name, want[c].name) || have[c].type != want[c].type ||
                have[c].length != want[c].length)
                return false;
    }
    return jet::Database::openCatalog(database.file()).rowCount() ==
           jet::Database::openCatalog(made.file()).rowCount();
}

constexpr const char* ChangeNames[] = {"added", "updated", "removed", "kept", "conflict"};

// A field of a CSV line as zorvane-db export writes it: an empty text (not a
// null) quoted.
void appendCsvField(QByteArray& out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    records::appendCsvField(out, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// One record's outcome, with the record before and after (none: absent).
struct Report {
    Change change;
    std::u16string_view code;
    const Record* before;
    const Record* after;
};

// The writes one table gets: rows to remove or rewrite (by index into its
// TableRows) and records to add at the end, in order.
struct TableEdits {
    std::vector<std::size_t> removed;
    std::vector<std::pair<std::size_t, const Record*>> updated;
    std::vector<const Record*> added;
    bool empty() const { return removed.empty() && updated.empty() && added.empty(); }
};

// The rows of one side that carry one code, in table order: nearly always
// one, held without an allocation of its own.
class RowList {
public:
    void push_back(std::size_t row) {
        if (count_++ == 0)
            first_ = row;
        else
            more_.push_back(row);
    }
    std::size_t size() const { return count_; }
    std::size_t operator[](std::size_t k) const { return k == 0 ? first_ : more_[k - 1]; }

private:
    std::size_t count_ = 0, first_ = 0;
    std::vector<std::size_t> more_;
};

// The rows of the three sides that carry one code.
struct Group {
    RowList base, user, listing;
};

class Merge {
public:
    Merge(const TableRows& user, const TableRows* base, const std::vector<Record>& listing)
        : user_(user), base_(base), listing_(listing) {
        groups_.reserve(listing.size() + 1000);
        for (std::size_t i = 0; i < listing.size(); ++i)
            groupOf(listing[i]).listing.push_back(i);
        if (base) {
            for (std::size_t i = 0; i < base->records.size(); ++i)
                groupOf(base->records[i]).base.push_back(i);
        }
        for (std::size_t i = 0; i < user.records.size(); ++i)
            groupOf(user.records[i]).user.push_back(i);
        for (const std::u16string_view code : order_)
            merge(code, groups_[code]);
        std::stable_sort(reports_.begin(), reports_.end(),
                         [](const Report& a, const Report& b) { return a.code < b.code; });
    }

    std::array<int, 5> counts{};
    TableEdits oui, listed;
    const std::vector<Report>& reports() const { return reports_; }

private:
    Group& groupOf(const Record& record) {
        const std::u16string_view code = fieldOf(record, vendor::Code);
        const auto [found, added] = groups_.try_emplace(code);
        if (added)
            order_.push_back(code);
        return found->second;
    }

    void report(Change change, std::u16string_view code, const Record* before, const Record* after) {
        ++counts[static_cast<std::size_t>(change)];
        reports_.push_back({change, code, before, after});
    }

    void merge(std::u16string_view code, const Group& g) {
        const std::size_t nb = g.base.size(), nu = g.user.size(), nn = g.listing.size();
        if (std::max({nb, nu, nn}) > 1)
            return mergeRepeated(code, g);
        // One record a side at most.
        const Record* b = nb ? &base_->records[g.base[0]] : nullptr;
        const Record* n = nn ? &listing_[g.listing[0]] : nullptr;
        if (base_ && (!b != !n || (b && *b != *n))) {
            if (!b)
                listed.added.push_back(n);
            else if (!n)
                listed.removed.push_back(g.base[0]);
            else
                listed.updated.push_back({g.base[0], n});
        }
        mergeOne(code, b, nu ? &user_.records[g.user[0]] : nullptr, nu ? g.user[0] : 0, n);
    }

    // The occurrences of one code on two sides paired: a record equal to one
    // on the other side is that occurrence (the first such, in order); the
    // rest pair up in order. ofA[i]: the index on side b of a's i-th, or -1.
    struct Pairing {
        std::vector<int> ofA, ofB;
    };
    template <typename A, typename B> static Pairing pairUp(std::size_t na, A a, std::size_t nb, B b) {
        Pairing p{std::vector<int>(na, -1), std::vector<int>(nb, -1)};
        for (std::size_t i = 0; i < na; ++i)
            for (std::size_t j = 0; j < nb; ++j)
                if (p.ofB[j] < 0 && a(i) == b(j)) {
                    p.ofA[i] = static_cast<int>(j);
                    p.ofB[j] = static_cast<int>(i);
                    break;
                }
        std::size_t j = 0;
        for (std::size_t i = 0; i < na; ++i) {
            if (p.ofA[i] >= 0)
                continue;
            while (j < nb && p.ofB[j] >= 0)
                ++j;
            if (j == nb)
                break;
            p.ofA[i] = static_cast<int>(j);
            p.ofB[j] = static_cast<int>(i);
        }
        return p;
    }

    // A code listed more than once: the occurrences are matched by content
    // first, so a record the user edited (which may have moved to the end of
    // the table) does not shift the others onto the wrong occurrences.
    void mergeRepeated(std::u16string_view code, const Group& g) {
        const std::size_t nb = g.base.size(), nu = g.user.size(), nn = g.listing.size();
        auto base = [&](std::size_t k) -> const Record& { return base_->records[g.base[k]]; };
        auto user = [&](std::size_t k) -> const Record& { return user_.records[g.user[k]]; };
        auto listing = [&](std::size_t k) -> const Record& { return listing_[g.listing[k]]; };
        const Pairing toListing = pairUp(nb, base, nn, listing);
        const Pairing toUser = pairUp(nb, base, nu, user);
        bool baseChanged = nb != nn;
        bool untouched = base_ && nu == nb;
        for (std::size_t k = 0; k < nb; ++k) {
            baseChanged = baseChanged || toListing.ofA[k] < 0 || base(k) != listing(std::size_t(toListing.ofA[k]));
            untouched = untouched && toUser.ofA[k] >= 0 && base(k) == user(std::size_t(toUser.ofA[k]));
        }
        if (base_ && baseChanged) {
            // The base becomes the new listing, written anew as a whole so
            // that its order (which the matching of the rest goes by) stays
            // the listing's.
            for (std::size_t k = 0; k < nb; ++k)
                listed.removed.push_back(g.base[k]);
            for (std::size_t k = 0; k < nn; ++k)
                listed.added.push_back(&listing(k));
        }
        if (untouched && baseChanged) {
            // A repeated code the user left alone goes in anew, in order.
            for (std::size_t k = 0; k < nb; ++k) {
                const int n = toListing.ofA[k];
                if (n < 0)
                    report(Change::Removed, code, &base(k), nullptr);
                else if (base(k) != listing(std::size_t(n)))
                    report(Change::Updated, code, &base(k), &listing(std::size_t(n)));
            }
            for (std::size_t k = 0; k < nn; ++k)
                if (toListing.ofB[k] < 0)
                    report(Change::Added, code, nullptr, &listing(k));
            for (std::size_t k = 0; k < nu; ++k)
                oui.removed.push_back(g.user[k]);
            for (std::size_t k = 0; k < nn; ++k)
                oui.added.push_back(&listing(k));
            return;
        }
        for (std::size_t k = 0; k < nb; ++k) {
            const int u = toUser.ofA[k], n = toListing.ofA[k];
            mergeOne(code, &base(k), u < 0 ? nullptr : &user(std::size_t(u)), u < 0 ? 0 : g.user[std::size_t(u)],
                     n < 0 ? nullptr : &listing(std::size_t(n)));
        }
        // The user's records and the listing's without a base: paired the same way.
        std::vector<std::size_t> users, listings;
        for (std::size_t k = 0; k < nu; ++k)
            if (toUser.ofB[k] < 0)
                users.push_back(k);
        for (std::size_t k = 0; k < nn; ++k)
            if (toListing.ofB[k] < 0)
                listings.push_back(k);
        const Pairing rest = pairUp(
            users.size(), [&](std::size_t i) -> const Record& { return user(users[i]); }, listings.size(),
            [&](std::size_t j) -> const Record& { return listing(listings[j]); });
        for (std::size_t i = 0; i < users.size(); ++i) {
            const int n = rest.ofA[i];
            mergeOne(code, nullptr, &user(users[i]), g.user[users[i]],
                     n < 0 ? nullptr : &listing(listings[std::size_t(n)]));
        }
        for (std::size_t j = 0; j < listings.size(); ++j)
            if (rest.ofB[j] < 0)
                mergeOne(code, nullptr, nullptr, 0, &listing(listings[j]));
    }

    void mergeOne(std::u16string_view code, const Record* b, const Record* u, std::size_t userRow,
                  const Record* n) {
        if (!base_) {
            // No base: what the user has stays; only missing codes come in.
            if (!u) {
                report(Change::Added, code, nullptr, n);
                oui.added.push_back(n);
            } else if (!n || *u != *n) {
                report(Change::Kept, code, n, u);
            }
            return;
        }
        if (!b && !u) {
            report(Change::Added, code, nullptr, n);
            oui.added.push_back(n);
            return;
        }
        const bool userChanged = !b || !u || *u != *b;
        const bool listingChanged = !b != !n || (b && n && *n != *b);
        if (!userChanged) {
            if (!n) {
                report(Change::Removed, code, u, nullptr);
                oui.removed.push_back(userRow);
            } else if (listingChanged) {
                report(Change::Updated, code, u, n);
                oui.updated.push_back({userRow, n});
            }
        } else if (!listingChanged) {
            report(Change::Kept, code, b, u);
        } else if (u ? !n || *u != *n : n != nullptr) {
            report(Change::Conflict, code, u, n);
        }
    }

    const TableRows& user_;
    const TableRows* base_;
    const std::vector<Record>& listing_;
    std::unordered_map<std::u16string_view, Group> groups_;  // by code
    std::vector<std::u16string_view> order_;                 // the codes in the order first met
    std::vector<Report> reports_;
};

std::vector<jet::FieldChange> changesTo(const TableRows& rows, const Record& record,
                                        const Record* from) {
    std::vector<jet::FieldChange> changes;
    for (std::size_t f = 0; f < FieldCount; ++f) {
        const int column = rows.columns[f];
        if (column < 0 || (from && fieldOf(*from, f) == fieldOf(record, f)))
            continue;
        changes.push_back({static_cast<std::size_t>(column), std::u16string(fieldOf(record, f))});
    }
    return changes;
}

// Applies `edits` to a table through the current command.
void write(jet::PageFile& file, const TableRows& rows, const TableEdits& edits) {
    if (edits.empty())
        return;
    jet::TableWriter writer(file, *rows.def);
    // New and moved rows take the room that removed and moved rows leave, so
    // that refreshing again and again does not grow the file; the records of
    // a code added together keep their order (which the matching of repeated
    // codes goes by).
    writer.setPlacement(jet::TableWriter::Placement::AnyRoom);
    for (const std::size_t i : edits.removed)
        writer.remove(rows.places[i]);
    for (const auto& [i, record] : edits.updated)
        writer.update(rows.places[i], changesTo(rows, *record, &rows.records[i]));
    jet::RowPlace last{};
    const Record* previous = nullptr;
    for (const Record* record : edits.added) {
        const bool sameCode = previous && fieldOf(*previous, vendor::Code) == fieldOf(*record, vendor::Code);
        last = writer.insert(changesTo(rows, *record, nullptr), sameCode ? &last : nullptr);
        previous = record;
    }
    writer.finish();
}

QByteArray changesCsv(const std::vector<Report>& reports) {
    QByteArray out("change,code,field,before,after\r\n");
    for (const Report& r : reports) {
        for (std::size_t f = 0; f < FieldCount; ++f) {
            const std::u16string_view before = r.before ? fieldOf(*r.before, f) : std::u16string_view();
            const std::u16string_view after = r.after ? fieldOf(*r.after, f) : std::u16string_view();
            if (before == after)
                continue;
            out.append(ChangeNames[static_cast<std::size_t>(r.change)]).append(',');
            appendCsvField(out, qstring(r.code));
            out.append(',').append(vendor::Fields[f].name).append(',');
            // A side without the record gives an empty field, unquoted.
            if (r.before)
                appendCsvField(out, qstring(before));
            out.append(',');
            if (r.after)
                appendCsvField(out, qstring(after));
            out.append("\r\n");
        }
    }
    return out;
}

} // namespace

RefreshOutcome refreshDatabase(const QString& file, const ListingResult& listing, const QString& folder,
                               const RefreshOptions& options) {
    const std::string path = QFile::encodeName(file).toStdString();
    // A registry file missing, empty or not the listing would read as every
    // one of its codes withdrawn.
    if (!listing.refused.isEmpty())
        throw jet::Error(listing.refused.toStdString() + "; " + path + " was not changed.");
    if (options.cids && !options.cids->refused.isEmpty())
        throw jet::Error(options.cids->refused.toStdString() + "; " + path + " was not changed.");
    // The new listing's records, as import writes them.
    auto recordsOf = [](const ListingResult& from) {
        std::vector<Record> records(from.entries.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            for (const std::optional<QString>& field : vendorRecordOf(from.entries[i]).fields)
                appendField(records[i], field.value_or(QString()));
        }
        return records;
    };
    const std::vector<Record> fresh = recordsOf(listing);
    const std::vector<Record> freshCids = options.cids ? recordsOf(*options.cids) : std::vector<Record>();

    // Opened for writing, the file is held (its writer lock) from the reading
    // of its tables to the commit; a dry run only reads it.
    std::unique_ptr<jet::Database> database;
    std::unique_ptr<jet::Table> userTable, baseTable, cidTable;
    auto open = [&](jet::PageFile::Mode mode) {
        cidTable.reset();
        baseTable.reset();
        userTable.reset();
        database = std::make_unique<jet::Database>(path, mode, options.engine);
        userTable = database->openTable(vendor::TableName);
        for (const jet::Database::TableEntry& t : database->tables()) {
            if (jet::sameName(t.name, vendor::ListingTableName))
                baseTable = database->openTable(t.name);
            else if (options.cids && jet::sameName(t.name, vendor::CidTableName))
                cidTable = database->openTable(t.name);
        }
    };
    if (options.dryRun)
        jet::readWhileBusy(path, [&] { open(jet::PageFile::Mode::Read); }, options.engine);
    else
        open(jet::PageFile::Mode::ReadWrite);
    const TableRows user = readRows(*userTable);
    const std::optional<TableRows> base =
        baseTable ? std::optional<TableRows>(readRows(*baseTable)) : std::nullopt;
    // A listing much smaller than the one the database was last brought up
    // to (registry by registry) is a cut-off or wrong file, not the IEEE's.
    ListingFloors floors;
    if (options.minEntries) {
        floors = fixedFloors(options.minEntries);
    } else if (base) {
        std::array<int, 4> entries{};
        for (const Record& record : base->records)
            if (const int r = registryOfCode(qstring(fieldOf(record, vendor::Code))); r >= 0)
                ++entries[static_cast<std::size_t>(r)];
        floors = replacingFloors(entries);
    }
    if (const QString refused = floorRefusal(listing, folder, floors); !refused.isEmpty())
        throw jet::Error(refused.toStdString() + "; " + path + " was not changed.");
    // Table "cid" holds the registry as last imported or refreshed and
    // nothing else, so it is its own base: it becomes the new registry. A
    // registry much smaller than the one it replaces is refused as the
    // others are.
    const std::optional<TableRows> cids = cidTable ? std::optional<TableRows>(readRows(*cidTable)) : std::nullopt;
    if (cids) {
        const int held = static_cast<int>(cids->records.size());
        const int least = replacingFloors({held, 0, 0, 0}).least[0];
        if (static_cast<int>(freshCids.size()) < least) {
            const QLocale english(QLocale::English);
            throw jet::Error(QStringLiteral("%1: holds %2 CID entries, the listing it would replace %3 (at least "
                                            "%4% are needed); %5 was not changed.")
                                 .arg(QDir(folder).filePath(QString::fromLatin1(CidRegistryFile.fileName)),
                                      english.toString(qsizetype(freshCids.size())), english.toString(held))
                                 .arg(ReplacingEntryPercent)
                                 .arg(QString::fromStdString(path))
                                 .toStdString());
        }
    }
    const Merge merge(user, base ? &*base : nullptr, fresh);
    const std::optional<Merge> cidMerge = cids ? std::optional<Merge>(std::in_place, *cids, &*cids, freshCids)
                                               : std::nullopt;
    if (options.report)
        options.report(changesCsv(merge.reports()));

    RefreshOutcome outcome;
    outcome.counts = merge.counts;
    outcome.hadBase = base.has_value();
    outcome.cidGiven = options.cids != nullptr;
    outcome.cidTable = cids.has_value();
    if (cidMerge)
        outcome.cidCounts = {cidMerge->counts[0], cidMerge->counts[1], cidMerge->counts[2]};
    outcome.written = !options.dryRun && !(merge.oui.empty() && merge.listed.empty() && (!cidMerge || cidMerge->oui.empty()));
    if (outcome.written) {
        jet::PageFile& pageFile = database->file();
        try {
            pageFile.begin();
            write(pageFile, user, merge.oui);
            if (base)
                write(pageFile, *base, merge.listed);
            if (cidMerge)
                write(pageFile, *cids, cidMerge->oui);
            pageFile.commit();
        } catch (...) {
            if (pageFile.inCommand())
                pageFile.rollback();
            throw;
        }
    }
    // A file import made before it kept the CID registry gets table "cid":
    // the file is written anew, its tables as the refresh left them, and
    // takes the name while this refresh still holds the old one, so no
    // other program's change is lost.
    if (options.cids && !cids && madeByImport(*database, base.has_value())) {
        outcome.cidAdded = true;
        outcome.cidCounts[0] = static_cast<int>(options.cids->entries.size());
        if (!options.dryRun) {
            std::vector<records::VendorRecord> cidRecords;
            cidRecords.reserve(options.cids->entries.size());
            for (const ListingEntry& entry : options.cids->entries)
                cidRecords.push_back(vendorRecordOf(entry));
            const std::vector<records::VendorRecord> oui = vendorRecordsOf(*database->openTable(vendor::TableName));
            const std::optional<std::vector<records::VendorRecord>> listed =
                base ? std::optional(vendorRecordsOf(*database->openTable(vendor::ListingTableName))) : std::nullopt;
            try {
                records::replaceHeldVendorDatabase(file, oui, QString::fromStdU16String(options.engine.password),
                                                   listed ? &*listed : nullptr, options.engine, &cidRecords);
            } catch (const jet::Error& error) {
                throw jet::Error(std::string(error.what()) + " The refresh itself is done; table \"cid\" was not added.");
            }
            outcome.written = true;
        }
    }
    return outcome;
}

QString refreshSummary(const QString& file, const RefreshOutcome& outcome, bool dryRun) {
    const auto& c = outcome.counts;
    QString line = QStringLiteral("%1: %2 added, %3 updated, %4 removed, %5 kept, %6 conflicts")
                       .arg(file)
                       .arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]).arg(c[4]);
    if (!outcome.hadBase)
        line += QStringLiteral("; the file keeps no imported listing, so only new codes were added");
    if (outcome.cidTable)
        line += QStringLiteral("; CID: %1 added, %2 updated, %3 removed")
                    .arg(outcome.cidCounts[0]).arg(outcome.cidCounts[1]).arg(outcome.cidCounts[2]);
    else if (outcome.cidAdded)
        line += QStringLiteral("; CID: table \"cid\" %1 with %2 entries")
                    .arg(dryRun ? QStringLiteral("to be added") : QStringLiteral("added"))
                    .arg(outcome.cidCounts[0]);
    else if (outcome.cidGiven)
        line += QStringLiteral("; the file has no table \"cid\" (a new import makes one)");
    if (dryRun)
        line += QStringLiteral(" (dry run: nothing written)");
    return line;
}

} // namespace zorvane::listing
