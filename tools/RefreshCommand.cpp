// zorvane-db refresh FILE [--from DIR] [--dry-run] [--changes OUT.csv]: brings
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
// matched occurrence by occurrence, in order. A file without the base (made
// by Access or by an older import) only gets the codes it lacks; every other
// difference is reported as kept.
//
// Everything is written in one command of the file (under its writer lock,
// all or nothing); with --changes, every change and kept difference goes to
// a CSV file ("change,code,field,before,after"): for a conflict "before" is
// the user's value, which stays, and "after" the new listing's.
#include "tools/Commands.h"
#include "tools/ImportCommand.h"

#include "records/VendorDatabase.h"
#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/TableWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <algorithm>
#include <array>

namespace zorvane::tools {

namespace {

using records::VendorFieldNames;
using records::VendorRecord;
constexpr std::size_t FieldCount = VendorFieldNames.size();

struct RefreshArguments {
    QString file;
    QString from = QString::fromLatin1(DefaultListingFolder);
    QString changes;
    bool dryRun = false;
};

RefreshArguments parseArguments(const QStringList& arguments) {
    RefreshArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto valueOf = [&](const char* option, QString& into) {
            const QString name = QLatin1String(option);
            if (a == name) {
                if (i + 1 >= arguments.size())
                    throw UsageError(std::string(option) + " needs a value");
                into = arguments[++i];
                return true;
            }
            if (!a.startsWith(name + QLatin1Char('=')))
                return false;
            into = a.mid(name.size() + 1);
            return true;
        };
        if (a == QLatin1String("--dry-run"))
            parsed.dryRun = true;
        else if (valueOf("--from", parsed.from) || valueOf("--changes", parsed.changes))
            continue;
        else if (a.startsWith(QLatin1Char('-')) && a.size() > 1)
            throw UsageError("unknown option \"" + a.toStdString() + "\"");
        else if (parsed.file.isEmpty())
            parsed.file = a;
        else
            throw UsageError("refresh takes one database file");
    }
    if (parsed.file.isEmpty())
        throw UsageError("refresh needs the database file");
    return parsed;
}

QString textOf(const std::optional<QString>& value) { return value ? *value : QString(); }

// Records compare field by field; a null and the empty text are alike.
bool same(const VendorRecord& a, const VendorRecord& b) {
    for (std::size_t f = 0; f < FieldCount; ++f) {
        if (textOf(a.fields[f]) != textOf(b.fields[f]))
            return false;
    }
    return true;
}

// A vendor table's records, where each lives, and which column holds each of
// the eight fields (-1: the table has no such field).
struct TableRows {
    std::vector<VendorRecord> records;
    std::vector<jet::RowPlace> places;
    std::array<int, FieldCount> columns{};
    const jet::TableDef* def = nullptr;
};

TableRows readRows(jet::Table& table) {
    TableRows rows;
    rows.def = &table.def();
    for (std::size_t f = 0; f < FieldCount; ++f)
        rows.columns[f] = table.columnIndex(VendorFieldNames[f]);
    rows.records.resize(table.rowCount());
    rows.places.reserve(table.rowCount());
    std::u16string buffer;
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
        rows.places.push_back(table.place(i));
        for (std::size_t f = 0; f < FieldCount; ++f) {
            buffer.clear();
            if (rows.columns[f] >= 0 && table.appendText(i, static_cast<std::size_t>(rows.columns[f]), buffer))
                rows.records[i].fields[f] = QString(reinterpret_cast<const QChar*>(buffer.data()),
                                                    static_cast<qsizetype>(buffer.size()));
        }
    }
    return rows;
}

enum class Change { Added, Updated, Removed, Kept, Conflict };
constexpr const char* ChangeNames[] = {"added", "updated", "removed", "kept", "conflict"};

// One record's outcome, with the record before and after (none: absent).
struct Report {
    Change change;
    QString code;
    const VendorRecord* before;
    const VendorRecord* after;
};

