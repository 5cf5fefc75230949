#pragma once
#include "browser/WebBrowser.h"

#include <QSet>
#include <QStringList>
#include <QWidget>

namespace zorvane::test {

// A browser that loads nothing: it records what the window asks of it, reports
// the state a test gives it, and fails the operations a test names.
class ScriptedBrowser : public WebBrowser {
public:
    explicit ScriptedBrowser(QWidget* host) : WebBrowser(host), m_widget(new QWidget(host)) {}

    QStringList calls;        // "Navigate <address>", "GoBack", ...
    QSet<QString> failing;    // names of operations that raise an error
    bool busy = false;
    QString locationName = QStringLiteral("Listing");
    QString locationURL = QStringLiteral("http://standards.ieee.org/regauth/oui/oui.txt");

    QWidget* widget() override { return m_widget; }
    void Navigate(const QString& address) override { run("Navigate", address); }
    void GoBack() override { run("GoBack"); }
    void GoForward() override { run("GoForward"); }
    void GoHome() override { run("GoHome"); }
    void GoSearch() override { run("GoSearch"); }
    void Refresh() override { run("Refresh"); }
    void Stop() override { run("Stop"); }
    bool Busy() const override { return check("Busy"), busy; }
    QString LocationName() const override { return check("LocationName"), locationName; }
    QString LocationURL() const override { return check("LocationURL"), locationURL; }

    // The browser reaches `url`, named `name`, and reports it as the real one does.
    void reach(const QString& url, const QString& name)
    {
        locationURL = url;
        locationName = name;
        busy = false;
        emit NavigateComplete2(url);
        emit DownloadComplete();
    }

    // The load of `url` fails, as the real one reports it; nothing is reached.
    void failLoad(const QString& url)
    {
        busy = false;
        emit LoadFailed(url);
        emit DownloadComplete();
    }

private:
    void check(const QString& op) const
    {
        if (failing.contains(op)) throw BrowserError(op.toStdString() + " failed");
    }
    void run(const QString& op, const QString& argument = QString())
    {
        calls << (argument.isNull() ? op : op + ' ' + argument);
        check(op);
    }

    QWidget* m_widget;
};

} // namespace zorvane::test
