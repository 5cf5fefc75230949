#pragma once
#include "browser/ImageList.h"

#include <QString>
#include <QWidget>
#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QTimer;
class QToolBar;

namespace zorvane {

class WebBrowser;

// The listing browser window: a toolbar, an address box and an embedded web
// browser that opens on the registration authority's public OUI listing.
// Its title bar shows the name of the page on display, or "Working..." while
// the browser is busy.
class frmBrowser : public QWidget {
    Q_OBJECT
public:
    // The public listing, the page the window opens with and the browser's home
    // page (ZORVANE_LISTING_ADDRESS names another: a mirror, a test's server).
    static const QString ListingAddress;
    // The registration authority's public search page, the browser's search
    // page (ZORVANE_SEARCH_ADDRESS names another).
    static const QString SearchAddress;

    // Makes the embedded browser inside the window `host`.
    using BrowserFactory = std::function<WebBrowser*(QWidget* host)>;

    // Over Qt WebEngine unless another browser is given.
    explicit frmBrowser(const BrowserFactory& makeBrowser = {}, QWidget* parent = nullptr);
    ~frmBrowser() override;

    // The address the window opens with; Form_Load sets it.
    QString StartingAddress;
    // True only while the address list is rewritten after a navigation.
    bool blnDontNavigate = false;

    QToolBar* tbToolBar;
    QWidget* picAddress;
    QLabel* lblAddress;
    QComboBox* cboAddress;
    WebBrowser* brwWebBrowser;
    QTimer* timTimer;
    ImageList imlIcons;
    // One line over the page when the listing could not be reached and the
    // local copy is shown instead: that it is the local copy, and its date.
    QLabel* lblLocalCopy;

    // The toolbar button with this key ("Back" ... "Search"), or nullptr.
    QAction* toolbarButton(const QString& key) const;

public slots:
    // Shows the window and starts loading StartingAddress.
    void Form_Load();
    void Form_Resize();
    void cboAddress_Click();
    void cboAddress_KeyPress(qint16 KeyAscii);
    void timTimer_Timer();
    void tbToolBar_ButtonClick(QAction* Button);
    void brwWebBrowser_DownloadComplete();
    void brwWebBrowser_NavigateComplete2(const QString& URL);
    void brwWebBrowser_LoadFailed(const QString& URL);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls(const BrowserFactory& makeBrowser);
    // Lists the browser's location once, at the top, and shows it in the box.
    void showAddressReached();
};

} // namespace zorvane