// The writes one table gets: rows to remove or rewrite (by index into its
// TableRows) and records to add at the end, in order.
struct TableEdits {
    std::vector<std::size_t> removed;
    std::vector<std::pair<std::size_t, const VendorRecord*>> updated;
    std::vector<const VendorRecord*> added;
    bool empty() const { return removed.empty() && updated.empty() && added.empty(); }
};

// The rows of the three sides that carry one code, in table order.
struct Group {
    std::vector<std::size_t> base, user, listing;
};

class Merge {
public:
    Merge(const TableRows& user, const TableRows* base, const std::vector<VendorRecord>& listing)
        : user_(user), base_(base), listing_(listing) {
        groups_.reserve(static_cast<qsizetype>(listing.size() + 1000));
        for (std::size_t i = 0; i < listing.size(); ++i)
            groupOf(listing[i]).listing.push_back(i);
        if (base) {
            for (std::size_t i = 0; i < base->records.size(); ++i)
                groupOf(base->records[i]).base.push_back(i);
        }
        for (std::size_t i = 0; i < user.records.size(); ++i)
            groupOf(user.records[i]).user.push_back(i);
        for (const QString& code : order_)
            merge(code, groups_[code]);
        std::stable_sort(reports_.begin(), reports_.end(),
                         [](const Report& a, const Report& b) { return a.code < b.code; });
    }

    std::array<int, 5> counts{};
    TableEdits oui, listed;
    const std::vector<Report>& reports() const { return reports_; }

private:
    Group& groupOf(const VendorRecord& record) {
        const QString code = textOf(record.fields[0]);
        auto found = groups_.find(code);
        if (found == groups_.end()) {
            order_.push_back(code);
            found = groups_.insert(code, Group());
        }
        return *found;
    }

    void report(Change change, const QString& code, const VendorRecord* before, const VendorRecord* after) {
        ++counts[static_cast<std::size_t>(change)];
        reports_.push_back({change, code, before, after});
    }

    void merge(const QString& code, const Group& g) {
        const std::size_t nb = g.base.size(), nu = g.user.size(), nn = g.listing.size();
        const bool repeated = std::max({nb, nu, nn}) > 1;
        bool baseChanged = nb != nn;
        for (std::size_t k = 0; k < std::min(nb, nn); ++k)
            baseChanged = baseChanged || !same(base_->records[g.base[k]], listing_[g.listing[k]]);
        if (base_ && baseChanged) {
            // The base becomes the new listing: row by row, except that a
            // repeated code is written anew as a whole, so that its order
            // (which the matching goes by) stays the listing's.
            if (repeated) {
                for (const std::size_t i : g.base)
                    listed.removed.push_back(i);
                for (const std::size_t i : g.listing)
                    listed.added.push_back(&listing_[i]);
            } else if (nb == 0) {
                listed.added.push_back(&listing_[g.listing[0]]);
            } else if (nn == 0) {
                listed.removed.push_back(g.base[0]);
            } else {
                listed.updated.push_back({g.base[0], &listing_[g.listing[0]]});
            }
        }
        bool untouched = base_ && nu == nb;
        for (std::size_t k = 0; untouched && k < nu; ++k)
            untouched = same(user_.records[g.user[k]], base_->records[g.base[k]]);
        if (repeated && untouched && baseChanged) {
            // A repeated code the user left alone goes in anew, in order.
            for (std::size_t k = 0; k < std::max(nb, nn); ++k) {
                const VendorRecord* b = k < nb ? &user_.records[g.user[k]] : nullptr;
                const VendorRecord* n = k < nn ? &listing_[g.listing[k]] : nullptr;
                if (!b || !n || !same(*b, *n))
                    report(!b ? Change::Added : !n ? Change::Removed : Change::Updated, code, b, n);
            }
            oui.removed.insert(oui.removed.end(), g.user.begin(), g.user.end());
            for (const std::size_t i : g.listing)
                oui.added.push_back(&listing_[i]);
            return;
        }
        for (std::size_t k = 0; k < std::max({nb, nu, nn}); ++k) {
            const VendorRecord* b = k < nb ? &base_->records[g.base[k]] : nullptr;
            const VendorRecord* u = k < nu ? &user_.records[g.user[k]] : nullptr;
            const VendorRecord* n = k < nn ? &listing_[g.listing[k]] : nullptr;
            mergeOne(code, b, u, k < nu ? g.user[k] : 0, n);
        }
    }

