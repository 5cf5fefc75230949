#include "records/RecordCursor.h"

#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/IndexKey.h"
#include "records/jet/IndexTree.h"
#include "records/jet/Row.h"
#include "records/jet/TableWriter.h"
#include "records/jet/UsageMap.h"
#include "records/jet/ValueText.h"

#include <algorithm>
#include <array>
#include <sys/stat.h>
#include <clocale>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>
#include <wctype.h>

namespace zorvane::records {

namespace {
// The Unicode lower case of `text`, one UTF-16 unit at a time (ASCII without
// the C library's tables; surrogates as they are).
std::u16string lowerCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c < 0x80) {
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c - u'A' + u'a');
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        const wint_t lower = utf8 ? ::towlower_l(c, utf8) : c;
        if (lower <= 0xFFFF)
            c = static_cast<char16_t>(lower);
    }
    return out;
}

// Equal texts, letters of ASCII compared without regard to case (as an
// index key of Access's General order compares them, and more strictly).
bool sameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z')
            x = static_cast<char16_t>(x - 0x20);
        if (y >= u'a' && y <= u'z')
            y = static_cast<char16_t>(y - 0x20);
        if (x != y)
            return false;
    }
    return true;
}
} // namespace

// The set is the table's rows, located once when it opens; the cursor is an
// index into them (count: past the last record). A field read decodes just
// that value from the page kept in memory into one reused buffer.
//
// Writing: the file is opened for reading; the first Edit, AddNew or Delete
// opens it again for writing, which takes the file's writer lock for as long
// as the set lives (the lookup window holds its set for the whole run), so a
// second program can still read the file but not write it. Each Update and
// each Delete is one command of the page file: all of it reaches the file, or
// none of it. After every command (or its rollback) the pages it changed are
// read again from memory and the rows of the others kept, so the set's order
// is always the table's order on file: a record that had to move on Update is
// at the end at once, as a re-read would find it.
struct RecordCursor::Impl {
    std::string file;  // as given, for error sentences
    jet::Options options;
    std::string tableName;
    std::unique_ptr<jet::Database> database;
    std::unique_ptr<jet::Table> table;
    bool tableCurrent = false;  // table matches the pages in memory
    std::vector<std::string> names;   // UTF-8, as the table spells them
    std::vector<std::u16string> lowerNames;  // for finding a field by name
    std::int32_t count = 0;
    std::int32_t position = 0;
    std::u16string buffer;

    enum class Pending { None, Edit, Add };
    bool writable = false;
    bool currentDeleted = false;  // Delete removed the current record
    Pending pending = Pending::None;
    std::vector<std::optional<jet::FieldChange>> values;  // by column, while pending
    jet::RowPlace editPlace;
    std::vector<jet::RowPlace> editPlaces;  // EditAll: every record being edited
    std::int32_t added = -1;                // position of the record last added
    // holdReading's scope on the file; goes before the database does.
    std::unique_ptr<jet::PageFile::ReadScope> held;

    [[noreturn]] void fail(const std::string& reason) const {
        throw jet::Error(file + ": table \"" + tableName + "\" " + reason + ".");
    }
    bool eof() const { return position >= count; }
    void requireRecord() const {
        if (currentDeleted)
            fail("has no current record (it was deleted)");
        if (eof())
            fail(count == 0 ? "has no records, so there is no current record"
                            : "has no current record (the cursor stands past the last record)");
    }

