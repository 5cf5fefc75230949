#include "browser/frmBrowser.h"

#include "browser/WebBrowser.h"
#include "browser/WebEngineBrowser.h"
#include "listing/ListingFolders.h"
#include "ui/Twips.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <exception>

namespace zorvane {

namespace {
QString addressOr(const char* variable, const char* address)
{
    const QString given = qEnvironmentVariable(variable);
    return given.isEmpty() ? QString::fromLatin1(address) : given;
}
} // namespace

// Where the IEEE keeps them today (the listing moved from
// standards.ieee.org/regauth/oui/ to a site of its own).
const QString frmBrowser::ListingAddress =
    addressOr("ZORVANE_LISTING_ADDRESS", "https://standards-oui.ieee.org/oui/oui.txt");
const QString frmBrowser::SearchAddress =
    addressOr("ZORVANE_SEARCH_ADDRESS", "https://regauth.standards.ieee.org/standards-ra-web/pub/view.html#registries");

namespace {

// The window's design, in twips.
constexpr int ClientWidth = 6540, ClientHeight = 5130;
constexpr int ToolBarHeight = 540;
constexpr int AddressTop = 540, AddressHeight = 675;
constexpr int Margin = 100;   // kept free right of the box and browser, and below the browser
constexpr int LocalCopyLeft = 1500;   // the local copy's line, right of the address label's text

// The toolbar's buttons in order; each one's key and tooltip, and its picture's
// number in the image list (its position).
const char* const ButtonKeys[] = {"Back", "Forward", "Stop", "Refresh", "Home", "Search"};

constexpr qint16 KeyEnter = 13;

// Runs one step of a handler; a step whose browser operation fails is passed
// over, and the handler goes on with its next step.
template <typename Step> void passOver(Step&& step) noexcept
{
    try {
        step();
    } catch (const std::exception&) {
    }
}

// The character code a key press delivers, as the address box's key handler
// sees it: 13 for Enter, otherwise the code of the typed character, 0 for keys
// that type nothing (arrows, function keys).
qint16 keyAscii(const QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return KeyEnter;
    const QString text = event->text();
    return text.isEmpty() ? 0 : qint16(text.at(0).unicode());
}

// Clears the guard when the list rewrite ends, however it ends.
struct GuardReset {
    bool& flag;
    ~GuardReset() { flag = false; }
};

} // namespace

frmBrowser::frmBrowser(const BrowserFactory& makeBrowser, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmBrowser"));
    // Starts without a caption; the timer and the browser's events give it one.
    setWindowTitle(QString());
    resize(twipSize(ClientWidth, ClientHeight));
    createControls(makeBrowser);
}

frmBrowser::~frmBrowser() = default;

void frmBrowser::createControls(const BrowserFactory& makeBrowser)
{
    imlIcons = browserToolbarPictures();

    tbToolBar = new QToolBar(this);
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    tbToolBar->setGeometry(twipRect(0, 0, ClientWidth, ToolBarHeight));
    tbToolBar->setMovable(false);
    tbToolBar->setFloatable(false);
    tbToolBar->setIconSize(QSize(24, 24));
    tbToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (int i = 0; i < 6; ++i) {
        const QString key = QString::fromLatin1(ButtonKeys[i]);
        QAction* button = tbToolBar->addAction(imlIcons.picture(i + 1), key);
        button->setObjectName(key);
        button->setData(key);
        button->setToolTip(key);
        tbToolBar->widgetForAction(button)->setObjectName(key);
    }
    connect(tbToolBar, &QToolBar::actionTriggered, this, &frmBrowser::tbToolBar_ButtonClick);

    picAddress = new QWidget(this);
    picAddress->setObjectName(QStringLiteral("picAddress"));
    picAddress->setGeometry(twipRect(0, AddressTop, ClientWidth, AddressHeight));

    lblAddress = new QLabel(QStringLiteral("&Address:"), picAddress);
    lblAddress->setObjectName(QStringLiteral("lblAddress"));
    lblAddress->setGeometry(twipRect(45, 60, 3075, 255));

    cboAddress = new QComboBox(picAddress);
    cboAddress->setObjectName(QStringLiteral("cboAddress"));
    cboAddress->setEditable(true);
    // The list holds the addresses reached, kept by the navigation handler
    // alone: the box neither adds what is typed nor completes it.
    cboAddress->setInsertPolicy(QComboBox::NoInsert);
    cboAddress->setCompleter(nullptr);
    cboAddress->setGeometry(twipRect(45, 300, 3795, 315));
    cboAddress->setEditText(ListingAddress);
    lblAddress->setBuddy(cboAddress);
    cboAddress->installEventFilter(this);
    cboAddress->lineEdit()->installEventFilter(this);
    // A choice from the list, by mouse or arrow key.
    connect(cboAddress, &QComboBox::activated, this, &frmBrowser::cboAddress_Click);

    if (makeBrowser)
        brwWebBrowser = makeBrowser(this);
    else
        brwWebBrowser = new WebEngineBrowser(QUrl(ListingAddress), QUrl(SearchAddress), this);
    brwWebBrowser->setObjectName(QStringLiteral("brwWebBrowser"));
    brwWebBrowser->widget()->setObjectName(QStringLiteral("brwWebBrowser"));
    brwWebBrowser->widget()->setGeometry(twipRect(50, 1215, 5393, 3734));
    connect(brwWebBrowser, &WebBrowser::DownloadComplete, this,
            &frmBrowser::brwWebBrowser_DownloadComplete);
    connect(brwWebBrowser, &WebBrowser::NavigateComplete2, this,
            &frmBrowser::brwWebBrowser_NavigateComplete2);
    connect(brwWebBrowser, &WebBrowser::LoadFailed, this, &frmBrowser::brwWebBrowser_LoadFailed);

    // Right of the address label, over the strip the address box lies in.
    lblLocalCopy = new QLabel(picAddress);
    lblLocalCopy->setObjectName(QStringLiteral("lblLocalCopy"));
    lblLocalCopy->setGeometry(twipRect(LocalCopyLeft, 60, ClientWidth - LocalCopyLeft - Margin, 255));
    lblLocalCopy->hide();

    timTimer = new QTimer(this);
    timTimer->setObjectName(QStringLiteral("timTimer"));
    timTimer->setInterval(5);
    connect(timTimer, &QTimer::timeout, this, &frmBrowser::timTimer_Timer);
}

QAction* frmBrowser::toolbarButton(const QString& key) const
{
    const auto buttons = tbToolBar->actions();
    const auto it = std::find_if(buttons.begin(), buttons.end(),
                                 [&](QAction* b) { return b->data().toString() == key; });
    return it == buttons.end() ? nullptr : *it;
}

void frmBrowser::Form_Load()
{
    show();
    tbToolBar->repaint();
    Form_Resize();
    StartingAddress = ListingAddress;
    // Under the label, with 15 twips between them.
    cboAddress->move(twips(50), twips(toTwips(lblAddress->geometry().bottom() + 1) + 15));
    if (!StartingAddress.isEmpty()) {
        cboAddress->setEditText(StartingAddress);
        cboAddress->addItem(cboAddress->currentText());
        timTimer->start();
        passOver([&] { brwWebBrowser->Navigate(StartingAddress); });
    }
}

void frmBrowser::Form_Resize()
{
    // A window smaller than the margins (or minimised, with no inner area at all)
    // leaves the box and the browser at no size rather than a negative one.
    const int innerWidth = toTwips(width());
    const int innerHeight = toTwips(height());
    const int addressBottom = toTwips(picAddress->y()) + toTwips(picAddress->height());
    const int width = std::max(0, innerWidth - Margin);
    const int height = std::max(0, innerHeight - addressBottom - Margin);

    cboAddress->resize(twips(width), cboAddress->height());
    brwWebBrowser->widget()->resize(twips(width), twips(height));
}

void frmBrowser::cboAddress_Click()
{
    if (blnDontNavigate)
        return;
    timTimer->start();
    passOver([&] { brwWebBrowser->Navigate(cboAddress->currentText()); });
}

void frmBrowser::cboAddress_KeyPress(qint16 KeyAscii)
{
    if (KeyAscii == KeyEnter)
        cboAddress_Click();
}

void frmBrowser::timTimer_Timer()
{
    bool busy = false;
    passOver([&] { busy = brwWebBrowser->Busy(); });
    if (busy) {
        setWindowTitle(QStringLiteral("Working..."));
    } else {
        timTimer->stop();
        passOver([&] { setWindowTitle(brwWebBrowser->LocationName()); });
    }
}

void frmBrowser::tbToolBar_ButtonClick(QAction* Button)
{
    timTimer->start();
    const QString key = Button ? Button->data().toString() : QString();
    if (key == QLatin1String("Back")) {
        passOver([&] { brwWebBrowser->GoBack(); });
    } else if (key == QLatin1String("Forward")) {
        passOver([&] { brwWebBrowser->GoForward(); });
    } else if (key == QLatin1String("Refresh")) {
        passOver([&] { brwWebBrowser->Refresh(); });
    } else if (key == QLatin1String("Home")) {
        passOver([&] { brwWebBrowser->GoHome(); });
    } else if (key == QLatin1String("Search")) {
        passOver([&] { brwWebBrowser->GoSearch(); });
    } else if (key == QLatin1String("Stop")) {
        timTimer->stop();
        passOver([&] { brwWebBrowser->Stop(); });
        passOver([&] { setWindowTitle(brwWebBrowser->LocationName()); });
        showAddressReached();
    }
}

// Every load ends here, stopped or failed too: the address box gives up what
// was asked for and shows where the browser is.
void frmBrowser::brwWebBrowser_DownloadComplete()
{
    passOver([&] { setWindowTitle(brwWebBrowser->LocationName()); });
    showAddressReached();
}

void frmBrowser::brwWebBrowser_NavigateComplete2(const QString& URL)
{
    // Elsewhere than the local copy, its line goes.
    if (!QUrl(URL).isLocalFile())
        lblLocalCopy->hide();
    passOver([&] { setWindowTitle(brwWebBrowser->LocationName()); });
    showAddressReached();
}

// The listing cannot be reached: the newest local copy is shown instead (the
// download folder's, else update-ieee-data's), with one line saying so.
void frmBrowser::brwWebBrowser_LoadFailed(const QString& URL)
{
    if (QUrl(URL).adjusted(QUrl::StripTrailingSlash) != QUrl(ListingAddress).adjusted(QUrl::StripTrailingSlash))
        return;
    QString folder;
    for (const QString& candidate : {listing::downloadFolder(), listing::systemListingFolder()}) {
        if (QFileInfo(QDir(candidate).filePath(QStringLiteral("oui.txt"))).isFile()) {
            folder = candidate;
            break;
        }
    }
    if (folder.isEmpty())
        return;
    const QString file = QDir(folder).filePath(QStringLiteral("oui.txt"));
    QDateTime fetched = listing::fetchedAt(folder);
    if (!fetched.isValid())
        fetched = QFileInfo(file).lastModified();
    const QString date = QLocale(QLocale::English).toString(fetched.toLocalTime().date(), QStringLiteral("d MMM yyyy"));
    lblLocalCopy->setText(QStringLiteral("Local copy of %1").arg(date));
    lblLocalCopy->setToolTip(QStringLiteral("The IEEE's site could not be reached: this is the listing kept in %1, "
                                            "fetched %2.").arg(folder, date));
    lblLocalCopy->show();
    timTimer->start();
    passOver([&] { brwWebBrowser->Navigate(QUrl::fromLocalFile(file).toString()); });
}

void frmBrowser::showAddressReached()
{
    QString location;
    try {
        location = brwWebBrowser->LocationURL();
    } catch (const std::exception&) {
        return;   // nothing known to list
    }
    if (location.isEmpty())
        return;   // nowhere reached yet

    int found = -1;
    for (int i = 0; i < cboAddress->count(); ++i) {
        if (cboAddress->itemText(i) == location) {
            found = i;
            break;
        }
    }

    blnDontNavigate = true;
    GuardReset reset{blnDontNavigate};
    if (found >= 0)
        cboAddress->removeItem(found);
    cboAddress->insertItem(0, location);
    cboAddress->setCurrentIndex(0);
    cboAddress->setEditText(location);
    // Selecting an entry raises the box's click, as a user's choice would; the
    // guard keeps it from navigating.
    cboAddress_Click();
}

void frmBrowser::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The toolbar and the address strip span the window's width.
    tbToolBar->resize(width(), tbToolBar->height());
    picAddress->resize(width(), picAddress->height());
    Form_Resize();
}

void frmBrowser::closeEvent(QCloseEvent* event)
{
    // Unloading the window stops its timer and whatever is still loading.
    timTimer->stop();
    passOver([&] { brwWebBrowser->Stop(); });
    QWidget::closeEvent(event);
}

bool frmBrowser::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == cboAddress || watched == cboAddress->lineEdit())
        && event->type() == QEvent::KeyPress) {
        const qint16 code = keyAscii(static_cast<QKeyEvent*>(event));
        if (code != 0)
            cboAddress_KeyPress(code);
        // Enter belongs to the handler; every other key is left to the box.
        return code == KeyEnter;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zorvane
