// The canonical text of every column type, and memo/OLE values stored inline,
// on one long-value page, or as a chain over several (including broken and
// looping chains), on hand-made pages.
#include "records/jet/Error.h"
#include "records/jet/Format.h"
#include "records/jet/PageFile.h"
#include "records/jet/Row.h"
#include "records/jet/ValueText.h"
#include "records/jet/WriterText.h"

#include <QtTest>

#include <bit>
#include <climits>
#include <vector>

using namespace zorvane::jet;
namespace fmt = zorvane::jet::format;
using Bytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

QString fixed(std::uint8_t type, const Bytes& bytes, std::uint8_t scale = 0) {
    std::u16string out;
    return appendFixedValue(type, bytes.data(), bytes.size(), scale, out) ? QString::fromStdU16String(out) : "<short>";
}
Bytes le(std::uint64_t v, int n) {
    Bytes b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        b[std::size_t(i)] = std::uint8_t(v >> (8 * i));
    return b;
}
template <typename F> QString textOf(F&& append) {
    std::u16string out;
    append(out);
    return QString::fromStdU16String(out);
}
QString date(double days) { return textOf([&](std::u16string& out) { appendDateTime(days, out); }); }
QString stored(const Bytes& b) { return textOf([&](std::u16string& out) { appendStoredText(b.data(), b.size(), out); }); }

// A file image of `pages` pages; put() lays rows onto a data page the way
// Access does (from the page end downwards, row table after the header).
struct Image {
    explicit Image(int pages) : bytes(std::size_t(pages) * fmt::PageSize, 0) {}
    void put(std::uint32_t page, const std::vector<Bytes>& rows) {
        std::uint8_t* p = bytes.data() + page * fmt::PageSize;
        p[0] = fmt::PageData;
        p[1] = 1;
        std::memcpy(p + fmt::DataOwnerOffset, fmt::LongValueOwner, 4);
        fmt::put16(p + fmt::DataRowCountOffset, std::uint16_t(rows.size()));
        std::size_t end = fmt::PageSize;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::size_t start = end - rows[i].size();
            std::memcpy(p + start, rows[i].data(), rows[i].size());
            fmt::put16(p + fmt::DataRowTableOffset + 2 * i, std::uint16_t(start));
            end = start;
        }
    }
    Bytes bytes;
};
Bytes reference(std::uint32_t head, std::uint32_t pointer) {
    Bytes r(12, 0);
    fmt::put32(r.data(), head);
    fmt::put32(r.data() + 4, pointer);
    return r;
}
Bytes part(std::uint32_t next, const Bytes& data) {
    Bytes r = le(next, 4);
    r.insert(r.end(), data.begin(), data.end());
    return r;
}
Bytes filled(std::size_t n, std::uint8_t start) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = std::uint8_t(start + i);
    return b;
}

} // namespace

