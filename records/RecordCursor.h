#pragma once
// The record set in the engine's own types (UTF-8 paths and names, UTF-16
// values): the one implementation behind records::RecordSet, which adds Qt
// strings, and behind zorvane-db's record commands, which run without Qt.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane::records {

// The one updatable record set over a table, with its single current-record
// cursor. Order: the table's storage order. Every failure throws jet::Error.
class RecordCursor {
public:
    // Opens `table` in the database file `file` (a path as given, relative to
    // the working directory when relative). The cursor starts on the first
    // record (or at EOF for an empty table). While another program's command
    // is under way the open waits for it (up to a few seconds; after that the
    // file is "in use"). `forWriting` opens the file for writing at once, as
    // the first Edit, AddNew or Delete otherwise does.
    RecordCursor(const std::string& file, const std::string& table, bool forWriting = false);
    ~RecordCursor();
    RecordCursor(const RecordCursor&) = delete;
    RecordCursor& operator=(const RecordCursor&) = delete;

    // MoveFirst and MoveLast on an empty set, MoveNext and Move at EOF, a
    // Move before the first record, and reading a field at EOF throw
    // jet::Error ("no current record"). Move past the last record stops at EOF.
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    void Move(std::int32_t n);
    // EOF: the cursor stands past the last record (always so for an empty set).
    // (The name EOF itself is taken by the C library's macro.)
    bool Eof() const;
    // 0-based position of the current record; -1 when there is none.
    std::int32_t AbsolutePosition() const;
    // 0 to 100; 100 at the last record.
    float PercentPosition() const;
    std::int32_t RecordCount() const;

    // The column of the field named `name`, found without regard to case
    // (Unicode lower case); throws jet::Error when the table has none.
    std::size_t column(std::u16string_view name) const;
    // The table's field names (UTF-8) in its column order, spelled as the
    // table does.
    const std::vector<std::string>& columnNames() const;
    // The value of `column` in the current record as text, or null for a
    // database null; valid until the next call. While a record is edited or
    // added, the value assigned so far.
    const std::u16string* value(std::size_t column) const;
    // Field assignment; only between Edit/AddNew and Update. Throws
    // jet::Error when the field cannot take the text (too long, not a text
    // or memo field).
    void setValue(std::size_t column, std::u16string text);

    // Write side. Edit starts changing the current record, AddNew a new,
    // empty one; field assignments (setValue) collect the new values
    // and Update saves them in one command on the file, all or nothing. An
    // added record goes after every other record and the cursor stays where
    // it was; after an edit the cursor stays on the record. A record that no
    // longer fits its page moves to the end of the set, as the table's order
    // on file has it then. Delete removes the current record at once; there
    // is no current record afterwards until the cursor moves (MoveNext goes
    // to the record that followed it). Requery reads the set again and makes
    // the first record current. Moving the cursor drops a pending Edit or
    // AddNew. The first of Edit, AddNew and Delete opens the file for writing
    // and keeps it so (no other program can write it meanwhile); a read-only
    // file, an indexed table, a value the field cannot take and every other
    // failure throw jet::Error, and the file stays as it was.
    void Edit();
    void AddNew();
    void Update();
    void Delete();
    void Requery();
    // Whether another program changed the file since the set read it (its
    // device, inode, size or modification time differ); if so the set reads
    // it again (the cursor keeps its position, or stands at EOF) and this
    // returns true. A set open for writing holds the writer lock, so for it
    // nothing changes.
    bool ReadAgainIfChanged();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zorvane::records
