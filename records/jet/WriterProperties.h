#pragma once
// Property blobs (the LvProp value of a catalog entry): a block of property
// names, then one block for the object itself and one per column, each a list
// of (name, type, value) with the flag Access sets for properties the database
// engine itself defines.

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::jet::writer {

class PropertyBlob {
public:
    // Properties of the object itself (`column` empty) or of one column.
    void addText(const std::u16string& column, const std::u16string& name,
                 const std::u16string& value);
    void addBoolean(const std::u16string& column, const std::u16string& name, bool value);
    std::vector<std::uint8_t> bytes() const;

private:
    struct Property {
        std::uint16_t name;
        std::uint8_t type;
        std::vector<std::uint8_t> value;
    };
    struct Block {
        std::u16string column;
        std::vector<Property> properties;
    };
    std::uint16_t nameIndex(const std::u16string& name);
    Block& block(const std::u16string& column);

    std::vector<std::u16string> names_;
    std::vector<Block> blocks_;
};

} // namespace zorvane::jet::writer