    void open(std::unique_ptr<jet::Database> db) {
        held.reset();
        table.reset();
        database = std::move(db);
        rescan();
    }
    // Opens the file anew, waiting while another program's command changes it.
    void reopen(jet::PageFile::Mode mode) {
        jet::readWhileBusy(file, [&] {
            // Noted before the read: a change while it reads shows as a
            // change the next time, never as none.
            const Stamp before = stampOf(file);
            open(std::make_unique<jet::Database>(file, mode, options));
            stamp = before;
        }, options);
    }
    // What changes when another program changes or replaces the file: its
    // device, inode, size and modification time.
    using Stamp = std::array<std::int64_t, 5>;
    Stamp stamp{};
    Stamp stampOf(const std::string& path) const {
        struct stat st {};
        if (options.system().stat(path, st) != 0)
            return {};
        return {std::int64_t(st.st_dev), std::int64_t(st.st_ino), std::int64_t(st.st_size),
                std::int64_t(st.st_mtim.tv_sec), std::int64_t(st.st_mtim.tv_nsec)};
    }
    // Reads the set again from the pages in memory.
    void rescan() {
        tableCurrent = false;
        table = database->openTable(tableName);
        tableCurrent = true;
        countRows();
    }
    // After a write command or its rollback: only the pages it changed are
    // read again (the whole set when an earlier refresh failed).
    void refreshAfterCommand() {
        stamp = stampOf(file);  // this set's own change (it holds the writer lock)
        if (!tableCurrent) {
            rescan();
            return;
        }
        tableCurrent = false;
        table->refresh(database->file().lastCommandPages());
        tableCurrent = true;
        countRows();
    }
    void countRows() {
        if (table->rowCount() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            fail("has more records than can be counted");
        count = static_cast<std::int32_t>(table->rowCount());
    }
    void cancelPending() {
        pending = Pending::None;
        values.clear();
        editPlaces.clear();
    }
    std::optional<std::vector<std::size_t>> rowsByIndex(const std::vector<Condition>& conditions);
    std::size_t rowOfPointer(std::uint32_t pointer) const;
    void ensureWritable();
    void runCommand(const std::function<void(jet::TableWriter&)>& change);
};

// Opens the file for writing. The rows must be where the set found them: a
// set whose file another program changed meanwhile is read again instead, and
// the change asked for is refused.
void RecordCursor::Impl::ensureWritable() {
    if (writable)
        return;
    std::unique_ptr<jet::Database> rw;
    try {
        rw = std::make_unique<jet::Database>(file, jet::PageFile::Mode::ReadWrite, options);
    } catch (const jet::Error& e) {
        throw jet::Error(std::string(e.what()) + " Table \"" + tableName +
                         "\" cannot be changed.");
    }
    std::unique_ptr<jet::Table> now = rw->openTable(tableName);
    bool same = now->rowCount() == table->rowCount();
    for (std::size_t i = 0; same && i < now->rowCount(); ++i) {
        const jet::RowPlace& a = now->place(i);
        const jet::RowPlace& b = table->place(i);
        same = a.page == b.page && a.slot == b.slot && a.homePage == b.homePage &&
               a.homeSlot == b.homeSlot;
    }
    if (same && !eof()) {
        const jet::RowSpan& a = now->row(static_cast<std::size_t>(position));
        const jet::RowSpan& b = table->row(static_cast<std::size_t>(position));
        same = a.length == b.length && std::memcmp(a.data, b.data, a.length) == 0;
    }
    now.reset();
    open(std::move(rw));
    writable = true;
    if (!same) {
        position = std::min(position, count);
        currentDeleted = false;
        cancelPending();
        fail("was changed by another program since it was read, so nothing was changed; it has "
             "been read again");
    }
}

// One write command: the change and its bookkeeping, then commit; on any
// failure the file and the pages in memory stay as they were.
void RecordCursor::Impl::runCommand(const std::function<void(jet::TableWriter&)>& change) {
    jet::PageFile& pages = database->file();
    try {
        pages.begin();
        jet::TableWriter writer(pages, table->def());
        change(writer);
        writer.finish();
        pages.commit();
    } catch (...) {
        if (pages.inCommand())
            pages.rollback();
        try {
            refreshAfterCommand();
        } catch (const jet::Error&) {
            // The first failure is the one to report.
        }
        throw;
    }
    refreshAfterCommand();
}

RecordCursor::RecordCursor(const std::string& file, const std::string& table, bool forWriting,
                           jet::Options options)
    : d(std::make_unique<Impl>()) {
    d->options = std::move(options);
    d->file = file;
    d->tableName = table;
    // An error names the file and why it cannot be opened (for writing: why
    // it cannot be changed), in one sentence.
    d->reopen(forWriting ? jet::PageFile::Mode::ReadWrite : jet::PageFile::Mode::Read);
    d->writable = forWriting;
    d->tableName = d->table->def().name;
    for (const jet::Column& column : d->table->def().columns) {
        d->names.push_back(column.name);
        d->lowerNames.push_back(lowerCase(jet::fromUtf8(column.name)));
    }
    d->position = 0;
}

RecordCursor::~RecordCursor() = default;

void RecordCursor::MoveFirst() {
    d->cancelPending();
    d->currentDeleted = false;
    if (d->count == 0)
        d->fail("has no records, so there is no first record");
    d->position = 0;
}

void RecordCursor::MoveNext() {
    d->cancelPending();
    if (d->currentDeleted) {
        // The record after the deleted one took its place.
        d->currentDeleted = false;
        return;
    }
    d->requireRecord();
    ++d->position;
}

void RecordCursor::MoveLast() {
    d->cancelPending();
    d->currentDeleted = false;
    if (d->count == 0)
        d->fail("has no records, so there is no last record");
    d->position = d->count - 1;
}

void RecordCursor::Move(std::int32_t n) {
    d->cancelPending();
    d->requireRecord();
    const std::int64_t target = static_cast<std::int64_t>(d->position) + n;
    if (target < 0)
        d->fail("has no record " + std::to_string(n) + " places before record " +
                std::to_string(d->position));
    d->position = target >= d->count ? d->count : static_cast<std::int32_t>(target);
}

bool RecordCursor::Eof() const { return d->eof(); }

std::int32_t RecordCursor::AbsolutePosition() const {
    return d->eof() || d->currentDeleted ? -1 : d->position;
}

float RecordCursor::PercentPosition() const {
    if (d->count == 0)
        return 0.0f;
    if (d->eof() || d->count == 1)
        return 100.0f;
    return static_cast<float>(static_cast<double>(d->position) * 100.0 / (d->count - 1));
}

std::size_t RecordCursor::column(std::u16string_view name) const {
    const std::u16string lower = lowerCase(name);
    for (std::size_t i = 0; i < d->lowerNames.size(); ++i) {
        if (d->lowerNames[i] == lower)
            return i;
    }
    std::string fields;
    for (const std::string& n : d->names)
        fields += (fields.empty() ? "" : ", ") + n;
    d->fail("has no field \"" + jet::toUtf8(std::u16string(name)) + "\" (its fields: " + fields + ")");
}

const std::vector<std::string>& RecordCursor::columnNames() const { return d->names; }

std::int32_t RecordCursor::RecordCount() const { return d->count; }

void RecordCursor::Edit() {
    d->requireRecord();
    jet::TableWriter::requireWritable(d->database->file(), d->table->def());
    d->ensureWritable();
    d->requireRecord();
    d->cancelPending();
    d->values.resize(d->names.size());
    d->editPlace = d->table->place(static_cast<std::size_t>(d->position));
    d->pending = Impl::Pending::Edit;
}

void RecordCursor::AddNew() {
    jet::TableWriter::requireWritable(d->database->file(), d->table->def());
    d->ensureWritable();
    d->cancelPending();
    d->values.resize(d->names.size());
    d->pending = Impl::Pending::Add;
}

void RecordCursor::Update() {
    if (d->pending == Impl::Pending::None)
        d->fail("has no record being edited or added (Edit or AddNew comes first)");
    std::vector<jet::FieldChange> changes;
    for (const auto& value : d->values) {
        if (value)
            changes.push_back(*value);
    }
    if (d->pending == Impl::Pending::Edit && !d->editPlaces.empty()) {
        if (!changes.empty()) {
            const std::vector<jet::RowPlace> places = d->editPlaces;
            jet::RowPlace first;
            d->runCommand([&](jet::TableWriter& w) {
                for (std::size_t i = 0; i < places.size(); ++i) {
                    const jet::RowPlace now = w.update(places[i], changes);
                    if (i == 0)
                        first = now;
                }
            });
            const std::size_t at = d->table->find(first.page, first.slot);
            if (at < d->table->rowCount())
                d->position = static_cast<std::int32_t>(at);
        }
    } else if (d->pending == Impl::Pending::Edit) {
        if (!changes.empty()) {
            jet::RowPlace now;
            const jet::RowPlace place = d->editPlace;
            d->runCommand([&](jet::TableWriter& w) { now = w.update(place, changes); });
            // The cursor stays on the record, wherever it lives now.
            const std::size_t at = d->table->find(now.page, now.slot);
            if (at < d->table->rowCount())
                d->position = static_cast<std::int32_t>(at);
        }
    } else {
        // The new record goes after every other; the current record stays.
        const bool wasEof = d->eof();
        jet::RowPlace place;
        d->runCommand([&](jet::TableWriter& w) { place = w.insert(changes); });
        const std::size_t at = d->table->find(place.page, place.slot);
        d->added = at < d->table->rowCount() ? static_cast<std::int32_t>(at) : -1;
        if (wasEof)
            d->position = d->count;
    }
    d->cancelPending();
}

void RecordCursor::Delete() {
    d->cancelPending();
    d->requireRecord();
    jet::TableWriter::requireWritable(d->database->file(), d->table->def());
    d->ensureWritable();
    d->requireRecord();
    const jet::RowPlace place = d->table->place(static_cast<std::size_t>(d->position));
    d->runCommand([&](jet::TableWriter& w) { w.remove(place); });
    // No current record until the cursor moves; MoveNext reaches the record
    // that followed the deleted one.
    d->currentDeleted = true;
}

bool RecordCursor::ReadAgainIfChanged() {
    // A set open for writing holds the writer lock: no other program
    // changes the file meanwhile.
    if (d->writable || d->pending != Impl::Pending::None || d->stampOf(d->file) == d->stamp)
        return false;
    d->currentDeleted = false;
    d->reopen(jet::PageFile::Mode::Read);
    d->position = std::min(d->position, d->count);
    return true;
}

// The row an index entry's pointer names: the row living there, or the row
// that moved away from there (its home slot keeps only a pointer to it).
std::size_t RecordCursor::Impl::rowOfPointer(std::uint32_t pointer) const {
    const std::uint32_t page = jet::format::pointerPage(pointer);
    const std::uint8_t slot = jet::format::pointerRow(pointer);
    const std::size_t at = table->find(page, slot);
    if (at < table->rowCount())
        return at;
    for (std::size_t i = 0; i < table->rowCount(); ++i) {
        const jet::RowPlace& p = table->place(i);
        if (p.homePage == page && p.homeSlot == slot)
            return i;
    }
    fail("has an index entry for a record it does not hold (page " + std::to_string(page) + ", row " +
         std::to_string(slot) + "); zorvane-db check names the damage");
}

namespace {

// The index whose first fields are most of the conditions' fields (text
// fields, keys encodable), with the key of their values and whether that is
// the whole key (else a prefix of the entries' keys); none when no index
// begins with a field of the conditions. A row whose values meet the
// conditions has that key (letter case, accents and trailing blanks do not
// all change a key, so rows of the key may not meet them).
struct IndexChoice {
    std::size_t real = 0;
    jet::Bytes key;
    bool whole = false;
};
std::optional<IndexChoice> chooseIndex(const jet::TableDef& def,
                                       const std::vector<RecordCursor::Condition>& conditions) {
    std::optional<IndexChoice> best;
    std::size_t bestFields = 0;
    for (std::size_t r = 0; r < def.realIndexDefs.size(); ++r) {
        const jet::RealIndexDef& real = def.realIndexDefs[r];
        if (!jet::indexkey::checkIndex(def, real).empty())
            continue;
        jet::Bytes key;
        std::size_t fields = 0;
        for (; fields < real.columns.size(); ++fields) {
            const int column = def.columnOfNumber(real.columns[fields]);
            const auto condition = std::find_if(conditions.begin(), conditions.end(), [&](const auto& c) {
                return static_cast<int>(c.column) == column;
            });
            const std::uint8_t type = column < 0 ? 0 : def.columns[static_cast<std::size_t>(column)].type;
            if (condition == conditions.end() || condition->value.empty() ||
                (type != jet::format::TypeText && type != jet::format::TypeMemo) ||
                !jet::indexkey::appendText(condition->value, real.isDescending(fields), key).empty())
                break;
        }
        if (fields > bestFields) {
            bestFields = fields;
            best = IndexChoice{r, std::move(key), fields == real.columns.size()};
        }
    }
    return best;
}

std::vector<std::uint32_t> entriesOf(jet::PageFile& pages, const jet::TableDef& def, const IndexChoice& index) {
    return index.whole ? jet::findByKey(pages, def, index.real, index.key)
                       : jet::findByKeyPrefix(pages, def, index.real, index.key);
}

} // namespace

// The candidate rows for `conditions` through chooseIndex's index; none
// when there is no such index. The caller checks each candidate.
std::optional<std::vector<std::size_t>> RecordCursor::Impl::rowsByIndex(const std::vector<Condition>& conditions) {
    const std::optional<IndexChoice> index = chooseIndex(table->def(), conditions);
    if (!index)
        return std::nullopt;
    std::vector<std::size_t> rows;
    for (const std::uint32_t pointer : entriesOf(database->file(), table->def(), *index))
        rows.push_back(rowOfPointer(pointer));
    return rows;
}

namespace {

// A record found through an index: where it lives (a moved one: where its
// home slot points) and its row.
struct KeyedRow {
    jet::RowPlace place;
    jet::RowSpan row;
};

// The keyed commands' common part: table `tableName` of `database`, the
// fields of `where` and of `changes` by name, the records where every
// condition holds, found through chooseIndex's index. None when the table,
// a field or such an index is missing, or a field is named twice.
struct KeyedMatch {
    jet::TableDef def;
    std::vector<jet::FieldChange> changes;
    std::vector<KeyedRow> rows;
};
std::optional<KeyedMatch> matchThroughIndex(jet::Database& database, const std::string& tableName,
                                            const std::vector<RecordCursor::NamedValue>& where,
                                            const std::vector<RecordCursor::NamedValue>* changes) {
    jet::PageFile& pages = database.file();
    const auto entry = std::find_if(database.tables().begin(), database.tables().end(),
                                    [&](const jet::Database::TableEntry& e) { return jet::sameName(e.name, tableName); });
    if (entry == database.tables().end())
        return std::nullopt;
    KeyedMatch match{jet::readTableDef(pages, entry->page, entry->name), {}, {}};
    const jet::TableDef& def = match.def;
    const std::string label = def.label();
    std::vector<std::size_t> used;
    const auto columnOf = [&](const RecordCursor::NamedValue& v) -> std::optional<std::size_t> {
        for (std::size_t c = 0; c < def.columns.size(); ++c)
            if (jet::sameName(def.columns[c].name, v.field)) {
                if (std::find(used.begin(), used.end(), c) != used.end())
                    return std::nullopt;
                used.push_back(c);
                return c;
            }
        return std::nullopt;
    };
    std::vector<RecordCursor::Condition> conditions;
    for (const RecordCursor::NamedValue& w : where) {
        const auto column = columnOf(w);
        if (!column)
            return std::nullopt;
        conditions.push_back({*column, w.value});
    }
    used.clear();
    if (changes)
        for (const RecordCursor::NamedValue& c : *changes) {
            const auto column = columnOf(c);
            if (!column)
                return std::nullopt;
            match.changes.push_back({*column, c.value});
        }
    const std::optional<IndexChoice> index = chooseIndex(def, conditions);
    if (!index)
        return std::nullopt;
    std::vector<std::uint8_t> scratch;
    std::u16string text;
    for (const std::uint32_t pointer : entriesOf(pages, def, *index)) {
        jet::RowPlace place{jet::format::pointerPage(pointer), jet::format::pointerRow(pointer),
                            jet::format::pointerPage(pointer), jet::format::pointerRow(pointer)};
        jet::RowSpan row = jet::rowAtPointer(pages, pointer, label);
        if (row.flags == jet::format::RowOverflowFlag && row.data && row.length >= 4) {
            const std::uint32_t moved = jet::format::le32(row.data);
            place.page = jet::format::pointerPage(moved);
            place.slot = jet::format::pointerRow(moved);
            row = jet::rowAtPointer(pages, moved, label);
        } else if (row.flags & jet::format::RowOverflowFlag) {
            throw jet::Error(database.path() + ": " + label + " has an index entry for a record it does not hold (page " +
                             std::to_string(place.page) + ", row " + std::to_string(place.slot) +
                             "); zorvane-db check names the damage.");
        }
        bool holds = true;
        for (const RecordCursor::Condition& c : conditions) {
            text.clear();
            const bool present = jet::appendColumnText(pages, def, def.columns[c.column], row, text, scratch, label);
            holds = present ? sameText(text, c.value) : c.value.empty();
            if (!holds)
                break;
        }
        if (holds)
            match.rows.push_back({place, row});
    }
    return match;
}

} // namespace

std::optional<RecordCursor::KeyedOutcome> RecordCursor::changeThroughIndex(const std::string& file,
                                                                           const std::string& tableName,
                                                                           const std::vector<NamedValue>& where,
                                                                           const std::vector<NamedValue>* changes,
                                                                           bool all, const jet::Options& options) {
    jet::Database database(file, jet::PageFile::Mode::ReadWrite, options);
    jet::PageFile& pages = database.file();
    const std::optional<KeyedMatch> match = matchThroughIndex(database, tableName, where, changes);
    if (!match)
        return std::nullopt;
    const std::size_t matched = match->rows.size();
    if (matched == 0 || (matched > 1 && !all))
        return KeyedOutcome{matched, match->def.name};
    for (const jet::FieldChange& c : match->changes)
        jet::TableWriter::checkValue(pages, match->def, c.column, c.value);
    pages.begin();
    try {
        jet::TableWriter writer(pages, match->def);
        for (const KeyedRow& r : match->rows) {
            if (changes)
                writer.update(r.place, match->changes);
            else
                writer.remove(r.place);
        }
        writer.finish();
        pages.commit();
    } catch (...) {
        if (pages.inCommand())
            pages.rollback();
        throw;
    }
    return KeyedOutcome{matched, match->def.name};
}

std::optional<RecordCursor::FoundRecords> RecordCursor::findThroughIndex(const std::string& file,
                                                                         const std::string& tableName,
                                                                         const std::vector<NamedValue>& where,
                                                                         const jet::Options& options) {
    jet::Database database(file, jet::PageFile::Mode::Read, options);
    jet::PageFile& pages = database.file();
    // One state of the file for the whole search.
    jet::PageFile::ReadScope scope(pages);
    std::optional<KeyedMatch> match = matchThroughIndex(database, tableName, where, nullptr);
    if (!match)
        return std::nullopt;
    const jet::TableDef& def = match->def;
    FoundRecords found;
    for (const jet::Column& c : def.columns)
        found.names.push_back(c.name);
    std::sort(match->rows.begin(), match->rows.end(), [](const KeyedRow& a, const KeyedRow& b) {
        return std::pair(a.place.page, a.place.slot) < std::pair(b.place.page, b.place.slot);
    });
    // A record's position: the live rows before it in the set's order (the
    // map's pages ascending, on each its slots; deleted rows and the slots
    // of moved rows, which keep only a pointer, do not count).
    const std::string label = def.label();
    const auto live = [](const std::uint8_t* bytes, std::size_t s) {
        return (jet::format::le16(bytes + jet::format::DataRowTableOffset + 2 * s) & jet::format::RowOverflowFlag) == 0;
    };
    std::size_t next = 0, before = 0;
    std::vector<std::uint8_t> scratch;
    for (const std::uint32_t number : jet::UsageMap::at(pages, def.usedPages, label).pages()) {
        if (next == match->rows.size())
            break;
        const std::uint8_t* bytes = pages.page(number, label.c_str());
        if (!jet::datapage::ownedBy(bytes, def.page))
            continue;
        const std::uint16_t slots = jet::rowSlotCount(pages, bytes, number, label);
        std::size_t liveBefore = 0;
        for (std::uint16_t s = 0; s < slots; ++s) {
            for (; next < match->rows.size() && match->rows[next].place.page == number &&
                   match->rows[next].place.slot == s;
                 ++next) {
                FoundRecord record;
                record.position = static_cast<std::int32_t>(before + liveBefore);
                for (const jet::Column& c : def.columns) {
                    std::u16string text;
                    if (jet::appendColumnText(pages, def, c, match->rows[next].row, text, scratch, label))
                        record.values.emplace_back(std::move(text));
                    else
                        record.values.emplace_back(std::nullopt);
                }
                found.records.push_back(std::move(record));
            }
            liveBefore += live(bytes, s);
        }
        before += liveBefore;
    }
    if (next != match->rows.size())
        throw jet::Error(file + ": " + label + " has an index entry for a record its pages do not list; "
                         "zorvane-db check names the damage.");
    return found;
}

std::vector<std::int32_t> RecordCursor::positionsWhere(const std::vector<Condition>& conditions,
                                                       bool* throughIndex) const {
    Impl& s = *d;
    std::u16string text;
    const auto holds = [&](std::size_t row) {
        for (const Condition& c : conditions) {
            text.clear();
            if (!s.table->appendText(row, c.column, text)) {
                if (!c.value.empty())
                    return false;
            } else if (!sameText(text, c.value))
                return false;
        }
        return true;
    };
    std::vector<std::int32_t> out;
    const std::optional<std::vector<std::size_t>> candidates = s.rowsByIndex(conditions);
    if (throughIndex)
        *throughIndex = candidates.has_value();
    if (candidates) {
        for (const std::size_t row : *candidates)
            if (holds(row))
                out.push_back(static_cast<std::int32_t>(row));
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }
    for (std::size_t row = 0; row < s.table->rowCount(); ++row)
        if (holds(row))
            out.push_back(static_cast<std::int32_t>(row));
    return out;
}

void RecordCursor::EditAll(const std::vector<std::int32_t>& positions) {
    if (positions.empty())
        d->fail("has no record to edit");
    jet::TableWriter::requireWritable(d->database->file(), d->table->def());
    d->ensureWritable();
    d->cancelPending();
    for (const std::int32_t at : positions) {
        if (at < 0 || at >= d->count)
            d->fail("has no record " + std::to_string(at));
        d->editPlaces.push_back(d->table->place(static_cast<std::size_t>(at)));
    }
    d->position = positions.front();
    d->currentDeleted = false;
    d->values.resize(d->names.size());
    d->pending = Impl::Pending::Edit;
}

void RecordCursor::DeleteAll(const std::vector<std::int32_t>& positions) {
    d->cancelPending();
    if (positions.empty())
        d->fail("has no record to delete");
    jet::TableWriter::requireWritable(d->database->file(), d->table->def());
    d->ensureWritable();
    std::vector<jet::RowPlace> places;
    for (const std::int32_t at : positions) {
        if (at < 0 || at >= d->count)
            d->fail("has no record " + std::to_string(at));
        places.push_back(d->table->place(static_cast<std::size_t>(at)));
    }
    d->runCommand([&](jet::TableWriter& w) {
        for (const jet::RowPlace& place : places)
            w.remove(place);
    });
    d->position = std::min(positions.front(), d->count);
    d->currentDeleted = true;
}

std::int32_t RecordCursor::AddedPosition() const { return d->added; }

const std::u16string* RecordCursor::valueAt(std::int32_t position, std::size_t column) const {
    Impl& s = *d;
    if (position < 0 || position >= s.count)
        s.fail("has no record " + std::to_string(position));
    s.buffer.clear();
    if (!s.table->appendText(static_cast<std::size_t>(position), column, s.buffer))
        return nullptr;
    return &s.buffer;
}

const std::string& RecordCursor::tableName() const { return d->tableName; }

void RecordCursor::holdReading() {
    if (!d->held && !d->writable)
        d->held = std::make_unique<jet::PageFile::ReadScope>(d->database->file());
}

void RecordCursor::Requery() {
    d->cancelPending();
    d->currentDeleted = false;
    if (d->writable) {
        // This set is the file's only writer and each command's refresh
        // leaves the rows as a new scan finds them: only a failed refresh
        // needs the scan.
        if (!d->tableCurrent)
            d->rescan();
    } else
        d->reopen(jet::PageFile::Mode::Read);
    d->position = 0;
}

const std::u16string* RecordCursor::value(std::size_t column) const {
    Impl& s = *d;
    if (s.pending != Impl::Pending::None) {
        // The record being edited or added shows the values set so far.
        const auto& value = s.values[column];
        if (value || s.pending == Impl::Pending::Add)
            return value && value->value ? &*value->value : nullptr;
    }
    s.requireRecord();
    s.buffer.clear();
    if (!s.table->appendText(static_cast<std::size_t>(s.position), column, s.buffer))
        return nullptr;
    return &s.buffer;
}

void RecordCursor::setValue(std::size_t column, std::u16string text) {
    Impl& s = *d;
    if (s.pending == Impl::Pending::None)
        s.fail("cannot take a value for field \"" + s.names[column] +
               "\": no record is being edited or added (Edit or AddNew comes first)");
    jet::FieldChange change;
    change.column = column;
    change.value = std::move(text);
    jet::TableWriter::checkValue(s.database->file(), s.table->def(), column, change.value);
    s.values[column] = std::move(change);
}

} // namespace zorvane::records
