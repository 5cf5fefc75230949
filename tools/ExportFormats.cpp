#include "tools/ExportFormats.h"

#include "tools/Commands.h"
#include "tools/VendorCode.h"

#include <set>
#include <string_view>

namespace zorvane::tools {

namespace {

// One line of text: control characters but the tab (CR, LF) become blanks;
// blanks and tabs at either end go.
std::string oneLine(std::string_view text) {
    std::string out;
    for (char c : text)
        out += (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F ? ' ' : c;
    const std::size_t first = out.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

// The records the prefix files list: a vendor code and a vendor, the first
// record of each code.
struct Listed {
    std::string digits;  // upper-case hex, 6, 7 or 9
    std::string vendor;  // one line
};
std::vector<Listed> listed(const std::vector<VendorRow>& rows) {
    std::vector<Listed> out;
    std::set<std::string> seen;
    for (const VendorRow& row : rows) {
        if (!row.code || !row.vendor)
            continue;
        const std::optional<std::string> code = storedVendorCode(*row.code);
        std::string vendor = oneLine(*row.vendor);
        if (!code || vendor.empty())
            continue;
        std::string digits = codeDigits(*code);
        if (!seen.insert(digits).second)
            continue;
        out.push_back({std::move(digits), std::move(vendor)});
    }
    return out;
}

std::string lower(std::string_view word) {
    std::string out(word);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 0x20);
    return out;
}

// Words of company forms and other general terms a short name leaves out.
const std::set<std::string, std::less<>> GeneralTerms = {
    "a",     "ab",      "ag",          "bv",        "co",  "company", "corp", "corporation", "corporate",
    "gmbh",  "holding", "holdings",    "inc",       "incorporated", "jsc",  "kg",  "kk",  "limited",
    "llc",   "ltd",     "nv",          "of",        "ooo", "oy",      "oyj",  "plc", "pte", "pty",
    "pvt",   "sa",      "sarl",        "sas",       "spa", "srl",     "sro",  "systems", "the", "zao"};

} // namespace

std::string wiresharkShortName(const std::string& vendor) {
    // Punctuation splits words; each word title-cased; general terms out.
    std::string spaced;
    for (const char c : vendor)
        spaced += (c == '"' || c == '\'' || c == ',' || c == '.' || c == '(' || c == ')' || c == '&' || c == '#' ||
                   c == '\t' || c == '\r' || c == '\n')
                      ? ' '
                      : c;
    std::string name, fallback;
    std::size_t at = 0;
    while ((at = spaced.find_first_not_of(' ', at)) != std::string::npos) {
        const std::size_t end = std::min(spaced.find(' ', at), spaced.size());
        std::string word = spaced.substr(at, end - at);
        at = end;
        fallback += word;
        if (GeneralTerms.count(lower(word)))
            continue;
        // Title case: a letter after anything but a letter begins a word.
        bool first = true;
        for (char& c : word) {
            const bool ascii = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            if (ascii)
                c = first ? (c >= 'a' ? static_cast<char>(c - 0x20) : c) : (c <= 'Z' ? static_cast<char>(c + 0x20) : c);
            first = !ascii && static_cast<unsigned char>(c) < 0x80;
        }
        name += word;
    }
    if (name.empty())
        name = fallback;
    if (name.empty())
        return "Unknown";
    // At most 8 characters, never a UTF-8 sequence cut.
    std::size_t chars = 0, cut = 0;
    for (; cut < name.size(); ++cut) {
        if ((static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            continue;
        if (chars++ == 8)
            break;
    }
    return name.substr(0, cut);
}

std::string wiresharkManuf(const std::vector<VendorRow>& rows, const std::string& from) {
    std::string out = "# Wireshark's manuf file, made by zorvane-db export from " + oneLine(from) +
                      "\n# (address prefix, its mask for 28- and 36-bit blocks, short name, vendor)\n";
    for (const Listed& l : listed(rows)) {
        std::string padded = l.digits;
        padded.resize(l.digits.size() == 6 ? 6 : 12, '0');
        for (std::size_t i = 0; i < padded.size(); i += 2) {
            if (i)
                out += ':';
            out += padded.substr(i, 2);
        }
        if (l.digits.size() > 6)
            out += l.digits.size() == 7 ? "/28" : "/36";
        // Wireshark ends a line at '#' and a field at a tab.
        std::string longName = l.vendor;
        for (char& c : longName)
            if (c == '#' || c == '\t')
                c = ' ';
        out += '\t' + wiresharkShortName(l.vendor) + '\t' + longName + '\n';
    }
    return out;
}

std::string nmapPrefixes(const std::vector<VendorRow>& rows, const std::string& from) {
    std::string out = "# nmap-mac-prefixes made by zorvane-db export from " + oneLine(from) + "\n";
    for (const Listed& l : listed(rows))
        if (l.digits.size() == 6)
            out += l.digits + ' ' + l.vendor + '\n';
    return out;
}

std::string arpScanOuiFile(const std::vector<VendorRow>& rows, const std::string& from) {
    std::string out = "# arp-scan vendor file (--ouifile) made by zorvane-db export from " + oneLine(from) +
                      "\n# <MAC-Prefix><TAB><Vendor>\n";
    for (const Listed& l : listed(rows))
        out += l.digits + '\t' + l.vendor + '\n';
    return out;
}

std::vector<std::pair<std::string, std::string>> ieeeListing(const std::vector<VendorRow>& rows) {
    // The column titles the IEEE's files begin with, two lines of them.
    static const char* const titles[] = {"OUI/MA-L", "OUI", "OUI", "OUI"};
    static const char* const firstColumn[] = {"company_id", "OUI-28/MA-M Range", "OUI-36/MA-S Range", "IAB Range"};
    std::vector<std::pair<std::string, std::string>> files = {
        {"oui.txt", {}}, {"mam.txt", {}}, {"oui36.txt", {}}, {"iab.txt", {}}};
    for (std::size_t f = 0; f < files.size(); ++f) {
        std::string title = titles[f], column = firstColumn[f];
        title.resize(60, ' ');
        column.resize(60, ' ');
        files[f].second = title + "Organization                                 \r\n" + column +
                          "Organization                                 \r\n" + std::string(60, ' ') +
                          "Address                                      \r\n\r\n";
    }
    for (const VendorRow& row : rows) {
        const std::optional<std::string> code = row.code ? storedVendorCode(*row.code) : std::nullopt;
        if (!code)
            continue;
        const std::string digits = codeDigits(*code);
        const bool iab = digits.size() == 9 && (digits.starts_with("0050C2") || digits.starts_with("40D855"));
        std::string& out = files[digits.size() == 6 ? 0 : digits.size() == 7 ? 1 : iab ? 3 : 2].second;
        const std::string vendor = row.vendor ? oneLine(*row.vendor) : std::string();
        const std::string oui = code->substr(0, 8);
        out += oui + "   (hex)\t\t" + vendor + "\r\n";
        if (digits.size() == 6) {
            out += digits + "     (base 16)\t\t" + vendor + "\r\n";
        } else {
            const std::string fixed = digits.substr(6);
            const std::string range = fixed + std::string(6 - fixed.size(), '0') + "-" + fixed +
                                      std::string(6 - fixed.size(), 'F');
            out += range + "     (base 16)\t\t" + vendor + "\r\n";
        }
        // The address, a line each (CR LF or LF between them in the field).
        if (row.address) {
            std::string_view rest = *row.address;
            while (!rest.empty()) {
                const std::size_t end = std::min(rest.find('\n'), rest.size());
                std::string line(rest.substr(0, end));
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                out += "\t\t\t\t" + oneLine(line) + "\r\n";
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
        }
        out += "\r\n";
    }
    return files;
}

void appendJsonString(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += hex[u >> 4];
                out += hex[u & 15];
            } else
                out += c;
        }
    }
    out += '"';
}

} // namespace zorvane::tools
