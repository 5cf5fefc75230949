// zorvane-db lookup FILE [--csv | --json] [--strict] [ADDRESS...]: hardware
// addresses, or prefixes of them, to their vendors and names. Each ADDRESS
// argument, or each line of standard input when there is none, is one item:
// the item as a whole when it reads as an address or a prefix, otherwise
// every whole address in it, each answered in order (addresses/AddressText.h).
// The vendor is the record whose Code is the longest prefix of the address
// (addresses/VendorIndex.h); the address's own name (broadcast, a multicast
// group, ...) follows it (addresses/AddressNames.h). Standard input is read
// a block at a time, so any amount of it takes the same memory; lines with
// no address are passed over unless --strict makes each an error. An
// argument without an address is always an error. Errors are reported on
// stderr as they come, and the exit status is 1 once every other item is
// answered.
#include "tools/Commands.h"

#include "addresses/AddressNames.h"
#include "addresses/AddressText.h"
#include "addresses/VendorIndex.h"
#include "records/jet/Error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <unistd.h>

namespace zorvane::tools {

using addresses::Address;
using addresses::Found;
using addresses::Vendor;
using addresses::VendorIndex;

namespace {

enum class Format { Text, Csv, Json };

void appendJson(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (u < 0x20)
            out += "\\u00", out += hex[u >> 4], out += hex[u & 15];
        else
            out += c;
    }
    out += '"';
}

// CSV quotes a field only when it must (an empty one stays bare: no match).
void appendCsv(std::string& out, std::string_view text) {
    bool quote = false;
    for (const char c : text)
        quote = quote || c == ',' || c == '"' || c == '\r' || c == '\n';
    if (!quote) {
        out += text;
        return;
    }
    out += '"';
    for (std::size_t at = 0;;) {
        const std::size_t q = text.find('"', at);
        out.append(text.substr(at, q - at));
        if (q == std::string_view::npos)
            break;
        out += "\"\"";
        at = q + 1;
    }
    out += '"';
}

// The matched record's part of an answer, in the output's form: CSV
// "code,vendor,postal,block", JSON the four members, text "vendor  (block code)".
std::string renderMatch(Format format, const Vendor& v) {
    if (format == Format::Text)
        return v.name + "  (" + std::string(v.block) + " " + v.code + ")";
    std::string out;
    const auto append = format == Format::Csv ? appendCsv : appendJson;
    const char* names[] = {"\"code\":", ",\"vendor\":", ",\"postal\":", ",\"block\":"};
    const std::string_view values[] = {v.code, v.name, v.postal, v.block};
    for (int i = 0; i < 4; ++i) {
        if (format == Format::Json)
            out += names[i];
        else if (i)
            out += ',';
        append(out, values[i]);
    }
    return out;
}

// An item's text for an error line: on one line, at most 80 bytes.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < 80; ++i)
        out += static_cast<unsigned char>(text[i]) < 0x20 ? ' ' : text[i];
    return out + (text.size() > 80 ? "...\"" : "\"");
}

// Standard input, one line at a time, through a fixed buffer (a longer line
// is gathered, up to 1 MiB; beyond that it is taken in parts cut at white
// space, so no input holds more memory than that).
class LineReader {
public:
    // The next line without its end (LF; a CR before it goes too); false at
    // the end of input.
    bool next(std::string_view& line) {
        for (;;) {
            const std::size_t end = buffer_.find('\n', at_);
            if (end != std::string::npos) {
                line = trim(std::string_view(buffer_).substr(at_, end - at_));
                at_ = end + 1;
                return true;
            }
            if (done_ || buffer_.size() - at_ >= LongestLine) {
                if (at_ >= buffer_.size())
                    return false;
                // The end of input, or a line too long to gather: what there
                // is, up to its last white space, counts as a line.
                std::size_t end = buffer_.size();
                if (!done_) {
                    const std::size_t space = buffer_.find_last_of(" \t\r", end - 1);
                    if (space != std::string::npos && space > at_)
                        end = space + 1;
                }
                line = trim(std::string_view(buffer_).substr(at_, end - at_));
                at_ = end;
                return true;
            }
            buffer_.erase(0, at_);
            at_ = 0;
            const std::size_t had = buffer_.size();
            buffer_.resize(had + Block);
            ssize_t n;
            do
                n = ::read(0, buffer_.data() + had, Block);
            while (n < 0 && errno == EINTR);
            if (n < 0)
                throw jet::Error(std::string("standard input: could not be read (") + std::strerror(errno) + ").");
            buffer_.resize(had + std::size_t(n));
            done_ = n == 0;
            if (buffer_.capacity() > 4 * Block && buffer_.size() < Block)
                buffer_.shrink_to_fit();
        }
    }

private:
    static constexpr std::size_t Block = 1 << 16;
    static constexpr std::size_t LongestLine = 1 << 20;
    static std::string_view trim(std::string_view line) {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }
    std::string buffer_;
    std::size_t at_ = 0;
    bool done_ = false;
};

// The answers, written as they come.
class Answering {
public:
    Answering(Format format, const VendorIndex& index) : format_(format), index_(index) {
        rendered_.resize(index.vendors().size());
        if (format == Format::Csv)
            out_ = "input,address,code,vendor,postal,block,flags,kind\r\n";
    }
    ~Answering() = default;