    void mergeOne(const QString& code, const VendorRecord* b, const VendorRecord* u, std::size_t userRow,
                  const VendorRecord* n) {
        if (!base_) {
            // No base: what the user has stays; only missing codes come in.
            if (!u) {
                report(Change::Added, code, nullptr, n);
                oui.added.push_back(n);
            } else if (!n || !same(*u, *n)) {
                report(Change::Kept, code, n, u);
            }
            return;
        }
        if (!b && !u) {
            report(Change::Added, code, nullptr, n);
            oui.added.push_back(n);
            return;
        }
        const bool userChanged = !b || !u || !same(*u, *b);
        const bool listingChanged = !b != !n || (b && n && !same(*n, *b));
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
        } else if (u ? !n || !same(*u, *n) : n != nullptr) {
            report(Change::Conflict, code, u, n);
        }
    }

    const TableRows& user_;
    const TableRows* base_;
    const std::vector<VendorRecord>& listing_;
    QHash<QString, Group> groups_;
    std::vector<QString> order_;  // codes in the order first met
    std::vector<Report> reports_;
};

std::vector<jet::FieldChange> changesTo(const TableRows& rows, const VendorRecord& record,
                                        const VendorRecord* from) {
    std::vector<jet::FieldChange> changes;
    for (std::size_t f = 0; f < FieldCount; ++f) {
        const int column = rows.columns[f];
        if (column < 0 || (from && textOf(from->fields[f]) == textOf(record.fields[f])))
            continue;
        const QString text = textOf(record.fields[f]);
        changes.push_back({static_cast<std::size_t>(column),
                           std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                                          static_cast<std::size_t>(text.size()))});
    }
    return changes;
}

// Applies `edits` to a table through the current command.
void write(jet::PageFile& file, const TableRows& rows, const TableEdits& edits) {
    if (edits.empty())
        return;
    jet::TableWriter writer(file, *rows.def);
    for (const std::size_t i : edits.removed)
        writer.remove(rows.places[i]);
    for (const auto& [i, record] : edits.updated)
        writer.update(rows.places[i], changesTo(rows, *record, &rows.records[i]));
    for (const VendorRecord* record : edits.added)
        writer.insert(changesTo(rows, *record, nullptr));
    writer.finish();
}

QByteArray changesCsv(const std::vector<Report>& reports) {
    QByteArray out("change,code,field,before,after\r\n");
    for (const Report& r : reports) {
        for (std::size_t f = 0; f < FieldCount; ++f) {
            const QString before = r.before ? textOf(r.before->fields[f]) : QString();
            const QString after = r.after ? textOf(r.after->fields[f]) : QString();
            if (before == after)
                continue;
            out.append(ChangeNames[static_cast<std::size_t>(r.change)]).append(',');
            appendCsvField(out, r.code);
            out.append(',').append(VendorFieldNames[f]).append(',');
            // A side without the record gives an empty field, unquoted.
            if (r.before)
                appendCsvField(out, before);
            out.append(',');
            if (r.after)
                appendCsvField(out, after);
            out.append("\r\n");
        }
    }
    return out;
}

} // namespace

