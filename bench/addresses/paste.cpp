// bench_addresses_paste DATABASE TEXT [SCREENSHOT.png]: opens the Addresses
// window over DATABASE, puts TEXT on the clipboard and presses Ctrl+V in the
// text pane; prints "SECONDS_PASTED SECONDS_FILLED LONGEST_STALL_MS ROWS":
// the time the paste itself took, the time until the table showed every
// address of the text (the window's pause after a change included), and the
// longest gap between the ticks of a 5 ms timer meanwhile (how long the
// window did not answer). With SCREENSHOT.png the window is then saved with
// ImageMagick's import (run it under xvfb-run).
#include "addresswindow/AddressTableModel.h"
#include "addresswindow/frmAddresses.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fputs("usage: bench_addresses_paste DATABASE TEXT [SCREENSHOT.png]\n", stderr);
        return 2;
    }
    QFile file(args[2]);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QString text = QString::fromUtf8(file.readAll());
    zorvane::addresswindow::frmAddresses window(args[1]);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(300);
    auto* pane = window.findChild<QPlainTextEdit*>(QStringLiteral("txtInput"));
    QApplication::clipboard()->setText(text);
    const std::string wanted = text.toStdString();

    QElapsedTimer clock, sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
    });
    ticks.start();
    clock.start();
    sinceTick.start();
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_V, Qt::ControlModifier);
    const double pasted = double(clock.nsecsElapsed()) / 1e9;
    longest = std::max(longest, sinceTick.restart());
    const auto filled = [&] { return window.table().scan() && *window.table().scan()->text == wanted; };
    while (!filled() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double full = double(clock.nsecsElapsed()) / 1e9;
    ticks.stop();
    std::printf("%.3f %.3f %lld %d\n", pasted, full, static_cast<long long>(longest), window.table().rowCount());
    std::fflush(stdout);
    if (args.size() > 3) {
        QTest::qWait(500);
        const qreal scale = window.devicePixelRatioF();
        const QRect g = window.frameGeometry();
        const QRect r(QPointF(g.topLeft()) .toPoint() * scale, g.size() * scale);
        QProcess::execute(QStringLiteral("import"),
                          {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                           QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()), args[3]});
    }
    return filled() ? 0 : 1;
}
