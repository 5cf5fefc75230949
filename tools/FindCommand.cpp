// zorvane-db find FILE TABLE [--where FIELD=VALUE]... [--like FIELD=PATTERN]...:
// the records chosen, as CSV like export's with a first column "record",
// the number that update and delete take. Without conditions, every record.
// By --where alone on fields an index begins with, the records are found
// through it and only they and the row tables before them are read.
#include "tools/Commands.h"

#include "records/RecordCursor.h"
#include "records/jet/PageFile.h"
#include "records/jet/ValueText.h"
#include "tools/RecordChoice.h"

namespace zorvane::tools {

int runFind(const Arguments& arguments) {
    const RecordChoice choice = readChoice(arguments, 0, {"--where", "--like"});
    if (choice.rest.size() < 2)
        throw UsageError("find needs a database file and a table");
    if (choice.rest.size() > 2)
        throw UsageError("\"" + choice.rest[2] + "\" is neither --where FIELD=VALUE nor --like FIELD=PATTERN");
    // Pages are read through a mapping, the file held for the whole command.
    jet::Options options = engineOptions();
    options.mapWhenReading = true;
    std::string out;
    const std::string path = choice.rest[0], table = choice.rest[1];
    jet::readWhileBusy(path, [&] {
        // By --where alone, through an index: only the records found are read.
        std::optional<records::RecordCursor::FoundRecords> found;
        if (!choice.where.empty() && choice.like.empty()) {
            std::vector<records::RecordCursor::NamedValue> where;
            for (const FieldText& w : choice.where)
                where.push_back({w.field, jet::fromUtf8(w.value)});
            found = records::RecordCursor::findThroughIndex(path, table, where, options);
        }
        if (found) {
            out = "record";
            for (const std::string& name : found->names) {
                out += ',';
                appendCsvField(out, name);
            }
            out += "\r\n";
            for (const auto& record : found->records) {
                out += std::to_string(record.position);
                for (const auto& value : record.values) {
                    out += ',';
                    if (value)
                        appendCsvField(out, jet::toUtf8(*value));
                }
                out += "\r\n";
            }
            return;
        }
        out = "record";
        records::RecordCursor set(path, table, false, options);
        set.holdReading();
        const std::vector<std::string>& names = set.columnNames();
        for (const std::string& name : names) {
            out += ',';
            appendCsvField(out, name);
        }
        out += "\r\n";
        for (const std::int32_t at : chosenRecords(set, path, choice)) {
            out += std::to_string(at);
            for (std::size_t i = 0; i < names.size(); ++i) {
                out += ',';
                if (const std::u16string* value = set.valueAt(at, i))
                    appendCsvField(out, jet::toUtf8(*value));
            }
            out += "\r\n";
        }
    }, options);
    writeOut(out);
    return 0;
}

} // namespace zorvane::tools