int runRefresh(const QStringList& arguments) {
    const RefreshArguments args = parseArguments(arguments);
    const std::string path = QFile::encodeName(args.file).toStdString();
    if (!QFileInfo(args.from).isDir())
        throw jet::Error(args.from.toStdString() + ": no such folder of IEEE listing files.");
    const ListingResult listing = readListing(args.from);
    for (const ListingProblem& p : listing.problems)
        printListingProblem(p);
    // A registry file missing would read as every one of its codes withdrawn.
    if (listing.filesRead != static_cast<int>(RegistryFiles.size()))
        throw jet::Error(args.from.toStdString() + ": refresh needs all of oui.txt, mam.txt, oui36.txt and "
                         "iab.txt, so " + path + " was not changed.");
    if (listing.entries.empty())
        throw jet::Error(args.from.toStdString() + ": the listing holds no records, so " + path +
                         " was not changed.");
    std::vector<VendorRecord> fresh;
    fresh.reserve(listing.entries.size());
    for (const ListingEntry& entry : listing.entries)
        fresh.push_back(vendorRecordOf(entry));

    // Opened for writing, the file is held (its writer lock) from the reading
    // of its tables to the commit; a dry run only reads it.
    std::unique_ptr<jet::Database> database;
    std::unique_ptr<jet::Table> userTable, baseTable;
    auto open = [&](jet::PageFile::Mode mode) {
        baseTable.reset();
        userTable.reset();
        database = std::make_unique<jet::Database>(path, mode);
        userTable = database->openTable("oui");
        for (const jet::Database::TableEntry& t : database->tables()) {
            if (jet::sameName(t.name, records::ListingTableName))
                baseTable = database->openTable(t.name);
        }
    };
    if (args.dryRun)
        jet::readWhileBusy(path, [&] { open(jet::PageFile::Mode::Read); });
    else
        open(jet::PageFile::Mode::ReadWrite);
    const TableRows user = readRows(*userTable);
    const std::optional<TableRows> base =
        baseTable ? std::optional<TableRows>(readRows(*baseTable)) : std::nullopt;
    const Merge merge(user, base ? &*base : nullptr, fresh);

    // The changes file is written first and put in place after the commit,
    // so a refresh that fails leaves no report of changes that were not made.
    std::unique_ptr<QSaveFile> csv;
    if (!args.changes.isEmpty()) {
        csv = std::make_unique<QSaveFile>(args.changes);
        const QByteArray bytes = changesCsv(merge.reports());
        if (!csv->open(QIODevice::WriteOnly) || csv->write(bytes) != bytes.size())
            throw jet::Error(args.changes.toStdString() + ": the changes could not be written (" +
                             csv->errorString().toStdString() + "), so " + path + " was not changed.");
    }
    const bool writing = !args.dryRun && !(merge.oui.empty() && merge.listed.empty());
    if (writing) {
        jet::PageFile& file = database->file();
        try {
            file.begin();
            write(file, user, merge.oui);
            if (base)
                write(file, *base, merge.listed);
            file.commit();
        } catch (...) {
            if (file.inCommand())
                file.rollback();
            throw;
        }
    }
    database.reset();
    const std::string done = writing ? path + ": the database was refreshed, but " : std::string();
    if (csv && !csv->commit())
        throw jet::Error(done + args.changes.toStdString() + ": the changes could not be written (" +
                         csv->errorString().toStdString() + ").");

    const auto& c = merge.counts;
    QString line = QStringLiteral("%1: %2 added, %3 updated, %4 removed, %5 kept, %6 conflicts")
                       .arg(args.file)
                       .arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]).arg(c[4]);
    if (!base)
        line += QStringLiteral("; the file keeps no imported listing, so only new codes were added");
    if (args.dryRun)
        line += QStringLiteral(" (dry run: nothing written)");
    try {
        writeOut((line + QLatin1Char('\n')).toLocal8Bit());
        flushOut();
    } catch (const jet::Error& e) {
        throw jet::Error(done + e.what());
    }
    return 0;
}

} // namespace zorvane::tools
