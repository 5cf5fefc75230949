#pragma once
// The record set in the engine's own types (UTF-8 paths and names, UTF-16
// values): the one implementation behind records::RecordSet, which adds Qt
// strings, and behind zorvane-db's record commands, which run without Qt.

#include "records/jet/Options.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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
    // is under way the open waits for it (up to the busy timeout of
    // `options`; after that the file is "in use"). `forWriting` opens the file for writing at once, as
    // the first Edit, AddNew or Delete otherwise does. Every open of the file
    // is made with `options` (records/jet/Options.h).
    RecordCursor(const std::string& file, const std::string& table, bool forWriting = false,
                 jet::Options options = {});
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
    // (Unicode lower case); throws jet::Error naming the table's fields when
    // the table has none.
    std::size_t column(std::u16string_view name) const;
    // The table's field names (UTF-8) in its column order, spelled as the
    // table does.
    const std::vector<std::string>& columnNames() const;
    // The value of `column` in the current record as text, or null for a
    // database null; valid until the next call. While a record is edited or
    // added, the value assigned so far.
    const std::u16string* value(std::size_t column) const;
    // Field assignment; only between Edit/AddNew and Update. Throws
    // jet::Error when the field cannot take the text (too long, not a
    // number the field can hold, a field of a type that is not written:
    // jet::TableWriter::checkValue).
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
    // file, a table with an index or field this engine cannot keep
    // (jet::TableWriter::requireWritable), a value the field cannot take and
    // every other failure throw jet::Error, and the file stays as it was.
    // Every index of the table is kept up to date.
    void Edit();
    void AddNew();
    void Update();
    void Delete();
    void Requery();
    // Whether another program changed the file since the set read it (its
    // device, inode, size or modification time differ); if so the set reads
    // it again (the cursor keeps its position, or stands at EOF) and this
    // returns true. A set open for writing holds the writer lock, so for it
    // nothing changes; while an Edit or AddNew is pending it is not read again.
    bool ReadAgainIfChanged();

    // Records by their values. A condition holds when the field's text
    // equals `value`, letters of ASCII compared without regard to case (an
    // empty value: the empty text or null).
    struct Condition {
        std::size_t column;
        std::u16string value;
    };
    // The positions (ascending) of the records where every condition holds.
    // They are found through an index whose first fields are fields of the
    // conditions when the table has one that can take the values (the one
    // with most such fields; `throughIndex` tells), else by reading every
    // record.
    std::vector<std::int32_t> positionsWhere(const std::vector<Condition>& conditions,
                                             bool* throughIndex = nullptr) const;
    // Edit for the records at `positions` at once: the values then set
    // apply to each of them, and Update saves all in one command. The
    // cursor stands on the first of them afterwards.
    void EditAll(const std::vector<std::int32_t>& positions);
    // Deletes the records at `positions` in one command; then as Delete.
    void DeleteAll(const std::vector<std::int32_t>& positions);
    // The position of the record the last AddNew and Update added; -1
    // when there is none.
    std::int32_t AddedPosition() const;
    // The value of `column` in the record at `position` (0 to
    // RecordCount() - 1), as value() gives it, without moving the cursor.
    const std::u16string* valueAt(std::int32_t position, std::size_t column) const;
    // The table's name as the database spells it.
    const std::string& tableName() const;
    // update and delete by key without reading the whole table: the records
    // of `table` in `file` where every condition of `where` holds (fields
    // by name, letter case aside; values as positionsWhere compares them),
    // found through an index whose first fields are fields of the
    // conditions. With `changes` they are changed, else deleted, in one
    // command, when exactly one matches, or with `all` every match;
    // otherwise nothing is changed. The outcome says how many matched and
    // the table's name as the database spells it. No outcome: the table has
    // no such index, or a field is not the table's or named twice (the
    // cursor then does the work and says what is wrong). Throws jet::Error
    // as Update and Delete do.
    struct NamedValue {
        std::string field;  // UTF-8
        std::u16string value;
    };
    struct KeyedOutcome {
        std::size_t matched = 0;
        std::string table;
    };
    static std::optional<KeyedOutcome> changeThroughIndex(const std::string& file, const std::string& table,
                                                          const std::vector<NamedValue>& where,
                                                          const std::vector<NamedValue>* changes, bool all,
                                                          const jet::Options& options = {});

    // find by key without reading the whole table: the records of `table`
    // in `file` where every condition holds, found as changeThroughIndex
    // finds them, with their positions in the set's order (the row tables
    // of the pages before theirs are read for those) and their values as
    // value() gives them; the table's field names too. No outcome as for
    // changeThroughIndex. Throws jet::ChangedError when another program
    // changes the file meanwhile (readWhileBusy reads it again).
    struct FoundRecord {
        std::int32_t position = 0;
        std::vector<std::optional<std::u16string>> values;
    };
    struct FoundRecords {
        std::vector<std::string> names;
        std::vector<FoundRecord> records;  // by position
    };
    static std::optional<FoundRecords> findThroughIndex(const std::string& file, const std::string& table,
                                                        const std::vector<NamedValue>& where,
                                                        const jet::Options& options = {});

    // Keeps the file as it is now for as long as the set lives (or until
    // it is opened for writing): another program's command waits meanwhile.
    // Throws jet::ChangedError when the file changed since the set read it
    // (readWhileBusy reads it again then).
    void holdReading();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zorvane::records
