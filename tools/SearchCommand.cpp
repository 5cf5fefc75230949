// zorvane-db search FILE (--code TERM | --vendor TERM) [--json]: the vendor
// table searched as the lookup window searches it (lookup/SearchRule: a star
// at either end of the term, letter case aside, each record judged by the
// first occurrence of the term), every record in table order; each match as
// a CSV line of code, vendor and address after a header line, or with
// --json as one JSON object a line. No match prints the header alone.
#include "tools/Commands.h"

#include "lookup/SearchRule.h"
#include "records/RecordCursor.h"
#include "records/jet/PageFile.h"
#include "records/jet/ValueText.h"

namespace zorvane::tools {

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
        out = json ? "" : "code,vendor,address\r\n";
        records::RecordCursor set(file, "oui", false, options);
        set.holdReading();
        const std::size_t code = set.column(u"Code"), vendor = set.column(u"Vendor"), address = set.column(u"Address");
        const std::size_t searched = field == "code" ? code : vendor;
        lookup::SearchRule rule(jet::fromUtf8(term));
        std::int32_t intPos = 0;
        for (std::int32_t at = 0; at < set.RecordCount(); ++at) {
            const std::u16string* value = set.valueAt(at, searched);
            if (!value || !rule.matches(*value, intPos))
                continue;
            const std::size_t columns[] = {code, vendor, address};
            const char* keys[] = {"code", "vendor", "address"};
            for (std::size_t i = 0; i < 3; ++i) {
                const std::u16string* v = set.valueAt(at, columns[i]);
                if (json) {
                    out += i ? ",\"" : "{\"";
                    out += keys[i];
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
    }, options.busyTimeout);
    writeOut(out);
    return 0;
}

} // namespace zorvane::tools
