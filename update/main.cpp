// zorvane-update [--url BASE] [--database FILE]: the "Update Vendor List"
// window, which zorvane-launch --update (the menu entry's action) starts. It
// brings the user's database ($XDG_DATA_HOME/zorvane/oui.mdb) up to date with
// the IEEE listing fetched into the download folder; the report of changes
// goes beside the database (changes.csv).
#include "listing/ListingFolders.h"
#include "ui/Pictures.h"
#include "update/UpdateWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zorvane"));
    QApplication::setWindowIcon(zorvane::Pictures::programIcon());
    zorvane::update::UpdateOptions options;
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    options.database = data + QStringLiteral("/zorvane/oui.mdb");
    options.download.folder = zorvane::listing::downloadFolder();
    const QStringList arguments = QApplication::arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--url") && i + 1 < arguments.size()) {
            options.download.site = arguments[++i];
        } else if (arguments[i] == QLatin1String("--database") && i + 1 < arguments.size()) {
            options.database = arguments[++i];
        } else {
            std::fprintf(stderr, "zorvane-update: %s: unknown argument (usage: zorvane-update [--url BASE] [--database FILE])\n",
                         arguments[i].toLocal8Bit().constData());
            return 1;
        }
    }
    options.report = QFileInfo(options.database).dir().filePath(QStringLiteral("changes.csv"));
    zorvane::update::UpdateWindow window(options);
    window.show();
    return app.exec();
}
