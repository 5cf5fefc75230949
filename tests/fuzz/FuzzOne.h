#pragma once
// One fuzz input through the whole read path: the bytes as a database image,
// every table (user and system) opened and every value of every row read.
// The only failure allowed is jet::Error; anything else (another exception,
// a crash, a sanitizer report, a hang) is a fault.

#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/IndexKey.h"
#include "records/jet/IndexTree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::fuzz {

inline void readAll(jet::Table& table) {
    std::u16string text;
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        for (std::size_t column = 0; column < table.def().columns.size(); ++column) {
            text.clear();
            try {
                table.appendText(row, column, text);
            } catch (const jet::Error&) {
                // a damaged value; the other values are still read
            }
        }
}

// Every index's tree, and every row's key in it.
inline void readIndexes(jet::Table& table) {
    const jet::TableDef& def = table.def();
    for (std::size_t i = 0; i < def.realIndexDefs.size(); ++i) {
        jet::readIndexTree(table.file(), def, i);
        for (std::size_t row = 0; row < table.rowCount(); ++row)
            try {
                jet::Bytes key;
                jet::indexkey::rowKey(table, row, def.realIndexDefs[i], key);
            } catch (const jet::Error&) {
            }
    }
}

inline void fuzzOne(const std::uint8_t* data, std::size_t size) {
    try {
        jet::Database database("fuzz.mdb", std::vector<std::uint8_t>(data, data + size));
        {
            jet::Table catalog(database.file(),
                               jet::readTableDef(database.file(), 2, "MSysObjects"));
            readAll(catalog);
        }
        for (const auto& entry : database.tables()) {
            try {
                const auto table = database.openTable(entry.name);
                readAll(*table);
                readIndexes(*table);
            } catch (const jet::Error&) {
            }
        }
    } catch (const jet::Error&) {
    }
}

} // namespace zorvane::fuzz
