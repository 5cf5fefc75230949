#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace zorvane::records {

class RecordSet;

// One field of the record set's current record (or of the record being edited
// or added), found by name without regard to case.
class Field {
public:
    // The value as text, or no value for a database null.
    std::optional<QString> Value() const;
    // Field assignment; only between Edit/AddNew and Update. Throws
    // jet::Error when the field cannot take the text (too long, not a text
    // or memo field). While a record is edited or added, Value() shows what
    // was assigned.
    void setValue(const QString& text);
    QString name() const;

private:
    friend class RecordSet;
    Field(RecordSet* set, int column) : set_(set), column_(column) {}
    RecordSet* set_;
    int column_;
};

// The one updatable record set over a table, with its single current-record
// cursor. Order: the table's storage order. Every failure throws jet::Error.
class RecordSet {
public:
    // Opens `table` in the database file `file` (a path as given, relative to
    // the working directory when relative). The cursor starts on the first
    // record (or at EOF for an empty table). While another program's command
    // is under way the open waits for it (up to a few seconds; after that the
    // file is "in use"). `forWriting` opens the file for writing at once, as
    // the first Edit, AddNew or Delete otherwise does.
    RecordSet(const QString& file, const QString& table, bool forWriting = false);
    ~RecordSet();
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    // MoveFirst and MoveLast on an empty set, MoveNext and Move at EOF, a
    // Move before the first record, and reading a field at EOF throw
    // jet::Error ("no current record"). Move past the last record stops at EOF.
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    void Move(qint32 n);
    // EOF: the cursor stands past the last record (always so for an empty set).
    // (The name EOF itself is taken by the C library's macro.)
    bool Eof() const;
    // 0-based position of the current record; -1 when there is none.
    qint32 AbsolutePosition() const;
    // 0 to 100; 100 at the last record.
    float PercentPosition() const;
    Field Fields(const QString& name);
    // The table's field names in its column order, spelled as the table does.
    QStringList FieldNames() const;
    qint32 RecordCount() const;

    // Write side. Edit starts changing the current record, AddNew a new,
    // empty one; field assignments (Field::setValue) collect the new values
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

private:
    friend class Field;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zorvane::records
