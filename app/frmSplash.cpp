#include "app/frmSplash.h"

#include "lookup/frmMain.h"
#include "ui/AppInfo.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"
#include "ui/Pictures.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <qdrawutil.h>

#include <exception>

using namespace zorvane;

namespace {

// The fixed dialog border drawn around the client area (the window has no
// title bar, so the window system draws none).
constexpr int BorderPx = 3;

const QColor windowGreen(0, 255, 0);
const QColor frameGreen(0, 192, 0);

QLabel* makeLabel(QWidget* parent, const char* name, const QFont& font)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// Labels that size themselves to their text keep their left edge; the
// right-aligned ones keep their right edge instead.
void sizeToText(QLabel* label) { label->adjustSize(); }

void sizeToTextKeepingRight(QLabel* label, int rightEdge)
{
    label->adjustSize();
    label->move(rightEdge - label->width(), label->y());
}

// A boxed label keeps its design box, except that where this system's face runs
// a little wider than the design's and the text would lose its last line to the
// box's height, the box is widened to the right just enough to hold it.
void keepTextWhole(QLabel* label)
{
    const int singleLine = label->fontMetrics().horizontalAdvance(label->text()) + 1;
    int width = label->width();
    while (width < singleLine && label->heightForWidth(width) > label->height())
        ++width;
    label->resize(width, label->height());
}

QFont arial(qreal pointSize, bool bold = false)
{
    return designFont(QStringLiteral("Arial"), pointSize, bold);
}

} // namespace

QWidget* frmSplash::lookupWindow() { return frmMain::load(); }

frmSplash::frmSplash(NextWindow next) : nextWindow(std::move(next))
{
    setObjectName(QStringLiteral("frmSplash"));
    // No title bar and no task-bar entry; a tool window still takes the keyboard.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // With no other window open, closing the splash window ends the run.
    setAttribute(Qt::WA_QuitOnClose);
    setWindowTitle(QString());
    setWindowIcon(Pictures::programIcon());
    setFocusPolicy(Qt::StrongFocus);
    setFont(defaultControlFont());
    const QSize client = twipSize(5490, 5310);
    setFixedSize(client + QSize(2 * BorderPx, 2 * BorderPx));
    QPalette green = palette();
    green.setColor(QPalette::Window, windowGreen);
    green.setColor(QPalette::WindowText, Qt::black);
    setPalette(green);
    setAutoFillBackground(true);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Sunken);
    Frame1->setGeometry(twipRect(120, 120, 5265, 5010).translated(BorderPx, BorderPx));
    QPalette framePalette = palette();
    framePalette.setColor(QPalette::Window, frameGreen);
    Frame1->setPalette(framePalette);
    Frame1->setAutoFillBackground(true);

    // Positions inside the frame are counted from its corner.
    lblCompanyProduct = makeLabel(Frame1, "lblCompanyProduct", arial(18, true));
    lblCompanyProduct->move(twips(240), twips(480));
    lblCompanyProduct->setText(QStringLiteral("Zorvane Project"));
    sizeToText(lblCompanyProduct);

    lblProductName = makeLabel(Frame1, "lblProductName", arial(32.25, true));
    lblProductName->move(twips(720), twips(960));

    Image1 = makeLabel(Frame1, "Image1", font());
    Image1->setGeometry(twipRect(4080, 960, 1005, 690));
    Image1->setScaledContents(true);
    Image1->setPixmap(Pictures::adapterCard());

    Label1 = makeLabel(Frame1, "Label1", font());
    Label1->setGeometry(twipRect(720, 1680, 1935, 615));
    Label1->setWordWrap(true);
    Label1->setText(QStringLiteral("Quick and Dirty Ethernet Vendor Code Search Utility "
                                   "by Zorvane Project"));
    keepTextWhole(Label1);

    lblPlatform = makeLabel(Frame1, "lblPlatform", arial(15.75, true));
    lblPlatform->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lblPlatform->move(twips(2760), twips(1800));
    lblPlatform->setText(QStringLiteral("For Windows"));
    sizeToText(lblPlatform);

    lblWarning = makeLabel(Frame1, "lblWarning", arial(8.25));
    lblWarning->setGeometry(twipRect(720, 2280, 1695, 195));
    lblWarning->setWordWrap(true);
    lblWarning->setText(QStringLiteral("Please Distribute Freely"));
    keepTextWhole(lblWarning);

    lblVersion = makeLabel(Frame1, "lblVersion", arial(12, true));
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lblVersion->move(twips(3840), twips(2280));

    lblCopyright = makeLabel(Frame1, "lblCopyright", arial(8.25));
    lblCopyright->setGeometry(twipRect(3360, 2520, 1695, 255));
    lblCopyright->setWordWrap(true);
    lblCopyright->setText(QStringLiteral("Free software"));
    keepTextWhole(lblCopyright);

    lblCompany = makeLabel(Frame1, "lblCompany", arial(8.25));
    lblCompany->setGeometry(twipRect(3360, 2760, 1695, 255));
    lblCompany->setWordWrap(true);
    lblCompany->setText(QStringLiteral("Zorvane Project"));
    keepTextWhole(lblCompany);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);

    // The window sees every key before its controls do.
    watchKeysOf(this);

    Form_Load();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    Timer1->start();
}

