#include "app/frmSplash.h"
#include "ui/AppInfo.h"
#include "ui/Pictures.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(zorvane::AppInfo::title());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(zorvane::AppInfo::Major)
                                            .arg(zorvane::AppInfo::Minor)
                                            .arg(zorvane::AppInfo::Revision));
    QGuiApplication::setDesktopFileName(QStringLiteral("zorvane"));
    QApplication::setWindowIcon(zorvane::Pictures::programIcon());

    // The splash window is the first window; it hands over to the lookup window.
    auto* splash = new frmSplash();
    splash->show();
    splash->activateWindow();
    return app.exec();
}
