#include "lookup/SearchRule.h"
#include "lookup/SearchTerm.h"

#include <QtTest>

using zorvane::lookup::SearchTerm;

class TstSearchTerm : public QObject {
    Q_OBJECT
private slots:
    void matching_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("match");
        QTest::addColumn<int>("pos");
        QTest::newRow("contains, any case") << "00-00-0C" << "xx00-00-0cyy" << true << 3;
        QTest::newRow("starts") << "00-A0*" << "00-a0-c9" << true << 1;
        QTest::newRow("starts, later only") << "00-A0*" << "11-00-A0" << false << 4;
        QTest::newRow("ends") << "*0C" << "00-00-0C" << true << 7;
        // Judged by the first occurrence only.
        QTest::newRow("ends, earlier occurrence") << "*0C" << "0C-00-0C" << false << 1;
        QTest::newRow("inside") << "*SYSTEMS*" << "ABC SYSTEMS INC" << true << 5;
        QTest::newRow("inside, at start") << "*SYSTEMS*" << "SYSTEMS INC" << false << 1;
        QTest::newRow("inside, at end") << "*SYSTEMS*" << "ABC SYSTEMS" << false << 5;
        QTest::newRow("inside, first at start") << "*SYSTEMS*" << "SYSTEMS AND SYSTEMS CO" << false << 1;
        QTest::newRow("two stars") << "**" << "ANYTHING" << false << 1;
        QTest::newRow("one star") << "*" << "ANYTHING" << false << 1;
        QTest::newRow("star is a character") << "A*B" << "XA*BY" << true << 2;
        QTest::newRow("star is no wildcard") << "A*B" << "AXB" << false << 0;
        QTest::newRow("leading space") << " NET" << "FOO NET LTD" << true << 4;
        QTest::newRow("letters beyond ASCII") << "müller" << "Hans MÜLLER AG" << true << 6;
        QTest::newRow("no folding besides case") << "strasse" << "STRAßE" << false << 0;
    }
    void matching()
    {
        QFETCH(QString, term);
        QFETCH(QString, value);
        QFETCH(bool, match);
        QFETCH(int, pos);
        SearchTerm t(term);
        qint32 intPos = -7;
        QCOMPARE(t.matches(value, intPos), match);
        QCOMPARE(intPos, pos);
        // zorvane-db search's rule, without Qt, decides alike.
        zorvane::lookup::SearchRule rule(term.toStdU16String());
        std::int32_t rulePos = -7;
        QCOMPARE(rule.matches(value.toStdU16String(), rulePos), match);
        QCOMPARE(rulePos, pos);
        QCOMPARE(rule.kind(), t.kind());
    }

    // The upper case both share is Qt's, unit by unit, over the whole Basic
    // Multilingual Plane: the window compares as it always has.
    void upperCaseIsQts()
    {
        int differ = 0;
        QString first;
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            const char16_t unit = char16_t(c);
            if (zorvane::lookup::upperChar(unit) != QChar(unit).toUpper().unicode() && differ++ == 0)
                first = QString::number(c, 16);
        }
        QVERIFY2(differ == 0, qPrintable(QString("%1 units differ, the first U+%2").arg(differ).arg(first)));
    }

    void nullNeverMatches()
    {
        for (const char* term : {"A", "*", "A*", "*A", "*A*"}) {
            SearchTerm t(QString::fromLatin1(term));
            qint32 intPos = 5;
            QVERIFY(!t.matches(std::nullopt, intPos));
            QCOMPARE(intPos, 0);
        }
    }

    void upperCaseKeepsLength()
    {
        // One character for one, so positions stay those of the value.
        QCOMPARE(zorvane::lookup::upperCase(u"straße"), QStringLiteral("STRAßE"));
        QCOMPARE(zorvane::lookup::upperCase(u"a-z é"), QStringLiteral("A-Z É"));
    }
};

QTEST_APPLESS_MAIN(TstSearchTerm)
#include "tst_searchterm.moc"
