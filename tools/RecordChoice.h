#pragma once
// Records chosen by their values for find, update and delete:
// --where FIELD=VALUE (all must hold; the value's text equal, letters of
// ASCII without regard to case) and, for find, --like FIELD=PATTERN (a
// pattern with '*' for any run of characters and '?' for one, compared in
// upper case as the lookup window compares).

#include "records/RecordCursor.h"
#include "tools/Commands.h"

#include <string>
#include <vector>

namespace zorvane::tools {

struct FieldText {
    std::string field;  // as given
    std::string value;  // UTF-8
};

struct RecordChoice {
    std::vector<FieldText> where;
    std::vector<FieldText> like;
    bool all = false;               // --all
    bool allowDuplicate = false;    // --allow-duplicate (add)
    std::vector<std::string> rest;  // the other arguments, in order
};

// Splits `arguments` from `first` on: the options named in `options` (of
// "--where", "--like", "--all", "--allow-duplicate"; --where and --like
// take FIELD=VALUE as the next argument or after '=') and the rest.
RecordChoice readChoice(const Arguments& arguments, std::size_t first, const std::vector<std::string>& options);

// "FIELD=VALUE" split at its first '='; throws UsageError when it is not so.
FieldText splitAssignment(const std::string& text);

// The columns of `fields` in `set`, in order. A field given twice throws
// jet::Error naming `file`; an unknown field jet::Error naming the table's
// fields.
std::vector<std::size_t> columnsOf(const records::RecordCursor& set, const std::string& file,
                                   const std::vector<FieldText>& fields);

// The positions of `set`'s records chosen by `choice` (where, then like).
std::vector<std::int32_t> chosenRecords(const records::RecordCursor& set, const std::string& file,
                                        const RecordChoice& choice);

// For update and delete: the records `choice` chooses in `set` (of `file`):
// exactly one, or with --all every match; none, or several without --all,
// throw jet::Error saying how many matched and that nothing was changed.
std::vector<std::int32_t> recordsToChange(const records::RecordCursor& set, const std::string& file,
                                          const RecordChoice& choice);

// Throws jet::Error (naming `file`) when FIELD=VALUE `assignments` name a
// field twice, or a field the table lacks.
void requireDistinctFields(const records::RecordCursor& set, const std::string& file, const Arguments& assignments);

// For update (`assignments`) and delete (none): the change made through an
// index on the --where fields without reading the table, when the table has
// one; true when done. Throws as recordsToChange does when not exactly one
// record matches (or none, with --all); false: the caller goes the
// cursor's way.
bool changedThroughIndex(const std::string& file, const std::string& table, const RecordChoice& choice,
                         const Arguments* assignments);

// The where conditions as the user wrote them, for messages: "Code=00-0C-29".
std::string describe(const std::vector<FieldText>& where);

// `n` with a comma every three digits: 46,524.
std::string withThousands(std::int64_t n);
// Throws jet::Error when `set` (of `file`, table `table`) has no record `n`:
// "table oui has 46,524 records (0 to 46,523)".
void requireRecord(const records::RecordCursor& set, const std::string& file, std::int32_t n);

// Whether `value` matches `pattern` ('*' any run, '?' one character), both
// upper-cased as the lookup window's search does.
bool likeMatches(std::u16string_view pattern, std::u16string_view value);

} // namespace zorvane::tools
