// The address library without a database: every notation read as a whole
// token (and what is refused), the addresses found in a corpus of text as
// network tools and logs print it (with the traps that once gave wrong
// answers), a seeded model that plants addresses of every notation in random
// text and finds each exactly once and nothing else, and the names and flags
// of addresses no vendor holds.
#include "addresses/AddressNames.h"
#include "addresses/AddressText.h"
#include "addresses/VendorIndex.h"

#include <map>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace zorvane::addresses;

namespace {

QString found(std::string_view text) {
    std::vector<Found> out;
    findAddresses(text, out);
    QStringList list;
    for (const Found& f : out)
        list << QString::fromStdString(addressText(f.address));
    return list.join(' ');
}

QString whole(const char* token, bool prefixes) {
    const auto a = readAddress(token, prefixes);
    return a ? QString::fromStdString(addressText(*a)) : QStringLiteral("none");
}

} // namespace

class AddressTextTest : public QObject {
    Q_OBJECT

private slots:
    // Whole tokens: every notation of 6 and 8 octets, prefixes only when asked for.
    void notations_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("asAddress");  // prefixes refused
        QTest::addColumn<QString>("asPrefix");   // prefixes allowed
        const QString full = "00:1A:2B:3C:4D:5E", eui = "00:1A:2B:FF:FE:3C:4D:5E";
        const struct {
            const char* token;
            QString address, prefix;
        } cases[] = {
            {"00:1a:2b:3c:4d:5e", full, full},     {"0:1a:2b:3c:4d:5e", full, full},
            {"00-1A-2B-3C-4D-5E", full, full},     {"0-1a-2b-3c-4d-5e", full, full},
            {"001a.2b3c.4d5e", full, full},        {"001a-2b3c-4d5e", full, full},
            {"001a2b3c4d5e", full, full},          {"001A2B:3C4D5E", full, full},
            {"001a2b-3c4d5e", full, full},         {"00:1a:2b:ff:fe:3c:4d:5e", eui, eui},
            {"0:1a:2b:ff:fe:3c:4d:5e", eui, eui},  {"00-1A-2B-FF-FE-3C-4D-5E", eui, eui},
            {"001a.2bff.fe3c.4d5e", eui, eui},     {"001a-2bff-fe3c-4d5e", eui, eui},
            {"001a2bfffe3c4d5e", eui, eui},        {"001a2bff:fe3c4d5e", eui, eui},
            {"001a2bff-fe3c4d5e", eui, eui},
            // Prefixes: 6 to 11 digits; a last single digit after octets is half an octet.
            {"00:1a:2b", "none", "00:1A:2B"},      {"001a2b", "none", "00:1A:2B"},
            {"001a.2b", "none", "00:1A:2B"},       {"70-B3-D5-F2-F", "none", "70:B3:D5:F2:F"},
            {"70b3d5f2f", "none", "70:B3:D5:F2:F"}, {"001a2b:3", "none", "00:1A:2B:3"},
            {"001A2B3C4D5", "none", "00:1A:2B:3C:4D:5"}, {"0:1a:2b", "none", "00:1A:2B"},
            // Never an address.
            {"00:1a:2b:3c:4d:5e:6f", "none", "none"}, {"00:1a-2b:3c:4d:5e", "none", "none"},
            {"001a2b3c4d5e6", "none", "none"},      {"00:1a", "none", "none"},
            {"001a2", "none", "none"},              {"g0:1a:2b:3c:4d:5e", "none", "none"},
            {"00:1a:2b:", "none", "none"},          {"00::1a:2b:3c:4d", "none", "none"},
            {"001:a2b:3c4", "none", "none"},        {"001a2.b3c", "none", "none"},
            {"001a:2b3c:4d5e", "none", "none"},     {"000:1a:2b", "none", "none"},
            {"001a.2b3c4d5e", "none", "none"},      {"00.1a.2b.3c.4d.5e", "none", "none"},
            {"001a2b:3c4d5e6f", "none", "none"},    {" 00:1a:2b:3c:4d:5e", "none", "none"},
            {"12:34:56.789", "none", "none"},       {"", "none", "none"},
        };
        for (const auto& c : cases)
            QTest::newRow(c.token) << QString(c.token) << c.address << c.prefix;
    }
    void notations() {
        QFETCH(QString, token);
        QFETCH(QString, asAddress);
        QFETCH(QString, asPrefix);
        const QByteArray bytes = token.toUtf8();
        QCOMPARE(whole(bytes.constData(), false), asAddress);
        QCOMPARE(whole(bytes.constData(), true), asPrefix);
    }

    // Items: a whole line or argument may be a prefix; inside text only
    // whole addresses count, every one of them in order.
    void items() {
        std::vector<Found> out;
        const auto item = [&](std::string_view text) {
            readItem(text, out);
            QStringList list;
            for (const Found& f : out)
                list << QString::fromStdString(addressText(f.address)) + "@" + QString::number(f.offset);
            return list.join(' ');
        };
        QCOMPARE(item("  04:21:00 \r"), QString("04:21:00@2"));  // alone on its line: a prefix
        QCOMPARE(item("Dec  7 04:21:00 gw dnsmasq-dhcp[812]: DHCPACK(eth0) 10.0.0.5 3c:22:fb:11:22:33 laptop"),
                 QString("3C:22:FB:11:22:33@61"));
        QCOMPARE(item("host decade at 00:1a:2b:3c:4d:5e"), QString("00:1A:2B:3C:4D:5E@15"));
        QCOMPARE(item("cafe01 3c:22:fb:11:22:33"), QString("3C:22:FB:11:22:33@7"));
        QCOMPARE(item("decade"), QString("DE:CA:DE@0"));
        QCOMPARE(item("mac=001A2B3C4D5E;"), QString("00:1A:2B:3C:4D:5E@4"));
        QCOMPARE(item("a 00:1a:2b:3c:4d:5e b 001a.2b3c.4d5f, c \"3c22-fb11-2233\""),
                 QString("00:1A:2B:3C:4D:5E@2 00:1A:2B:3C:4D:5F@22 3C:22:FB:11:22:33@41"));
        QCOMPARE(item("10.0.0.9 dev eth0 FAILED"), QString());
        QCOMPARE(item(" \t"), QString());
        QCOMPARE(item("MAC:00:1a:2b:3c:4d:5e."), QString("00:1A:2B:3C:4D:5E@4"));
        // Chains that lead on are one longer token.
        QCOMPARE(found("00:1a:2b:3c:4d:5e:6g 00:1a:2b:3c:4d:5e-gw ab:00:1a:2b:3c:4d:5e"), QString());
        QCOMPARE(found("fe80::1a:2b:3c:4d:5e:6f 1a:2b:3c:4d:5e:6f::1 123e4567-e89b-12d3-a456-426614174000"), QString());
        QCOMPARE(found("\xc3\xa9" "001a2b3c4d5e 001a2b3c4d5e\xc3\xa9 _001a2b3c4d5e"), QString());
        QCOMPARE(found("(00:1a:2b:3c:4d:5e)[001a2b3c4d5e]{001a.2b3c.4d5e}<001a-2b3c-4d5e>'00-1a-2b-3c-4d-5e'"),
                 QString("00:1A:2B:3C:4D:5E 00:1A:2B:3C:4D:5E 00:1A:2B:3C:4D:5E 00:1A:2B:3C:4D:5E 00:1A:2B:3C:4D:5E"));
    }

    // Each corpus file NAME.txt has NAME.expected: "LINE ADDRESS" for every
    // address, in order. Lines are items as zorvane-db reads them from stdin.
    void corpus() {
        const QDir dir(qEnvironmentVariable("ZORVANE_SOURCE_DIR") + "/tests/addresses/corpus");
        const QStringList files = dir.entryList({"*.txt"}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 8);
        std::vector<Found> out;
        for (const QString& name : files) {
            QFile text(dir.filePath(name)), expected(dir.filePath(QString(name).replace(".txt", ".expected")));
            QVERIFY(text.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
            QStringList got;
            int number = 0;
            for (const QByteArray& line : text.readAll().split('\n')) {
                ++number;
                readItem(std::string_view(line.constData(), std::size_t(line.size())), out);
                for (const Found& f : out)
                    got << QString::number(number) + " " + QString::fromStdString(addressText(f.address));
            }
            const QStringList want = QString::fromUtf8(expected.readAll()).split('\n', Qt::SkipEmptyParts);
            QVERIFY(!want.isEmpty());
            QCOMPARE(got.join('\n') + " (" + name + ")", want.join('\n') + " (" + name + ")");
        }
    }

    // Addresses of every notation planted between words that look like
    // addresses and are not: each planted one found once, in order, at its
    // place, and nothing else.
    void plantedModel() {
        QRandomGenerator rng(2612);
        const auto hex = [&](std::uint64_t v, int digits, bool upper) {
            QString s = QString::number(v, 16).rightJustified(digits, '0');
            return upper ? s.toUpper() : s;
        };
        // A token for the address of `octets` octets with value `v`, in notation `form`.
        const auto notation = [&](std::uint64_t v, int octets, int form, bool upper) {
            const int digits = 2 * octets;
            const QString all = hex(v, digits, upper);
            QStringList groups;
            switch (form) {
            case 0: case 1: case 2:  // octets by ':' or '-', short ones without their leading zero
                for (int i = 0; i < digits; i += 2) {
                    QString g = all.mid(i, 2);
                    if (form == 2 && g.startsWith('0'))
                        g = g.mid(1);
                    groups << g;
                }
                return groups.join(form == 1 ? '-' : ':');
            case 3: case 4:  // groups of four by '.' or '-'
                for (int i = 0; i < digits; i += 4)
                    groups << all.mid(i, 4);
                return groups.join(form == 3 ? '.' : '-');
            case 5: case 6:  // halves
                return all.left(octets) + (form == 5 ? ":" : "-") + all.mid(octets);
            default:
                return all;
            }
        };
        const QStringList traps = {
            "decade", "cafe01", "04:21:00", "12:34:56.789", "10.0.0.5", "fe80::1a:2b:3c:4d:5e:6f",
            "fe80::3e22:fbff:fe11:2233", "123e4567-e89b-12d3-a456-426614174000", "00:1a:2b:3c:4d:5e:ff",
            "001a2b3c4d5e6", "Apple_11:22:33", "0x001a2b3c4d5e", "g01a2b3c4d5e", "00:1a:2b:3c:4d:5g",
            "2026-12-07", "1733545260", "001a:2b3c:4d5e", "host", "eth0", "lladdr", "\xc3\x84" "001a2b3c4d5e",
            "01:3c:22:fb:11:22:33", "0000:00:1f.6", "dev", "REACHABLE", "Gi1/0/1", "00:1a:2b", "001a.2b3c",
            "1a:2b:3c:4d:5e:6f::1", "ab:00:1a:2b:3c:4d:5e", "3c:22:fb:11:22:33-gw", "SHA256:aa:bb:cc:dd:ee:ff:00:11:22:33:44:55:66:77:88:99",
        };
        const QStringList gaps = {" ", "\t", ", ", "; ", " = ", " (", ") ", " [", "] ", " \"", "\" ", " '", "' ", " <", "> "};
        const QStringList labels = {"", "", "", "mac=", "HWaddr ", "lladdr:", "MAC:", "ether "};
        const QStringList ends = {"", "", "", ".", ";", ":", ","};
        int planted = 0, forms[2][8] = {};
        for (int lineNo = 0; lineNo < 3000; ++lineNo) {
            QByteArray line;
            std::vector<Found> want;
            const int tokens = 1 + int(rng.bounded(12));
            for (int t = 0; t < tokens; ++t) {
                if (t)
                    line += gaps[int(rng.bounded(gaps.size()))].toUtf8();
                if (rng.bounded(3) != 0) {
                    line += traps[int(rng.bounded(traps.size()))].toUtf8();
                    continue;
                }
                const bool eight = rng.bounded(4) == 0;
                const int octets = eight ? 8 : 6, form = int(rng.bounded(8));
                const std::uint64_t v = eight ? rng.generate64() : rng.generate64() & 0xFFFFFFFFFFFFull;
                line += labels[int(rng.bounded(labels.size()))].toUtf8();
                const QByteArray token = notation(v, octets, form, rng.bounded(2)).toLatin1();
                want.push_back({std::size_t(line.size()), std::size_t(token.size()), {v, 2 * octets}});
                line += token + ends[int(rng.bounded(ends.size()))].toUtf8();
                ++planted, ++forms[eight][form];
            }
            std::vector<Found> got;
            findAddresses(std::string_view(line.constData(), std::size_t(line.size())), got);
            bool same = got.size() == want.size();
            for (std::size_t i = 0; same && i < got.size(); ++i)
                same = got[i].offset == want[i].offset && got[i].length == want[i].length &&
                       got[i].address == want[i].address;
            QVERIFY2(same, line.constData());
        }
        for (const auto& byForm : forms)
            for (const int count : byForm)
                QVERIFY(count > 30);  // every notation of both sizes planted many times
        QVERIFY(planted > 5000);
    }

    // The names of addresses no vendor holds, and the flags.
    void names_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("flags");
        const struct {
            const char* address;
            const char* kind;
            const char* flags;
        } cases[] = {
            {"ff:ff:ff:ff:ff:ff", "broadcast", "multicast local broadcast"},
            {"00:00:00:00:00:00", "null address", ""},
            {"00:00:00:00:00:00:00:00", "null address", ""},
            {"01:00:5e:00:00:fb", "IPv4 multicast 224.0.0.251 (one of 32 groups)", "multicast"},
            {"01:00:5e:7f:ff:fa", "IPv4 multicast 224.127.255.250 (one of 32 groups)", "multicast"},
            {"01:00:5e:80:00:01", "MPLS multicast (IANA)", "multicast"},
            {"01-00-5E", "IPv4 multicast", "multicast"},
            {"33:33:00:00:00:fb", "IPv6 multicast ff02::fb", "multicast local"},
            {"33:33:00:01:00:03", "IPv6 multicast ff02::1:3", "multicast local"},
            {"33:33:ff:11:22:33", "IPv6 multicast ff02::1:ff11:2233 (solicited-node)", "multicast local"},
            {"01:80:c2:00:00:00", "IEEE 802.1 bridge group (spanning tree)", "multicast"},
            {"01:80:c2:00:00:01", "IEEE 802.3 PAUSE (MAC control)", "multicast"},
            {"01:80:c2:00:00:02", "IEEE 802.3 slow protocols (LACP, marker, OAM)", "multicast"},
            {"01:80:c2:00:00:03", "IEEE 802.1 nearest non-TPMR bridge (802.1X PAE, LLDP)", "multicast"},
            {"01:80:c2:00:00:05", "IEEE 802.1 reserved group 01-80-C2-00-00-05", "multicast"},
            {"01:80:c2:00:00:0e", "IEEE 802.1 nearest bridge (LLDP, PTP)", "multicast"},
            {"01:80:c2:00:00:0f", "IEEE 802.1 reserved group 01-80-C2-00-00-0F", "multicast"},
            {"01:80:c2:00:00:10", "", "multicast"},
            {"01:80:c2:00:00:20", "IEEE 802.1 MMRP (GARP/MRP)", "multicast"},
            {"01:80:c2:00:00:21", "IEEE 802.1 MVRP (GVRP)", "multicast"},
            {"01:80:c2:00:00:2f", "IEEE 802.1 GARP/MRP application 01-80-C2-00-00-2F", "multicast"},
            {"01:80:c2:00:00:30", "", "multicast"},
            {"00:00:5e:00:01:07", "VRRP virtual router 7 (IPv4)", ""},
            {"00:00:5e:00:02:ff", "VRRP virtual router 255 (IPv6)", ""},
            {"00:00:5e:00:03:01", "", ""},
            {"02:00:00:00:00:01", "locally administered (AAI)", "local"},
            {"0a:e6:2a:00:00:01", "locally administered (ELI)", "local"},
            {"da:a1:19:12:34:56", "locally administered (ELI)", "local"},
            {"0e:00:00:00:00:01", "locally administered (SAI)", "local"},
            {"06:00:00:00:00:01", "locally administered (reserved quadrant)", "local"},
            {"03:00:00:00:00:01", "locally administered (AAI)", "multicast local"},
            {"02:00:5e:00:01:07", "locally administered (AAI)", "local"},
            {"00:1a:2b:3c:4d:5e", "", ""},
            {"01:1a:2b:3c:4d:5e", "", "multicast"},
            {"ff:ff:ff:ff:ff:ff:ff:ff", "locally administered (SAI)", "multicast local"},
        };
        for (const auto& c : cases)
            QTest::newRow(c.address) << QString(c.address) << QString(c.kind) << QString(c.flags);
    }
    void names() {
        QFETCH(QString, address);
        QFETCH(QString, kind);
        QFETCH(QString, flags);
        const auto a = readAddress(address.toStdString(), true);
        QVERIFY(a);
        QCOMPARE(QString::fromStdString(kindOf(*a)), kind);
        QCOMPARE(QString::fromUtf8(flagWords(flagsOf(*a))), flags);
    }

    // The index against a plain model: thousands of codes of 6, 7 and 9
    // digits (many longer ones under few parents, as the registries have
    // them), and addresses under them and elsewhere: the longest code that
    // begins each address, or none.
    void vendorIndexModel() {
        QRandomGenerator rng(4242);
        VendorIndex index;
        std::map<std::pair<int, std::uint64_t>, int> model;  // (length, digits) -> vendor number
        std::vector<std::uint64_t> parents;
        for (int i = 0; i < 200; ++i)
            parents.push_back(rng.generate64() & 0xFFFFFF);
        for (int i = 0; i < 30000; ++i) {
            const int length = i % 3 == 0 ? 6 : i % 3 == 1 ? 7 : 9;
            const std::uint64_t parent = length == 6 ? rng.generate64() & 0xFFFFFF : parents[rng.bounded(200)];
            const std::uint64_t digits = length == 6 ? parent : parent << 4 * (length - 6) | (rng.generate64() & ((1ull << 4 * (length - 6)) - 1));
            const Address code{digits, length};
            if (model.emplace(std::pair(length, digits), i).second)
                index.add(VendorIndex::key(code, length), Vendor{std::to_string(i), {}, {}, "x"});
        }
        int matched = 0;
        for (int i = 0; i < 60000; ++i) {
            std::uint64_t value = rng.generate64() & 0xFFFFFFFFFFFFull;
            if (i % 2)  // under a parent of longer codes
                value = parents[rng.bounded(200)] << 24 | (value & 0xFFFFFF);
            const Address a{value, 12};
            int want = -1;
            for (const int length : {9, 7, 6}) {
                const auto it = model.find({length, a.first(length)});
                if (it != model.end()) {
                    want = it->second;
                    break;
                }
            }
            const Vendor* got = index.find(a);
            QCOMPARE(got ? std::stoi(got->code) : -1, want);
            matched += want >= 0;
        }
        QVERIFY(matched > 20000);
    }
};

QTEST_GUILESS_MAIN(AddressTextTest)
#include "tst_addresstext.moc"
