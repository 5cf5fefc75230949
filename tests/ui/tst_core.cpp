#include "tests/support/ScriptedMessageBoxes.h"
#include "ui/AppInfo.h"
#include "ui/MessageBox.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QtTest>

using namespace zorvane;

class TstCore : public QObject {
    Q_OBJECT
private slots:
    void twipsRoundToPixels()
    {
        QCOMPARE(twips(15), 1);
        QCOMPARE(twips(3840), 256);
        QCOMPARE(twips(120), 8);
        QCOMPARE(twips(7), 0);   // under half a pixel
        QCOMPARE(twips(8), 1);   // over half a pixel
        QCOMPARE(twips(-100), -7);
        QCOMPARE(twipRect(120, 360, 2175, 315), QRect(8, 24, 145, 21));
    }
    void versionLineShowsEveryNumber()
    {
        QCOMPARE(AppInfo::versionLine(), QStringLiteral("Version 2.6.0"));
        QCOMPARE(AppInfo::title(), QStringLiteral("Zorvane"));
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
};

QTEST_MAIN(TstCore)
#include "tst_core.moc"
