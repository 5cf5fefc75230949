// zorvane-addresses: the Addresses window on its own.
#include "addresswindow/frmAddresses.h"
#include "ui/CommandLine.h"
#include "ui/Pictures.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const int answered = zorvane::answerHelpOrVersion(
        argc, argv, "zorvane-addresses",
        "usage: zorvane-addresses [DATABASE]\n"
        "The vendor and kind of every hardware address in a text pasted, typed, dropped or\n"
        "opened in the window. DATABASE: the vendor database to answer from (default\n"
        "$XDG_DATA_HOME/zorvane/oui.mdb, by default ~/.local/share/zorvane/oui.mdb).\n");
    if (answered >= 0)
        return answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorvane-addresses"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zorvane-addresses"));
    QApplication::setWindowIcon(zorvane::Pictures::addressesIcon());
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() > 1) {
        std::fputs("zorvane-addresses: one DATABASE at most (try zorvane-addresses --help)\n", stderr);
        return 1;
    }
    zorvane::addresswindow::frmAddresses window(arguments.value(0));
    window.show();
    return app.exec();
}
