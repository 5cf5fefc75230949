#include "records/RecordCursor.h"

#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/TableWriter.h"
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
            open(std::make_unique<jet::Database>(file, mode));
            stamp = before;
        });
    }
    // What changes when another program changes or replaces the file: its
    // device, inode, size and modification time.
    using Stamp = std::array<std::int64_t, 5>;
    Stamp stamp{};
    static Stamp stampOf(const std::string& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
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
    }
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
        rw = std::make_unique<jet::Database>(file, jet::PageFile::Mode::ReadWrite);
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

RecordCursor::RecordCursor(const std::string& file, const std::string& table, bool forWriting)
    : d(std::make_unique<Impl>()) {
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
    d->fail("has no field \"" + jet::toUtf8(std::u16string(name)) + "\"");
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
    if (d->pending == Impl::Pending::Edit) {
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
        d->runCommand([&](jet::TableWriter& w) { w.insert(changes); });
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
    if (d->writable || d->pending != Impl::Pending::None || Impl::stampOf(d->file) == d->stamp)
        return false;
    d->currentDeleted = false;
    d->reopen(jet::PageFile::Mode::Read);
    d->position = std::min(d->position, d->count);
    return true;
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
