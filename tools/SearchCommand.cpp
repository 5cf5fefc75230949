// zorvane-db search FILE (--code TERM | --vendor TERM) [--json]: the vendor
// table searched as the lookup window searches it (lookup/SearchRule: a star
// at either end of the term, letter case aside, each record judged by the
// first occurrence of the term), every record in table order; each match as
// a CSV line of code, vendor and address after a header line, or with
// --json as one JSON object a line. No match prints the header alone.
#include "tools/Commands.h"

#include "lookup/SearchRule.h"
#include "records/RecordCursor.h"
#include "records/VendorTable.h"
#include "records/jet/PageFile.h"
#include "records/jet/ValueText.h"

#include <array>

namespace zorvane::tools {

namespace {

namespace vendor = records::vendor;

// The output's columns: the CSV header's names and the JSON members' keys,
// each with the field of table "oui" it shows.
struct OutputColumn {
    const char* key;
    vendor::Field field;
};
constexpr std::array<OutputColumn, 3> Columns = {{
    {"code", vendor::Code},
    {"vendor", vendor::Vendor},
    {"address", vendor::Address},
}};

} // namespace

int runSearch(const Arguments& arguments) {
    std::string file, term, field;
    bool json = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--code" || a == "--vendor" || a.starts_with("--code=") || a.starts_with("--vendor=")) {
            if (!field.empty())
                throw UsageError("search takes one of --code and --vendor");
            const std::size_t equals = a.find('=');
            field = a.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (equals != std::string::npos)
                term = a.substr(equals + 1);
            else if (i + 1 < arguments.size())
                term = arguments[++i];
            else
                throw UsageError("--" + field + " needs a term");
        } else if (file.empty() && !a.starts_with("--")) {
            file = a;
        } else
            throw UsageError("\"" + a + "\" is not understood here");
    }
    if (file.empty() || field.empty() || term.empty())
        throw UsageError("search needs a database file and a term");
    // Pages are read through a mapping, the file held for the whole command.
    jet::Options options = engineOptions();
    options.mapWhenReading = true;
    std::string out;
    jet::readWhileBusy(file, [&] {
        out.clear();
        if (!json) {
            for (std::size_t i = 0; i < Columns.size(); ++i)
                (out += i ? "," : "") += Columns[i].key;
            out += "\r\n";
        }
        records::RecordCursor set(file, vendor::TableName, false, options);
        set.holdReading();
        std::array<std::size_t, Columns.size()> columns{};
        for (std::size_t i = 0; i < Columns.size(); ++i)
            columns[i] = set.column(vendor::name16Of(Columns[i].field));
        const std::size_t searched = set.column(vendor::name16Of(field == "code" ? vendor::Code : vendor::Vendor));
        lookup::SearchRule rule(jet::fromUtf8(term));
        std::int32_t intPos = 0;
        for (std::int32_t at = 0; at < set.RecordCount(); ++at) {
            const std::u16string* value = set.valueAt(at, searched);
            if (!value || !rule.matches(*value, intPos))
                continue;
            for (std::size_t i = 0; i < Columns.size(); ++i) {
                const std::u16string* v = set.valueAt(at, columns[i]);
                if (json) {
                    out += i ? ",\"" : "{\"";
                    out += Columns[i].key;
                    out += "\":";
                    if (v)
                        appendJsonString(out, jet::toUtf8(*v));
                    else
                        out += "null";
                } else {
                    if (i)
                        out += ',';
                    if (v)
                        appendCsvField(out, jet::toUtf8(*v));
                }
            }
            out += json ? "}\n" : "\r\n";
        }
    }, options);
    writeOut(out);
    return 0;
}

} // namespace zorvane::tools
