// zorvane-db export FILE TABLE [--format FORMAT] [--to DIR]: the table as
// CSV (RFC 4180), or table "oui" in the file format of a program that names
// vendors (ExportFormats.h), or any table as JSON Lines.
//
// CSV: a header line of the column names, then one line per record in
// record-set order, lines ended by CR LF. A field is quoted when it is empty
// or holds a comma, a quote, CR or LF (quotes doubled); a null is an empty,
// unquoted field, so null and the empty text stay apart.
#include "tools/Commands.h"
#include "tools/ReportFile.h"

#include "addresses/VendorIndex.h"
#include "records/RecordCursor.h"
#include "records/VendorTable.h"
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/jet/Table.h"
#include "records/jet/ValueText.h"
#include "tools/ExportFormats.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zorvane::tools {

namespace {

namespace vendor = records::vendor;

const char* const Formats[] = {"csv", "json", "wireshark", "nmap", "arp-scan", "ieee"};

// A code held by several records is listed with the record lookup answers
// with (the user's own before the listing's, addresses/VendorIndex.h): that
// record changes places with the first of its code, which the prefix files
// take.
void putAnsweringRecordsFirst(const std::string& path, std::vector<VendorRow>& rows) {
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> rowsOfCode;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].code)
            continue;
        const addresses::Address code = addresses::codeDigits(jet::fromUtf8(*rows[i].code));
        if (code.nibbles != 0)
            rowsOfCode[addresses::VendorIndex::key(code, code.nibbles)].push_back(i);
    }
    std::unordered_set<std::uint64_t> repeated;
    for (const auto& [key, at] : rowsOfCode)
        if (at.size() > 1)
            repeated.insert(key);
    if (repeated.empty())
        return;
    const addresses::VendorIndex index = addresses::VendorIndex::read(path, &repeated, engineOptions());
    for (const addresses::Vendor& answer : index.vendors()) {
        if (answer.block == "CID")
            continue;
        const addresses::Address code = addresses::codeDigits(jet::fromUtf8(answer.code));
        const auto it = rowsOfCode.find(addresses::VendorIndex::key(code, code.nibbles));
        if (it == rowsOfCode.end())
            continue;
        for (const std::size_t at : it->second) {
            if (rows[at].code == answer.code && rows[at].vendor.value_or(std::string()) == answer.name) {
                std::swap(rows[at], rows[it->second.front()]);
                break;
            }
        }
    }
}


} // namespace

int runExport(const Arguments& arguments) {
    std::vector<std::string> plain;
    std::string format = "csv", to;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        std::string* option = a == "--format" || a.starts_with("--format=") ? &format
                              : a == "--to" || a.starts_with("--to=")       ? &to
                                                                            : nullptr;
        if (!option) {
            plain.push_back(a);
            continue;
        }
        const std::size_t equals = a.find('=');
        if (equals != std::string::npos)
            *option = a.substr(equals + 1);
        else if (i + 1 < arguments.size())
            *option = arguments[++i];
        else
            throw UsageError(a + " needs a value");
    }
    if (plain.size() != 2)
        throw UsageError("export needs a database file and a table name");
    if (std::find(std::begin(Formats), std::end(Formats), format) == std::end(Formats))
        throw UsageError("there is no format \"" + format + "\" (csv, json, wireshark, nmap, arp-scan or ieee)");
    if ((format == "ieee") != !to.empty())
        throw UsageError(format == "ieee" ? "--format ieee writes four files: it needs --to DIR"
                                          : "--to goes with --format ieee");
    const bool vendorFormat = format != "csv" && format != "json";
    const std::string& path = plain[0];
    // The whole table is read before anything is written, so another
    // program's command meanwhile means reading it again, not a torn output.
    std::string out;
    std::vector<VendorRow> rows;
    jet::readWhileBusy(path, [&] {
        out.clear();
        rows.clear();
        records::RecordCursor set(path, plain[1], false, engineOptions());
        const std::vector<std::string>& names = set.columnNames();
        if (vendorFormat) {
            if (!jet::sameName(set.tableName(), vendor::TableName))
                throw jet::Error(path + ": --format " + format + " is made from the vendor table " +
                                 vendor::TableName + ", not " + set.tableName() + ".");
            const std::size_t code = set.column(vendor::name16Of(vendor::Code)),
                              vendor = set.column(vendor::name16Of(vendor::Vendor)),
                              address = set.column(vendor::name16Of(vendor::Address));
            const auto text = [&](std::int32_t at, std::size_t column) -> std::optional<std::string> {
                const std::u16string* v = set.valueAt(at, column);
                return v ? std::optional<std::string>(jet::toUtf8(*v)) : std::nullopt;
            };
            for (std::int32_t at = 0; at < set.RecordCount(); ++at)
                rows.push_back({text(at, code), text(at, vendor), text(at, address)});
            return;
        }
        if (format == "json") {
            for (; !set.Eof(); set.MoveNext()) {
                for (std::size_t i = 0; i < names.size(); ++i) {
                    out += i ? "," : "{";
                    appendJsonString(out, names[i]);
                    out += ':';
                    if (const std::u16string* value = set.value(i))
                        appendJsonString(out, jet::toUtf8(*value));
                    else
                        out += "null";
                }
                out += "}\n";
            }
            return;
        }
        // The header comes from the set's own fields, so the names keep the
        // table's spelling and order.
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i)
                out += ',';
            appendCsvField(out, names[i]);
        }
        out += "\r\n";
        while (!set.Eof()) {
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (i)
                    out += ',';
                if (const std::u16string* value = set.value(i))
                    appendCsvField(out, jet::toUtf8(*value));
            }
            out += "\r\n";
            set.MoveNext();
        }
    }, engineOptions());
    const std::string from = std::filesystem::path(path).filename().string();
    if (format == "wireshark" || format == "nmap" || format == "arp-scan")
        putAnsweringRecordsFirst(path, rows);
    if (format == "wireshark")
        out = wiresharkManuf(rows, from);
    else if (format == "nmap")
        out = nmapPrefixes(rows, from);
    else if (format == "arp-scan")
        out = arpScanOuiFile(rows, from);
    else if (format == "ieee") {
        if (!std::filesystem::is_directory(to))
            throw jet::Error(to + ": no such folder.");
        // As refresh's report: never over the database or its journal, a
        // link's target written, a device or FIFO in place, a file replaced
        // whole; every place is checked before any is written.
        const auto files = ieeeListing(rows);
        std::vector<std::unique_ptr<ReportFile>> reports;
        for (const auto& file : files)
            reports.push_back(std::make_unique<ReportFile>((std::filesystem::path(to) / file.first).string(), path,
                                                           engineOptions().system()));
        for (std::size_t i = 0; i < reports.size(); ++i)
            reports[i]->prepare(files[i].second);
        for (const auto& report : reports)
            report->commit();
        return 0;
    }
    writeOut(out);
    return 0;
}

} // namespace zorvane::tools
