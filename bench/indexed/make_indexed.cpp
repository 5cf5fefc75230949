// Makes an Access-style vendor file for bench/indexed/run.sh: table "oui" of
// SOURCE (a vendor database as zorvane-db import makes it) with an AutoNumber
// "ID" primary key before its fields and an index on "Code" (as Access's
// AutoIndex setting makes one), the records added one by one through
// the table writer in one command. Prints the seconds that took.
// usage: bench_indexed_make SOURCE DEST
#include "records/VendorTable.h"
#include "records/jet/CreateDatabase.h"
#include "records/jet/Database.h"
#include "records/jet/Error.h"
#include "records/jet/TableWriter.h"

#include <chrono>
#include <cstdio>

using namespace zorvane;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_indexed_make SOURCE DEST\n");
        return 2;
    }
    try {
        jet::Database source(argv[1]);
        namespace vendor = records::vendor;
        std::unique_ptr<jet::Table> rows = source.openTable(vendor::TableName);
        jet::NewTable table{vendor::TableName, {{"ID", jet::format::TypeLong, 255, true}},
                            {{"PrimaryKey", {0}, true}, {std::string(vendor::nameOf(vendor::Code)), {1 + vendor::Code}, false}}};
        for (const vendor::FieldDescription& field : vendor::Fields)
            table.columns.push_back({std::string(field.name), field.memo ? jet::format::TypeMemo : jet::format::TypeText,
                                     vendor::TextMaxChars, false});
        jet::CreateOptions options;
        options.overwrite = true;
        const std::vector<jet::NewRow> none;
        jet::createDatabase(argv[2], {{table, none}}, options);
        const auto start = std::chrono::steady_clock::now();
        jet::Database dest(argv[2], jet::PageFile::Mode::ReadWrite);
        std::unique_ptr<jet::Table> target = dest.openTable(vendor::TableName);
        dest.file().begin();
        jet::TableWriter writer(dest.file(), target->def());
        for (std::size_t r = 0; r < rows->rowCount(); ++r) {
            std::vector<jet::FieldChange> values;
            for (std::size_t c = 0; c < vendor::FieldCount; ++c) {
                std::u16string text;
                if (rows->appendText(r, c, text))
                    values.push_back({c + 1, text});
            }
            writer.insert(values);
        }
        writer.finish();
        dest.file().commit();
        std::printf("%.1f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
