#pragma once
// The one CSV writer (RFC 4180) of the program's outputs: zorvane-db's export,
// find, search and lookup, refresh's change list, the address answers and the
// Addresses window's CSV. Needs no Qt; writes into a std::string or a
// QByteArray.

#include <string_view>

namespace zorvane::records {

// How a field of empty text is written. Quoted ("") keeps it apart from a
// null, which is the empty, unquoted field; Bare writes nothing for it, where
// an output has no nulls to tell apart.
enum class CsvEmptyText { Quoted, Bare };

// Appends UTF-8 `text` as one CSV field: quoted, quotes doubled, when it
// holds a comma, a quote, CR or LF, and when it is empty unless `empty` is
// Bare; otherwise as it is.
template <typename Bytes>
void appendCsvField(Bytes& out, std::string_view text, CsvEmptyText empty = CsvEmptyText::Quoted)
{
    const bool quote = (text.empty() && empty == CsvEmptyText::Quoted) ||
                       text.find_first_of(",\"\r\n") != std::string_view::npos;
    if (!quote) {
        out.append(text.data(), static_cast<decltype(out.size())>(text.size()));
        return;
    }
    out += '"';
    for (std::size_t at = 0;;) {
        const std::size_t q = text.find('"', at);
        const std::size_t end = q == std::string_view::npos ? text.size() : q + 1;
        out.append(text.data() + at, static_cast<decltype(out.size())>(end - at));
        if (q == std::string_view::npos)
            break;
        out += '"';
        at = end;
    }
    out += '"';
}

} // namespace zorvane::records
