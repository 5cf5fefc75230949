// zorvane-db lookup FILE [--csv | --json] [ADDRESS...]: hardware addresses, or
// prefixes of them, to their vendors. Each ADDRESS argument, or each line of
// standard input when there is none, is one item; its first token that reads
// as an address is answered, in input order, by the record whose Code is the
// longest prefix of the address's hex digits (9 digits, MA-S, before 7, MA-M,
// before 6, MA-L; of equal codes the first in table order). Table "oui" is
// walked once; the vendor and address are read only for the codes some item
// can use (every code when the items are many). Blank lines are passed over;
// an item without an address is reported on stderr ("line N: ..." or
// "argument N: ...") and makes the exit status 1 after every other item is
// answered.
#include "tools/Commands.h"

#include "records/RecordCursor.h"
#include "records/jet/Error.h"
#include "records/jet/PageFile.h"
#include "records/jet/ValueText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <sys/stat.h>

namespace zorvane::tools {

namespace {

enum class Format { Text, Csv, Json };

// The hex digits of an address or prefix: `count` nibbles, the first the most
// significant, in the low bits of `value`.
struct Digits {
    std::uint64_t value = 0;
    int count = 0;
};

struct Item {
    std::string_view token;  // empty: the item holds no address
    Digits digits;
    bool blank = false;  // nothing but white space
    std::string_view text;  // without an address: the item as given
};

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Six groups of one or two digits split by ':' or '-', three groups of four
// split by '.', or twelve bare digits; or the first 6 to 11 digits in one of
// these notations, where a last group of one digit is half an octet
// ("70-B3-D5-F2-F"), any other short group an octet without its leading zero.
std::optional<Digits> readAddress(std::string_view token) {
    Digits d;
    auto take = [&](std::string_view group, int width) {
        for (int pad = width - int(group.size()); pad > 0; --pad)
            d.value <<= 4, ++d.count;
        for (const char c : group) {
            const int v = hexValue(c);
            if (v < 0)
                return false;
            d.value = d.value << 4 | std::uint64_t(v), ++d.count;
        }
        return true;
    };
    const auto has = [&](char c) { return token.find(c) != std::string_view::npos; };
    const int separators = has(':') + has('-') + has('.');
    if (separators > 1)
        return std::nullopt;
    if (separators == 0) {
        if (!take(token, 0))
            return std::nullopt;
    } else {
        const char sep = has(':') ? ':' : has('-') ? '-' : '.';
        const std::size_t width = sep == '.' ? 4 : 2, groups = sep == '.' ? 3 : 6;
        std::string_view rest = token;
        for (std::size_t n = 1;; ++n) {
            const std::size_t end = rest.find(sep);
            const std::string_view group = rest.substr(0, end);
            const bool last = end == std::string_view::npos;
            if (n > groups || group.empty() || group.size() > width ||
                (sep == '.' && !last && group.size() != width))
                return std::nullopt;
            // A short group is padded, but the last one of a prefix is a half octet.
            if (!take(group, sep == '.' || (last && n < groups) ? 0 : int(width)))
                return std::nullopt;
            if (last)
                break;
            rest.remove_prefix(end + 1);
        }
    }
    if (d.count < 6 || d.count > 12)
        return std::nullopt;
    return d;
}

// The first token of `text` that reads as an address; tokens are split by
// white space, ',' and ';', and lose enclosing brackets and quotes.
Item readItem(std::string_view text) {
    const std::string_view splits = " \t\r\n\v\f,;", enclosing = "()[]{}<>\"'";
    std::size_t at = 0;
    while ((at = text.find_first_not_of(splits, at)) != std::string_view::npos) {
        const std::size_t end = std::min(text.find_first_of(splits, at), text.size());
        std::string_view token = text.substr(at, end - at);
        at = end;
        while (!token.empty() && enclosing.find(token.front()) != std::string_view::npos)
            token.remove_prefix(1);
        while (!token.empty() && enclosing.find(token.back()) != std::string_view::npos)
            token.remove_suffix(1);
        if (const auto digits = readAddress(token))
            return {token, *digits, false, {}};
    }
    return {{}, {}, text.find_first_not_of(" \t\r\v\f") == std::string_view::npos, text};
}

// White space as Unicode has it: the control characters TAB to CR, NEL, and
// the space, line and paragraph separators.
bool isSpace(char16_t c) {
    return (c >= 9 && c <= 13) || c == 32 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// The digits of a stored Code, when it is one of 6, 7 or 9 hex digits between
// any '-', ':', '.' and spaces; other codes match nothing.
std::optional<Digits> codeDigits(const std::u16string& code) {
    Digits d;
    for (const char16_t c : code) {
        if (c == u'-' || c == u':' || c == u'.' || isSpace(c))
            continue;
        const int v = c < 128 ? hexValue(char(c)) : -1;
        if (v < 0 || d.count == 9)
            return std::nullopt;
        d.value = d.value << 4 | std::uint64_t(v), ++d.count;
    }
    if (d.count != 6 && d.count != 7 && d.count != 9)
        return std::nullopt;
    return d;
}

constexpr int CodeLengths[] = {9, 7, 6};  // longest first

std::uint64_t prefixKey(const Digits& d, int length) {
    return std::uint64_t(length) << 48 | d.value >> 4 * (d.count - length);
}

// The flags by bit: 1 multicast, 2 local, 4 broadcast.
constexpr std::string_view flagWords[] = {"", "multicast", "local", "multicast local", "broadcast",
                                          "multicast broadcast", "local broadcast", "multicast local broadcast"};

// The answers by code: open addressing over a power-of-two table of keys (a
// key is never 0: its top bits hold the code's length), flat in memory, as a
// million look-ups want it.
class Answers {
public:
    explicit Answers(std::size_t most) {
        std::size_t size = 16;
        while (size < 2 * most)
            size *= 2;
        keys_.assign(size, 0);
        slots_.resize(size);
    }
    // The answer for `key`, or null.
    const std::string* find(std::uint64_t key) const {
        for (std::size_t i = start(key);; i = (i + 1) & (keys_.size() - 1)) {
            if (keys_[i] == key)
                return &texts_[slots_[i]];
            if (keys_[i] == 0)
                return nullptr;
        }
    }
    // Adds the answer for a key not yet held.
    void add(std::uint64_t key, std::string text) {
        std::size_t i = start(key);
        while (keys_[i] != 0)
            i = (i + 1) & (keys_.size() - 1);
        keys_[i] = key;
        slots_[i] = std::uint32_t(texts_.size());
        texts_.push_back(std::move(text));
    }

private:
    std::size_t start(std::uint64_t key) const {
        return std::size_t((key * 0x9E3779B97F4A7C15ull) >> 32) & (keys_.size() - 1);
    }
    std::vector<std::uint64_t> keys_;
    std::vector<std::uint32_t> slots_;
    std::vector<std::string> texts_;
};

const char* blockOf(int length) { return length == 6 ? "MA-L" : length == 7 ? "MA-M" : "MA-S"; }

void appendCsv(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

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

// The matched record's part of an answer, written once per record in the
// output's form: CSV "code,vendor,postal,block", JSON the four members, text
// "vendor  (block code)".
std::string renderMatch(Format format, const std::string& codeText, const std::string& vendorText,
                        std::string postal, int length) {
    // The postal address: the lines of Address joined by ", ".
    for (std::size_t at = 0; (at = postal.find_first_of("\r\n", at)) != std::string::npos; at += 2)
        postal.replace(at, postal.compare(at, 2, "\r\n") == 0 ? 2 : 1, ", ");
    if (format == Format::Text)
        return vendorText + "  (" + blockOf(length) + " " + codeText + ")";
    std::string out;
    const auto append = format == Format::Csv ? appendCsv : appendJson;
    const char* names[] = {"\"code\":", ",\"vendor\":", ",\"postal\":", ",\"block\":"};
    const std::string_view values[] = {codeText, vendorText, postal, blockOf(length)};
    for (int i = 0; i < 4; ++i) {
        if (format == Format::Json)
            out += names[i];
        else if (i)
            out += ',';
        append(out, values[i]);
    }
    return out;
}

// Reads all of standard input.
std::string readInput() {
    std::string input;
    struct stat st {};
    if (::fstat(0, &st) == 0 && S_ISREG(st.st_mode))
        input.reserve(std::size_t(st.st_size));
    char chunk[1 << 16];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0)
        input.append(chunk, n);
    if (std::ferror(stdin))
        throw jet::Error("standard input: could not be read.");
    return input;
}

} // namespace

int runLookup(const Arguments& arguments) {
    Format format = Format::Text;
    Arguments rest;
    for (const std::string& a : arguments) {
        if (!a.starts_with("--")) {
            rest.push_back(a);
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
    // Opened before the input is read, so a file that cannot be read is
    // reported at once.
    std::optional<records::RecordCursor> opened(std::in_place, path, "oui");

    // The items: the arguments, or the lines of standard input.
    const bool fromArguments = !rest.empty();
    std::vector<Item> items;
    for (const std::string& text : rest)
        items.push_back(readItem(text));
    const std::string input = fromArguments ? std::string() : readInput();
    for (std::size_t at = 0; at < input.size();) {
        const std::size_t end = std::min(input.find('\n', at), input.size());
        items.push_back(readItem(std::string_view(input).substr(at, end - at)));
        at = end + 1;
    }

    // The codes the items can use; with many items, every code is read.
    std::unordered_set<std::uint64_t> wanted;
    const bool wantAll = items.size() > 4096;
    for (const Item& item : items)
        for (const int length : CodeLengths)
            if (!wantAll && !item.token.empty() && item.digits.count >= length)
                wanted.insert(prefixKey(item.digits, length));

    // One walk: the first record of each usable code. Another program's
    // command meanwhile means walking the table again, as export does.
    const Answers matches = jet::readWhileBusy(path, [&] {
        if (!opened)
            opened.emplace(path, "oui");
        records::RecordCursor& set = *opened;
        struct Spent {  // a walk that fails opens the file again
            std::optional<records::RecordCursor>& set;
            ~Spent() { set.reset(); }
        } spent{opened};
        const std::size_t recordCount = std::size_t(set.RecordCount());
        Answers found(wantAll ? recordCount : std::min(recordCount, wanted.size()));
        const std::size_t code = set.column(u"Code"), vendor = set.column(u"Vendor"), address = set.column(u"Address");
        // A value read stands until the next read; null reads as empty text.
        const auto text = [&set](std::size_t column) {
            const std::u16string* value = set.value(column);
            return value ? jet::toUtf8(*value) : std::string();
        };
        for (; !set.Eof(); set.MoveNext()) {
            const std::u16string* codeValue = set.value(code);
            const std::optional<Digits> digits = codeValue ? codeDigits(*codeValue) : std::nullopt;
            if (!digits)
                continue;
            const std::uint64_t key = prefixKey(*digits, digits->count);
            if ((wantAll || wanted.count(key)) && !found.find(key)) {
                const std::string codeText = jet::toUtf8(*codeValue), vendorText = text(vendor);
                found.add(key, renderMatch(format, codeText, vendorText, text(address), digits->count));
            }
        }
        return found;
    });

    std::string out;
    if (format == Format::Csv)
        out = "input,address,code,vendor,postal,block,flags\r\n";
    int status = 0;
    std::size_t number = 0;
    for (const Item& item : items) {
        ++number;
        if (item.token.empty()) {
            if (item.blank && !fromArguments)
                continue;
            // One line as for any error: where the item came from, and the
            // item (its start, on one line).
            std::string shown(item.text.substr(0, 60));
            for (char& c : shown)
                if (c == '\r' || c == '\n')
                    c = ' ';
            std::fprintf(stderr, "zorvane-db: %s %zu: \"%s%s\" holds no hardware address.\n",
                         fromArguments ? "argument" : "standard input, line", number, shown.c_str(),
                         item.text.size() > 60 ? "..." : "");
            status = 1;
            continue;
        }
        const Digits& d = item.digits;
        const std::string* match = nullptr;
        for (const int length : CodeLengths) {
            if (d.count >= length && (match = matches.find(prefixKey(d, length))))
                break;
        }
        const unsigned first = unsigned(d.value >> 4 * (d.count - 2)) & 0xFF;
        const bool local = first & 2, broadcast = d.count == 12 && d.value == 0xFFFFFFFFFFFFull;
        // The text form says "locally administered" instead of the flag.
        const std::string_view flags =
            flagWords[(first & 1) | (local && (match || format != Format::Text) ? 2 : 0) | (broadcast ? 4 : 0)];
        if (format == Format::Csv)
            out.append(item.token) += ',';
        else if (format == Format::Json)
            appendJson(out += "{\"input\":", item.token), out += ",\"address\":\"";
        for (int i = 0; i < d.count; ++i) {
            if (i && i % 2 == 0)
                out += ':';
            out += "0123456789ABCDEF"[(d.value >> 4 * (d.count - 1 - i)) & 15];
        }
        switch (format) {
        case Format::Text:
            out += "  ";
            out += match ? std::string_view(*match) : local ? "locally administered" : "not in the database";
            if (!flags.empty())
                (out += "  ") += flags;
            out += '\n';
            break;
        case Format::Csv:
            out += ',';
            out += match ? std::string_view(*match) : ",,,";
            ((out += ',') += flags) += "\r\n";
            break;
        case Format::Json:
            out += "\",";
            out += match ? std::string_view(*match) : "\"code\":null,\"vendor\":null,\"postal\":null,\"block\":null";
            ((out += ",\"flags\":\"") += flags) += "\"}\n";
            break;
        }
        if (out.size() > (1 << 16)) {
            writeOut(out);
            out.clear();
        }
    }
    writeOut(out);
    return status;
}

} // namespace zorvane::tools
