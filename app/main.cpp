#include "app/AppInfo.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(zorvane::AppInfo::title());
    QWidget window;
    window.setWindowTitle(zorvane::AppInfo::title());
    window.show();
    return app.exec();
}
