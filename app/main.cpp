#include "app/frmSplash.h"
#include "lookup/frmMain.h"
#include "ui/AppInfo.h"
#include "ui/CommandLine.h"
#include "ui/Pictures.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    const int answered = zorvane::answerHelpOrVersion(
        argc, argv, "zorvane",
        "usage: zorvane [FILE]\n"
        "The Ethernet vendor code lookup window over the vendor database FILE\n"
        "(default: oui.mdb in the working directory), after the splash window.\n");
    if (answered >= 0)
        return answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(zorvane::AppInfo::title());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(zorvane::AppInfo::Major)
                                            .arg(zorvane::AppInfo::Minor)
                                            .arg(zorvane::AppInfo::Revision));
    QGuiApplication::setDesktopFileName(QStringLiteral("zorvane"));
    QApplication::setWindowIcon(zorvane::Pictures::programIcon());

    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.size() > 1) {
        std::fputs("zorvane: one FILE at most (try zorvane --help)\n", stderr);
        return 1;
    }
    // The splash window is the first window; it hands over to the lookup window.
    const QString file = arguments.value(0);
    auto* splash = file.isEmpty() ? new frmSplash() : new frmSplash([file] { return frmMain::load(file); });
    splash->show();
    splash->activateWindow();
    return app.exec();
}
