// zorvane-write-outputs FOLDER: writes a fixed set of database files with the
// engine's own writer (every field type, long values, a two-page definition,
// both page-map kinds, a password, edits that move and delete rows, index
// trees split and joined by many commands), so that scripts/same-bytes.sh can
// show that a change to the engine writes the same bytes as before.
#include "records/jet/CreateDatabase.h"
#include "records/jet/Database.h"
#include "records/jet/IndexWriter.h"
#include "records/jet/TableWriter.h"
#include "records/jet/ValueText.h"
#include "tests/support/SampleDatabases.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <random>

using namespace zorvane;
using namespace zorvane::jet;

namespace {

// Adds, changes and removes rows of an indexed table in many commands, with
// index pages kept small so that leaves and nodes split and empty.
void churn(const std::string& path) {
    const NewTable table{"Model",
                         {{"ID", format::TypeLong, 255, true}, {"Num", format::TypeLong}, {"Label", format::TypeText, 90}},
                         {{"PrimaryKey", {0}, true}, {"Num", {1}, false}, {"Down", {2, 1}, false, true}}};
    const std::vector<NewRow> rows{{u"1", u"0", u"a"}, {u"2", u"0", u"b"}, {u"3", u"5", u"c"}};
    createDatabase(path, {{table, rows}}, [] { CreateOptions o; o.overwrite = true; return o; }());
    Options small;
    small.indexPageRoom = 150;
    std::mt19937 rng(7);
    std::vector<RowPlace> places;
    for (int batch = 0; batch < 40; ++batch) {
        PageFile file(path, PageFile::Mode::ReadWrite, small);
        Database db(path);
        const std::unique_ptr<Table> t = db.openTable("Model");
        const TableDef def = t->def();
        places.clear();
        for (std::size_t r = 0; r < t->rowCount(); ++r)
            places.push_back(t->place(r));
        file.begin();
        TableWriter w(file, def);
        for (int k = 0; k < 30; ++k) {
            const int what = int(rng() % 10);
            const std::u16string num = fromUtf8(std::to_string(int(rng() % 300) - 150));
            if (what < 6 || places.size() < 10) {
                w.insert({{1, num}, {2, std::u16string(std::size_t(rng() % 5) * 9, u"a\u00e9Z"[rng() % 3])}});
            } else {
                const std::size_t at = rng() % places.size();
                if (what < 8)
                    places[at] = w.update(places[at], {{1, num}, {2, u"changed label"}});
                else {
                    w.remove(places[at]);
                    places.erase(places.begin() + static_cast<std::ptrdiff_t>(at));
                }
            }
        }
        w.finish();
        file.commit();
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zorvane-write-outputs FOLDER\n");
        return 1;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    try {
        test::samples::writeSamples(folder, "samples.mdb");
        test::samples::writeSamples(folder, "samples-password.mdb", [] { CreateOptions o; o.password = u"s3cret \u00e9"; return o; }());
        test::samples::writeSamples(folder, "samples-reference.mdb", [] { CreateOptions o; o.referencePageMap = true; return o; }());
        test::samples::writeSamples(folder, "samples-mapstart.mdb", [] { CreateOptions o; o.pageMapStart = 5; return o; }());
        const QString edited = test::samples::writeSamples(folder, "samples-edited.mdb");
        test::samples::editMany(edited);
        churn(QDir(folder).filePath("churn.mdb").toStdString());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zorvane-write-outputs: %s\n", e.what());
        return 1;
    }
    return 0;
}
