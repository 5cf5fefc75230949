#pragma once
#include "browser/WebBrowser.h"

#include <QDeadlineTimer>
#include <QUrl>

class QWebEngineView;
class QWebEngineLoadingInfo;

namespace zorvane {

// The embedded browser over Qt WebEngine. Its home page and search page are
// given when it is made; pages are kept in an off-the-record profile, so
// nothing of a session is written to disk.
class WebEngineBrowser : public WebBrowser {
    Q_OBJECT
public:
    WebEngineBrowser(const QUrl& homePage, const QUrl& searchPage, QWidget* host);

    QWidget* widget() override;
    QWebEngineView* view() const { return m_view; }

    void Navigate(const QString& address) override;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    void GoSearch() override;
    void Refresh() override;
    void Stop() override;

    bool Busy() const override;
    QString LocationName() const override;
    QString LocationURL() const override;

private:
    void load(const QUrl& url);
    void startRequest();
    bool withinPage(const QUrl& url) const;
    void loadingChanged(const QWebEngineLoadingInfo& info);

    QUrl m_homePage;
    QUrl m_searchPage;
    QWebEngineView* m_view;
    // How long a request counts as busy before its load reports its start.
    static constexpr int RequestGrace = 2000;   // ms
    QDeadlineTimer m_requested;   // expired: no request waiting for its load to start
};

} // namespace zorvane
