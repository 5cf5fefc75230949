#pragma once
// Table "oui" of the vendor database as every part of the program sees it:
// its name, its eight fields in the table's order, and what each holds. The
// new-file builder makes the table from this; the record set, the result
// array, the listing importer and zorvane-db's commands find the fields by
// these names (the engine matches names without regard to case) and number
// them by this order. Needs no Qt.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zorvane::records::vendor {

inline constexpr char TableName[] = "oui";
// The listing as last imported or refreshed, kept beside table "oui" with the
// same fields, so that a refresh can tell the user's changes from the
// listing's.
inline constexpr char ListingTableName[] = "ouiListing";
// The IEEE's company IDs (the CID registry), with the fields of table "oui":
// the holders of ELI addresses. It holds the registry as last imported or
// refreshed; nothing else writes it.
inline constexpr char CidTableName[] = "cid";

// The fields by their place in the table (and in VendorRecord).
enum Field : std::size_t {
    Code,
    Vendor,
    Address,   // the postal address, its lines joined by CR LF
    Address1,  // Address1 to address5: the first five address lines, one each
    Address2,
    Address3,
    Address4,
    Address5,
    FieldCount
};
inline constexpr std::size_t FurtherAddressCount = Address5 - Address1 + 1;

// Most characters a text field takes; Address, a memo, has no such bound.
inline constexpr std::uint16_t TextMaxChars = 255;

struct FieldDescription {
    std::string_view name;       // spelled as the table spells it
    std::u16string_view name16;  // the same, for the record cursor
    bool memo;                   // a memo (Address), else text of TextMaxChars
};

inline constexpr std::array<FieldDescription, FieldCount> Fields = {{
    {"Code", u"Code", false},
    {"Vendor", u"Vendor", false},
    {"Address", u"Address", true},
    {"Address1", u"Address1", false},
    {"address2", u"address2", false},
    {"address3", u"address3", false},
    {"address4", u"address4", false},
    {"address5", u"address5", false},
}};

constexpr std::string_view nameOf(Field field) { return Fields[field].name; }
constexpr std::u16string_view name16Of(Field field) { return Fields[field].name16; }

namespace detail {
constexpr bool spelledAlike() {
    for (const FieldDescription& f : Fields) {
        if (f.name.size() != f.name16.size())
            return false;
        for (std::size_t i = 0; i < f.name.size(); ++i)
            if (char16_t(f.name[i]) != f.name16[i])
                return false;
    }
    return true;
}
} // namespace detail
static_assert(detail::spelledAlike(), "each field's two spellings are the same name");

} // namespace zorvane::records::vendor
