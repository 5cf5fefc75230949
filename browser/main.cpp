// zorvane-listing: the listing browser window on its own. No window of the
// lookup program opens it; this small program does.
#include "browser/frmBrowser.h"
#include "ui/CommandLine.h"
#include "ui/Pictures.h"

#include <QApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    const int answered = zorvane::answerHelpOrVersion(
        argc, argv, "zorvane-listing",
        "usage: zorvane-listing\n"
        "A browser window on the IEEE public listing of Ethernet vendor codes.\n");
    if (answered >= 0)
        return answered;
    // Chromium cannot set up its sandbox for the root user and refuses to start
    // with it there; only then do pages run without one.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("zorvane-listing: running as root, so pages run without Chromium's sandbox\n",
                   stderr);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Its own name (the window class) and desktop entry, so that desktops
    // tell its window from the lookup program's and give it its icon.
    QApplication::setApplicationName(QStringLiteral("zorvane-listing"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zorvane-listing"));
    QApplication::setWindowIcon(zorvane::Pictures::listingIcon());

    zorvane::frmBrowser frmBrowser;
    frmBrowser.Form_Load();
    return app.exec();
}