class JetValues : public QObject {
    Q_OBJECT

private slots:
    // Integers in decimal, floating point as the shortest text that reads
    // back the same, currency with four decimals, GUIDs braced, binary as hex.
    void fixedValues_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<QString>("text");
        const auto f32 = [](float v) { return le(std::bit_cast<std::uint32_t>(v), 4); };
        const auto f64 = [](double v) { return le(std::bit_cast<std::uint64_t>(v), 8); };
        const std::tuple<const char*, int, Bytes, const char*> cases[] = {
            {"byte", fmt::TypeByte, {255}, "255"},
            {"integer", fmt::TypeInteger, le(std::uint16_t(-2), 2), "-2"},
            {"integer lowest", fmt::TypeInteger, le(std::uint16_t(0x8000), 2), "-32768"},
            {"long highest", fmt::TypeLong, le(std::uint32_t(INT_MAX), 4), "2147483647"},
            {"long", fmt::TypeLong, le(std::uint32_t(INT_MIN), 4), "-2147483648"},
            {"long cut off", fmt::TypeLong, {1, 2}, "<short>"},
            {"single", fmt::TypeSingle, f32(0.1f), "0.1"},
            {"single negative", fmt::TypeSingle, f32(-3.25f), "-3.25"},
            {"double", fmt::TypeDouble, f64(444.555), "444.555"},
            {"double large", fmt::TypeDouble, f64(1e20), "1e+20"},
            {"double third", fmt::TypeDouble, f64(1.0 / 3.0), "0.3333333333333333"},
            {"currency", fmt::TypeCurrency, le(35000, 8), "3.5000"},
            {"currency negative", fmt::TypeCurrency, le(std::uint64_t(-1), 8), "-0.0001"},
            {"currency zero", fmt::TypeCurrency, le(0, 8), "0.0000"},
            {"currency lowest", fmt::TypeCurrency, le(std::uint64_t(INT64_MIN), 8), "-922337203685477.5808"},
            {"guid", fmt::TypeGuid, {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF},
             "{00112233-4455-6677-8899-AABBCCDDEEFF}"},
            {"binary", fmt::TypeBinary, {0x00, 0x0F, 0xA0}, "000FA0"},
        };
        for (const auto& [name, type, bytes, text] : cases)
            QTest::newRow(name) << type << bytes << QString(text);
    }

    // The writer stores each text the reader gives back as the same bytes.
    void fixedValues() {
        QFETCH(int, type);
        QFETCH(Bytes, bytes);
        QFETCH(QString, text);
        QCOMPARE(fixed(std::uint8_t(type), bytes), text);
        Bytes written;
        const bool writable = type <= fmt::TypeDateTime && fmt::fixedSizeOf(std::uint8_t(type)) == bytes.size();
        QCOMPARE(appendFixedValueBytes(std::uint8_t(type), text.toStdU16String(), written), writable);
        if (writable)
            QCOMPARE(written, bytes);
    }

    // Texts that are no value of their type are refused, and dates read back
    // as they were written, before 1899-12-30 too.
    void valuesTheWriterRefusesOrKeeps() {
        const std::pair<int, const char16_t*> refused[] = {
            {fmt::TypeByte, u"256"}, {fmt::TypeByte, u"-1"}, {fmt::TypeInteger, u"32768"}, {fmt::TypeInteger, u"-32769"},
            {fmt::TypeLong, u"2147483648"}, {fmt::TypeLong, u"-2147483649"}, {fmt::TypeLong, u"1.5"},
            {fmt::TypeLong, u"+1"}, {fmt::TypeLong, u" 1"}, {fmt::TypeCurrency, u"1.00001"},
            {fmt::TypeCurrency, u"922337203685477.5808"}, {fmt::TypeCurrency, u"1."}, {fmt::TypeDouble, u"x"},
            {fmt::TypeDateTime, u"2023-02-29 00:00:00"}, {fmt::TypeDateTime, u"2024-01-01 24:00:00"},
            {fmt::TypeDateTime, u"2024-1-01 00:00:00"}, {fmt::TypeText, u"a"}};
        for (const auto& [type, text] : refused) {
            Bytes out;
            QVERIFY2(!appendFixedValueBytes(std::uint8_t(type), text, out) && out.empty(),
                     qPrintable(QString::fromStdU16String(text)));
        }
        for (const char* text : {"1899-12-29 06:00:00", "0100-01-01 00:00:00", "1900-02-28 23:59:59",
                                 "2024-02-29 13:05:00", "9999-12-31 23:59:59"}) {
            Bytes out;
            QVERIFY(appendFixedValueBytes(fmt::TypeDateTime, QString(text).toStdU16String(), out));
            QCOMPARE(fixed(fmt::TypeDateTime, out), QString(text));
        }
    }

    void dates() {
        QCOMPARE(date(0), QString("1899-12-30 00:00:00"));
        QCOMPARE(date(27293), QString("1974-09-21 00:00:00"));
        QCOMPARE(date(40122.98712962963), QString("2009-11-05 23:41:28"));
        QCOMPARE(date(-1.25), QString("1899-12-29 06:00:00"));   // time counts forward
        QCOMPARE(date(1.999999999), QString("1900-01-01 00:00:00"));  // rounds into the next day
        QCOMPARE(date(60), QString("1900-02-28 00:00:00"));
        QCOMPARE(date(61), QString("1900-03-01 00:00:00"));
        QCOMPARE(date(-657434), QString("0100-01-01 00:00:00"));
        QCOMPARE(date(2958465.5), QString("9999-12-31 12:00:00"));
        QCOMPARE(date(2958465.999999999), QString("2958465.999999999"));  // would be year 10000
        QCOMPARE(date(std::nan("")), QString("nan"));
        QCOMPARE(textOf([](std::u16string& out) { appendBoolean(true, out), appendBoolean(false, out); }), QString("TrueFalse"));
    }

    void numericIsExactDecimal() {
        // sign byte, then four 32-bit words, most significant first
        auto numeric = [](bool negative, std::uint32_t w0, std::uint32_t w3) {
            Bytes b(17, 0);
            b[0] = negative ? 0x80 : 0x00;
            fmt::put32(b.data() + 1, w0);
            fmt::put32(b.data() + 13, w3);
            return b;
        };
        QCOMPARE(fixed(fmt::TypeNumeric, numeric(true, 0, 12345), 2), QString("-123.45"));
        QCOMPARE(fixed(fmt::TypeNumeric, numeric(false, 0, 12345), 0), QString("12345"));
        QCOMPARE(fixed(fmt::TypeNumeric, numeric(false, 0, 5), 4), QString("0.0005"));
        QCOMPARE(fixed(fmt::TypeNumeric, numeric(true, 0, 0), 0), QString("0"));
        QCOMPARE(fixed(fmt::TypeNumeric, numeric(false, 1, 0), 0),
                 QString("79228162514264337593543950336"));  // 2^96
    }

    void textPlainAndCompressed() {
        QCOMPARE(stored({'A', 0, 'b', 0, 0xAC, 0x20}), QString::fromUtf8("Ab€"));
        // compressed: one byte a character; 0x00 switches to two bytes and back
        QCOMPARE(stored({0xFF, 0xFE, 'a', 'b', 0x00, 0xAC, 0x20, 0x00, 'c'}), QString::fromUtf8("ab€c"));
        QCOMPARE(stored({0xFF, 0xFE}), QString(""));
        QCOMPARE(stored({0xFF, 0xFE, 0x00, 0xAC}), QString(""));  // a cut-off character is dropped
        QCOMPARE(QString::fromStdString(toUtf8(u"a\u00E9\u20AC\U0001F600")),
                 QString::fromUtf8("a\u00E9\u20AC\U0001F600"));
    }

    void longValues() {
        Image image(6);
        const Bytes one = filled(300, 1), a = filled(3000, 7), b = filled(1500, 9);
        image.put(3, {one, part(fmt::makePointer(4, 0), a)});
        image.put(4, {part(0, b), part(fmt::makePointer(5, 0), {1, 2}), part(fmt::makePointer(4, 1), {3})});
        image.put(5, {part(fmt::makePointer(4, 2), {4})});
        PageFile file("memo.mdb", image.bytes);
        std::vector<std::uint8_t> scratch;
        const std::string what = "table \"t\"";
        auto read = [&](const Bytes& ref) {
            const ColumnBytes v = readLongValue(file, ref.data(), ref.size(), scratch, what);
            return Bytes(v.data, v.data + v.length);
        };

        Bytes inlineRef = reference(fmt::LongValueInline | 3, 0);
        inlineRef.insert(inlineRef.end(), {'x', 'y', 'z'});
        QCOMPARE(read(inlineRef), Bytes({'x', 'y', 'z'}));
        QCOMPARE(read(reference(fmt::LongValueSinglePage | 300, fmt::makePointer(3, 0))), one);

        Bytes both = a;
        both.insert(both.end(), b.begin(), b.end());
        QCOMPARE(read(reference(4500, fmt::makePointer(3, 1))), both);
        // a shorter length takes only what it says
        QCOMPARE(read(reference(4001, fmt::makePointer(3, 1))), Bytes(both.begin(), both.begin() + 4001));

        // Each damage is named in one line that says which file and table.
        const std::pair<Bytes, const char*> damaged[] = {
            {reference(100, fmt::makePointer(4, 1)), "loop"},  // 4,1 -> 5,0 -> 4,2 -> 4,1
            {reference(6000, fmt::makePointer(3, 1)), "ends before its length"},
            {reference(1u << 29, fmt::makePointer(3, 1)), "longer than the file"},
            {reference(fmt::LongValueSinglePage | 301, fmt::makePointer(3, 0)), "shorter than its length"},
            {reference(fmt::LongValueSinglePage | 3, fmt::makePointer(9, 0)), "beyond the end of the file"},
            {reference(fmt::LongValueInline | 30, 0), "runs past its row"}};
        for (const auto& [ref, expected] : damaged) {
            QString message = "<no error>";
            try {
                read(ref);
            } catch (const Error& e) {
                message = QString::fromUtf8(e.what());
            }
            QVERIFY2(message.startsWith("memo.mdb: table \"t\" is damaged: ") && message.contains(expected) &&
                         !message.contains('\n'),
                     qPrintable(message));
        }
    }
};

QTEST_GUILESS_MAIN(JetValues)
#include "tst_jet_values.moc"