frmSplash::~frmSplash() = default;

void frmSplash::watchKeysOf(QWidget* widget)
{
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->installEventFilter(this);
}

void frmSplash::Form_Load()
{
    lblVersion->setText(AppInfo::versionLine());
    // Right-aligned and sized to its text: it grows to the left of where the
    // short caption "Version" would end.
    const QFontMetrics metrics(lblVersion->font());
    sizeToTextKeepingRight(lblVersion,
                           twips(3840) + metrics.horizontalAdvance(QStringLiteral("Version")));
    lblProductName->setText(AppInfo::title());
    sizeToText(lblProductName);
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Keys that type a character, Enter, Esc and Backspace included; keys
        // that type nothing (arrows, function keys, Shift) pass by.
        if (text.isEmpty() || text.at(0) == QChar(0x7F))
            return false;
        Form_KeyPress(text.at(0).unicode());
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        if (watched != Frame1) {
            // A click on a label or on the picture is that control's own and
            // does not reach the frame.
            auto* widget = qobject_cast<QWidget*>(watched);
            return widget && Frame1->isAncestorOf(widget);
        }
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return true;
        if (event->type() == QEvent::MouseButtonPress) {
            frame1Pressed = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const bool inside = Frame1->rect().contains(mouse->position().toPoint());
            const bool click = frame1Pressed && inside;
            frame1Pressed = false;
            if (click)
                Frame1_Click();
        }
        return true;
    }
    default:
        return false;
    }
}

void frmSplash::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    // A raised dialog edge, then one pixel of the face colour.
    const QPalette classic(QColor(192, 192, 192));
    qDrawWinPanel(&painter, rect(), classic, false, nullptr);
    painter.setPen(QColor(192, 192, 192));
    painter.drawRect(rect().adjusted(2, 2, -3, -3));
}

void frmSplash::closeEvent(QCloseEvent* event)
{
    Timer1->stop();
    event->accept();
}

void frmSplash::Timer1_Timer()
{
    intTickCount = qint16(intTickCount + 1);
    if (intTickCount != 3)
        return;

    // Unload first, then make and show the lookup window. In between no window
    // is open, which must not end the run.
    const bool quitOnLast = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    close();
    QWidget* next = nullptr;
    try {
        next = nextWindow ? nextWindow() : nullptr;
    } catch (const std::exception& error) {
        msgBox(nullptr, QString::fromLocal8Bit(error.what()));
    }
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLast);
    if (next)
        next->show();
    else
        QCoreApplication::exit(1); // the lookup window could not be opened
}

void frmSplash::Form_KeyPress(int KeyAscii)
{
    Q_UNUSED(KeyAscii);
    close();
}

void frmSplash::Frame1_Click() { close(); }