    void answer(std::string_view item, const Found& found) {
        const Address& a = found.address;
        const std::string_view input = item.substr(found.offset, found.length);
        const Vendor* match = index_.find(a);
        const std::string* rendered = nullptr;
        if (match) {
            std::string& r = rendered_[index_.indexOf(match)];
            if (r.empty())
                r = renderMatch(format_, *match);
            rendered = &r;
        }
        const std::string kind = addresses::kindOf(a);
        const std::string_view flags = addresses::flagWords(addresses::flagsOf(a));
        std::string& out = out_;
        if (format_ == Format::Csv)
            (out += input) += ',';  // an address as written: hex digits and separators only
        else if (format_ == Format::Json)
            appendJson(out += "{\"input\":", input), out += ",\"address\":\"";
        addresses::appendAddressText(out, a);
        switch (format_) {
        case Format::Text:
            if (rendered)
                (out += "  ") += *rendered;
            if (!kind.empty())
                (out += "  ") += kind;
            if (!rendered && kind.empty())
                out += "  not in the database";
            if (!flags.empty())
                (out += "  ") += flags;
            out += '\n';
            break;
        case Format::Csv:
            out += ',';
            out += rendered ? std::string_view(*rendered) : ",,,";
            ((out += ',') += flags) += ',';
            appendCsv(out, kind);
            out += "\r\n";
            break;
        case Format::Json:
            out += "\",";
            out += rendered ? std::string_view(*rendered) : "\"code\":null,\"vendor\":null,\"postal\":null,\"block\":null";
            ((out += ",\"flags\":\"") += flags) += "\",\"kind\":";
            if (kind.empty())
                out += "null";
            else
                appendJson(out, kind);
            out += "}\n";
            break;
        }
        if (out.size() > (1 << 16))
            flush();
    }
    void flush() {
        writeOut(out_);
        out_.clear();
    }

private:
    Format format_;
    const VendorIndex& index_;
    std::vector<std::string> rendered_;  // by vendor, as first needed
    std::string out_;
};

// Items up to this many are looked up by their own codes; more read every code.
constexpr std::size_t FewItems = 4096, FewBytes = 1 << 20;

} // namespace

int runLookup(const Arguments& arguments) {
    Format format = Format::Text;
    bool strict = false;
    Arguments rest;
    for (const std::string& a : arguments) {
        if (!a.starts_with("--")) {
            rest.push_back(a);
            continue;
        }
        if (a == "--strict") {
            strict = true;
            continue;
        }
        if (a != "--csv" && a != "--json")
            throw UsageError("unknown option \"" + a + "\"");
        if (format != Format::Text)
            throw UsageError("--csv and --json go alone, once");
        format = a == "--csv" ? Format::Csv : Format::Json;
    }
    if (rest.empty())
        throw UsageError("lookup needs a database file");
    const std::string path = rest.front();
    rest.erase(rest.begin());
    const bool fromArguments = !rest.empty();

    int status = 0;
    const auto refuse = [&status](const std::string& line) {
        std::fprintf(stderr, "zorvane-db: %s\n", line.c_str());
        status = 1;
    };

    // The first items (all of them when they are few): their addresses
    // choose the codes to read.
    struct Item {
        std::string text;
        std::size_t number = 0;
        std::vector<Found> found;
    };
    std::vector<Item> first;
    LineReader input;
    bool more = false;
    std::vector<Found> found;
    if (fromArguments) {
        for (std::size_t i = 0; i < rest.size(); ++i) {
            addresses::readItem(rest[i], found);
            first.push_back({rest[i], i + 1, found});
        }
    } else {
        std::string_view line;
        std::size_t held = 0;  // bytes of text and answers kept
        for (std::size_t number = 1; !(more = first.size() == FewItems || held > FewBytes) && input.next(line); ++number) {
            addresses::readItem(line, found);
            first.push_back({std::string(line), number, found});
            held += line.size() + found.size() * sizeof(Found);
        }
    }
    std::unordered_set<std::uint64_t> wanted;
    for (const Item& item : first)
        for (const Found& f : item.found)
            VendorIndex::keysOf(f.address, wanted);
    const VendorIndex index = VendorIndex::read(path, more ? nullptr : &wanted, engineOptions());

    Answering answers(format, index);
    const auto take = [&](std::string_view text, std::size_t number, const std::vector<Found>& items) {
        if (items.empty()) {
            if (fromArguments)
                refuse("argument " + std::to_string(number) + ": " + quoted(text) + " is not a hardware address");
            else if (strict && text.find_first_not_of(" \t\r\v\f") != std::string_view::npos)
                refuse("line " + std::to_string(number) + ": " + quoted(text) + " holds no hardware address");
            return;
        }
        for (const Found& f : items)
            answers.answer(text, f);
    };
    for (const Item& item : first)
        take(item.text, item.number, item.found);
    const std::size_t taken = first.size();
    first.clear();
    first.shrink_to_fit();
    if (more) {
        std::string_view line;
        for (std::size_t number = taken + 1; input.next(line); ++number) {
            addresses::readItem(line, found);
            take(line, number, found);
        }
    }
    answers.flush();
    return status;
}

} // namespace zorvane::tools
