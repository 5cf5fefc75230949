#include "records/jet/WriterProperties.h"

#include "records/jet/Format.h"
#include "records/jet/WriterLayout.h"

#include <algorithm>

namespace zorvane::jet::writer {

namespace {

// Access marks the properties the engine defines (as these are) this way.
constexpr std::uint8_t EngineProperty = 0x01;

} // namespace

std::uint16_t PropertyBlob::nameIndex(const std::u16string& name) {
    const auto it = std::find(names_.begin(), names_.end(), name);
    if (it != names_.end())
        return static_cast<std::uint16_t>(it - names_.begin());
    names_.push_back(name);
    return static_cast<std::uint16_t>(names_.size() - 1);
}

PropertyBlob::Block& PropertyBlob::block(const std::u16string& column) {
    for (Block& b : blocks_)
        if (b.column == column)
            return b;
    blocks_.push_back({column, {}});
    return blocks_.back();
}

void PropertyBlob::addText(const std::u16string& column, const std::u16string& name,
                           const std::u16string& value) {
    std::vector<std::uint8_t> bytes;
    appendUcs2(bytes, value);
    block(column).properties.push_back({nameIndex(name), format::TypeText, std::move(bytes)});
}

void PropertyBlob::addBoolean(const std::u16string& column, const std::u16string& name,
                              bool value) {
    block(column).properties.push_back(
        {nameIndex(name), format::TypeBoolean, {static_cast<std::uint8_t>(value ? 1 : 0)}});
}

std::vector<std::uint8_t> PropertyBlob::bytes() const {
    std::vector<std::uint8_t> out(PropertyMagic, PropertyMagic + 4);

    std::vector<std::uint8_t> names;
    for (const std::u16string& n : names_)
        appendName(names, n);
    append32(out, static_cast<std::uint32_t>(6 + names.size()));
    append16(out, PropertyChunkNames);
    out.insert(out.end(), names.begin(), names.end());

    for (const Block& b : blocks_) {
        std::vector<std::uint8_t> body;
        append32(body, static_cast<std::uint32_t>(6 + b.column.size() * 2));
        appendName(body, b.column);
        for (const Property& p : b.properties) {
            append16(body, static_cast<std::uint16_t>(8 + p.value.size()));
            body.push_back(EngineProperty);
            body.push_back(p.type);
            append16(body, p.name);
            append16(body, static_cast<std::uint16_t>(p.value.size()));
            body.insert(body.end(), p.value.begin(), p.value.end());
        }
        append32(out, static_cast<std::uint32_t>(6 + body.size()));
        append16(out, b.column.empty() ? PropertyChunkObject : PropertyChunkColumn);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

} // namespace zorvane::jet::writer
