#include "tests/support/ScriptedMessageBoxes.h"
#include "ui/MessageBox.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QTimer>
#include <QtTest>

using namespace zorvane;

class TstCore : public QObject {
    Q_OBJECT
private slots:
    void twipsRoundToPixels()
    {
        // 15 twips a pixel; under half a pixel rounds down, over it up.
        for (auto [given, pixels] : {std::pair{15, 1}, {7, 0}, {8, 1}, {-100, -7}})
            QCOMPARE(twips(given), pixels);
        QCOMPARE(twipRect(120, 360, 2175, 315), QRect(8, 24, 145, 21));
    }
    void boxesGoThroughTheInstalledInterface()
    {
        test::ScriptedMessageBoxes boxes;
        boxes.answer(MsgResult::Yes);
        QCOMPARE(msgBox(nullptr, "Are You Sure?", MsgButtons::YesNo, MsgIcon::None, "End Program?"),
                 MsgResult::Yes);
        QCOMPARE(msgBox(nullptr, "a\rb"), MsgResult::Ok);   // script empty: OK, counted
        QCOMPARE(boxes.asked.size(), 2);
        QCOMPARE(boxes.asked[0].title, QStringLiteral("End Program?"));
        QCOMPARE(boxes.asked[1].title, QStringLiteral("Zorvane"));   // no title given
        QCOMPARE(boxes.asked[1].text, QStringLiteral("a\rb"));
        QCOMPARE(boxes.unexpected, 1);
    }
    // The real box is wide enough for its title, however short its text.
    void realBoxesFitTheirTitles()
    {
        for (const char* title : {"Record Already Exists", "Search Results Exist"}) {
            int width = 0, needed = 0;
            QTimer::singleShot(0, [&] {
                QWidget* box = QApplication::activeModalWidget();
                QVERIFY(box && box->windowTitle() == QLatin1String(title));
                QFont bold = box->font();
                bold.setBold(true);
                needed = QFontMetrics(bold).horizontalAdvance(box->windowTitle());
                width = box->width();
                QTest::keyClick(box, Qt::Key_Escape);
            });
            msgBox(nullptr, "No", MsgButtons::YesNo, MsgIcon::None, title);
            QVERIFY2(width >= needed + 96, title);
        }
    }
};

QTEST_MAIN(TstCore)
#include "tst_core.moc"
