#include "browser/WebEngineBrowser.h"

#include <QWebEngineHistory>
#include <QWebEngineHistoryItem>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace zorvane {

WebEngineBrowser::WebEngineBrowser(const QUrl& homePage, const QUrl& searchPage, QWidget* host)
    : WebBrowser(host), m_homePage(homePage), m_searchPage(searchPage),
      m_view(new QWebEngineView(host))
{
    connect(m_view->page(), &QWebEnginePage::loadingChanged, this,
            &WebEngineBrowser::loadingChanged);
}

QWidget* WebEngineBrowser::widget() { return m_view; }

void WebEngineBrowser::load(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        throw BrowserError("There is no address to go to.");
    if (!url.hasFragment() || !withinPage(url))
        startRequest();
    m_view->setUrl(url);
}

// A jump to another place of the page on display loads nothing.
bool WebEngineBrowser::withinPage(const QUrl& url) const
{
    const QUrl here = m_view->url();
    return !here.isEmpty() && url != here
        && url.adjusted(QUrl::RemoveFragment) == here.adjusted(QUrl::RemoveFragment);
}

void WebEngineBrowser::Navigate(const QString& address)
{
    // What a user types may lack the scheme ("standards.ieee.org/...").
    load(QUrl::fromUserInput(address.trimmed()));
}

void WebEngineBrowser::GoBack()
{
    if (!m_view->history()->canGoBack())
        throw BrowserError("There is no page to go back to.");
    if (!withinPage(m_view->history()->backItem().url()))
        startRequest();
    m_view->back();
}

void WebEngineBrowser::GoForward()
{
    if (!m_view->history()->canGoForward())
        throw BrowserError("There is no page to go forward to.");
    if (!withinPage(m_view->history()->forwardItem().url()))
        startRequest();
    m_view->forward();
}

void WebEngineBrowser::GoHome() { load(m_homePage); }

void WebEngineBrowser::GoSearch() { load(m_searchPage); }

void WebEngineBrowser::Refresh()
{
    if (m_view->url().isEmpty())
        throw BrowserError("There is no page to refresh.");
    startRequest();
    m_view->reload();
}

void WebEngineBrowser::Stop()
{
    m_requested = QDeadlineTimer();
    m_view->stop();
}

void WebEngineBrowser::startRequest() { m_requested.setRemainingTime(RequestGrace); }

bool WebEngineBrowser::Busy() const
{
    // A load reports its start a moment after it is asked for; until then the
    // request alone counts as busy, but not for ever: a request that starts no
    // load (a script address) lapses. A jump within the page is no request.
    return m_view->page()->isLoading() || !m_requested.hasExpired();
}

QString WebEngineBrowser::LocationName() const
{
    // A page without a title of its own (a plain-text file) goes by its address.
    const QString title = m_view->title();
    return title.isEmpty() ? LocationURL() : title;
}

QString WebEngineBrowser::LocationURL() const
{
    // The page on display: the view's own address runs ahead to a load that
    // has not arrived, and stays there when that load is stopped or fails.
    const QWebEngineHistoryItem shown = m_view->history()->currentItem();
    return (shown.isValid() ? shown.url() : m_view->url()).toString();
}

void WebEngineBrowser::loadingChanged(const QWebEngineLoadingInfo& info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        m_requested = QDeadlineTimer();
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        emit NavigateComplete2(LocationURL());
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        emit LoadFailed(info.url().toString());
        break;
    }
    emit DownloadComplete();
}

} // namespace zorvane
