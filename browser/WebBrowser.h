#pragma once
#include <QObject>
#include <QString>
#include <stdexcept>

class QWidget;

namespace zorvane {

// Raised by a browser operation that cannot be carried out, for instance going
// back when there is no page to go back to. The window passes over it.
class BrowserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The embedded web browser as the listing window sees it: a handful of
// operations and properties, and two events. The window is written against
// this alone, so it runs over Qt WebEngine in the program and over a scripted
// browser in the tests of its logic.
class WebBrowser : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~WebBrowser() override = default;

    // The widget that shows the pages; it is a child of the window.
    virtual QWidget* widget() = 0;

    virtual void Navigate(const QString& address) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void GoHome() = 0;
    virtual void GoSearch() = 0;
    virtual void Refresh() = 0;
    virtual void Stop() = 0;

    // True while a page is loading.
    virtual bool Busy() const = 0;
    // The display name of what is shown (a web page's title).
    virtual QString LocationName() const = 0;
    // The address of what is shown.
    virtual QString LocationURL() const = 0;

signals:
    // A load has ended: finished, stopped or failed.
    void DownloadComplete();
    // A page has been reached; URL is its address.
    void NavigateComplete2(const QString& URL);
    // The page at URL could not be loaded (the site unreachable, refused);
    // DownloadComplete follows.
    void LoadFailed(const QString& URL);
};

} // namespace zorvane
