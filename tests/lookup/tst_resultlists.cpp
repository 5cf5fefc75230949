#include "lookup/ResultCombo.h"
#include "tests/support/WidgetDriving.h"

#include <QLineEdit>
#include <QSignalSpy>

using zorvane::lookup::ResultCombo;
using zorvane::test::entries;

class TstResultLists : public QObject {
    Q_OBJECT

private slots:
    void entriesSortIgnoringCase()
    {
        ResultCombo box;
        for (const char* e : {"beta", "Alpha", "gamma", "ALPHA", "Beta", "alpha"})
            box.addEntry(QString::fromLatin1(e));
        // Equal ignoring case: the one added later goes after.
        QCOMPARE(entries(&box), QStringList({"Alpha", "ALPHA", "alpha", "beta", "Beta", "gamma"}));
        QVERIFY(box.hasEntry("ALPHA"));
        QVERIFY(!box.hasEntry("aLPHA"));   // whole entries compare exactly
    }

    void batchEndsInTheSameOrderAsSingleAdds()
    {
        QStringList words;
        quint32 seed = 7;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const int n = int(seed >> 16) % 500;
            words << (n % 3 ? QStringLiteral("Name %1").arg(n) : QStringLiteral("NAME %1").arg(n));
        }
        ResultCombo one, batched;
        for (int i = 0; i < 100; ++i) {   // entries present before the batch
            one.addEntry(words[i]);
            batched.addEntry(words[i]);
        }
        batched.beginBatch();
        for (int i = 100; i < words.size(); ++i) {
            one.addEntry(words[i]);
            batched.addEntry(words[i]);
        }
        QCOMPARE(batched.entryCount(), words.size());
        batched.endBatch();
        QCOMPARE(entries(&batched), entries(&one));
    }

    void programChangesKeepTheFieldAndAreNoChoice()
    {
        ResultCombo box;
        QSignalSpy chosen(&box, &QComboBox::activated);
        box.setFieldText("*0C");
        box.addEntry("00-00-0C");   // the first entry of an empty list
        box.addEntry("0C");
        QCOMPARE(box.fieldText(), QStringLiteral("*0C"));
        QCOMPARE(box.currentIndex(), -1);

        box.lineEdit()->setCursorPosition(1);
        box.removeEntries();
        QCOMPARE(box.count(), 0);
        QCOMPARE(box.fieldText(), QStringLiteral("*0C"));
        QCOMPARE(box.lineEdit()->cursorPosition(), 1);

        box.addEntry("X");
        box.clearAll();
        QCOMPARE(box.count(), 0);
        QVERIFY(box.fieldText().isEmpty());
        QVERIFY(!box.hasEntry("X"));
        QCOMPARE(chosen.count(), 0);
    }

    void leavingTheBoxIsNoChoice()
    {
        QWidget window;
        auto* box = new ResultCombo(&window);
        auto* other = new QLineEdit(&window);
        other->move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
        box->addEntry("00-00-0C");
        box->setFocus();
        box->setFieldText("00-00-0C");   // equal to an entry, as after a search for it
        QSignalSpy chosen(box, &QComboBox::activated);
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(chosen.count(), 0);
        QCOMPARE(box->currentIndex(), -1);

        // The arrow keys do choose.
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(box->fieldText(), QStringLiteral("00-00-0C"));
    }
};

QTEST_MAIN(TstResultLists)
#include "tst_resultlists.moc"
