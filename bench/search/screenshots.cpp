// lookup_screenshots FILE OUTDIR: shows the lookup window over FILE on the
// display in use (run it under xvfb-run) and saves, with ImageMagick's import,
// the window as loaded, during a search (taken while the walk runs), after a
// search, after a choice in the list (with the list dropped down) and in edit
// mode: OUTDIR/lookup-*.png; and the about window beside it: OUTDIR/about.png.
#include "about/Registry.h"
#include "about/frmAbout.h"
#include "lookup/frmMain.h"
#include "tests/support/ScriptedMessageBoxes.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

bool grabRect(const QRect& r, const QString& file)
{
    QCoreApplication::processEvents();
    QTest::qWait(300);
    return QProcess::execute(QStringLiteral("import"),
                             {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                              QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()),
                              file})
        == 0;
}

bool grab(const QWidget& window, const QString& file) { return grabRect(window.frameGeometry(), file); }

// The greatest height the window takes while it is watched.
class TallestHeight : public QObject {
public:
    int height = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            height = std::max(height, static_cast<QWidget*>(watched)->height());
        return false;
    }
};

void type(QComboBox* box, const QString& text)
{
    box->setFocus();
    QTest::keyClicks(box, text);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lookup_screenshots FILE OUTDIR\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    zorvane::test::ScriptedMessageBoxes boxes;
    frmMain window(file);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto* code = window.findChild<QComboBox*>(QStringLiteral("cmbCode"));
    auto* vendor = window.findChild<QComboBox*>(QStringLiteral("cmbVendor"));
    auto* clear = window.findChild<QPushButton*>(QStringLiteral("cmdClear"));
    bool ok = grab(window, out.filePath(QStringLiteral("lookup-loaded.png")));

    // A search over every record, timed once, then again with a shot taken a
    // third of the way through.
    type(code, QStringLiteral("-"));
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(code, Qt::Key_Return);
    const qint64 walkMs = clock.elapsed();
    QTest::mouseClick(clear, Qt::LeftButton);
    type(code, QStringLiteral("-"));
    QTest::qWait(300);
    // The whole screen is taken while the walk runs and cut to the window's
    // height during the walk afterwards.
    const QString screen = out.filePath(QStringLiteral("lookup-searching-screen.png"));
    const QString during = out.filePath(QStringLiteral("lookup-searching.png"));
    TallestHeight tallest;
    window.installEventFilter(&tallest);
    std::thread shooter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(walkMs / 8));
        const QByteArray command =
            QStringLiteral("import -window root '%1'").arg(screen).toLocal8Bit();
        ok = std::system(command.constData()) == 0 && ok;
    });
    QTest::keyClick(code, Qt::Key_Return);
    shooter.join();
    window.removeEventFilter(&tallest);
    QRect frame = window.frameGeometry();
    frame.setHeight(frame.height() - window.height() + tallest.height);
    ok = QProcess::execute(QStringLiteral("convert"),
                           {screen, QStringLiteral("-crop"),
                            QStringLiteral("%1x%2+%3+%4")
                                .arg(frame.width()).arg(frame.height()).arg(frame.x()).arg(frame.y()),
                            QStringLiteral("+repage"), during})
            == 0
        && ok;
    QFile::remove(screen);
    std::printf("walk over every record: %lld ms; shot at %lld ms\n",
                static_cast<long long>(walkMs), static_cast<long long>(walkMs / 8));

    QTest::mouseClick(clear, Qt::LeftButton);
    type(vendor, QStringLiteral("cisco"));
    QTest::keyClick(vendor, Qt::Key_Return);
    ok = grab(window, out.filePath(QStringLiteral("lookup-results.png"))) && ok;

    // A code chosen, then its list dropped down: as wide as its entries.
    code->setFocus();
    QTest::keyClick(code, Qt::Key_Down);
    code->showPopup();
    QTest::qWait(300);
    QWidget* list = code->view()->window();
    const QRect both = window.frameGeometry().united(list->frameGeometry());
    ok = grabRect(both, out.filePath(QStringLiteral("lookup-chosen.png"))) && ok;
    code->hidePopup();

    // Edit mode over the chosen vendor.
    window.findChild<QAction*>(QStringLiteral("mnuAdd"))->trigger();
    ok = grab(window, out.filePath(QStringLiteral("lookup-edit.png"))) && ok;
    // Out of edit mode again, with the about window beside it after System
    // Info (which names the program it found; nothing is started here).
    window.findChild<QAction*>(QStringLiteral("mnuAdd"))->trigger();
    struct NoStart final : zorvane::ProgramLauncher {
        void start(const QString&) override {}
    } noStart;
    zorvane::ProgramLauncher::install(&noStart);
    frmAbout* about = frmAbout::showInstance();
    about->move(window.frameGeometry().right() + 24, window.y());
    QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
    ok = grabRect(window.frameGeometry().united(about->frameGeometry()), out.filePath(QStringLiteral("about.png")))
        && ok;
    zorvane::ProgramLauncher::install(nullptr);

    if (!boxes.asked.isEmpty())
        std::printf("unexpected message box: %s\n", qPrintable(boxes.asked[0].text));
    return ok && boxes.asked.isEmpty() ? 0 : 1;
}
