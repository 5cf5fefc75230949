#include "about/frmAbout.h"

#include "about/Registry.h"
#include "ui/AppInfo.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"
#include "ui/Pictures.h"
#include "ui/Twips.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <array>

using namespace zorvane;

namespace {

QPointer<frmAbout> openWindow;

const QColor windowGreen(0, 192, 0);

// An etched separator: a grey line with a white one under it.
class EtchedLine final : public QWidget {
public:
    // Both lines start at the widget's left edge; their lengths are in pixels.
    EtchedLine(int greyLength, int whiteLength, QWidget* parent)
        : QWidget(parent), grey(greyLength), white(whiteLength)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QColor(128, 128, 128));
        painter.drawLine(0, 0, grey - 1, 0);
        painter.setPen(Qt::white);
        painter.drawLine(0, 1, white - 1, 1);
    }

private:
    int grey;
    int white;
};

QLabel* makeLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// Writes the bytes of a 32-bit number value, most significant first, as hex
// digits behind "&h", and gives the number that text stands for in decimal.
// Every byte is written with two digits so that each keeps its place.
QString numberValueText(const QByteArray& bytes)
{
    QString hex = QStringLiteral("&h");
    for (qsizetype i = bytes.size() - 1; i >= 0; --i)
        hex += QStringLiteral("%1").arg(uchar(bytes.at(i)), 2, 16, QLatin1Char('0')).toUpper();
    quint64 value = 0;
    for (qsizetype i = 2; i < hex.size(); ++i) {
        value = value * 16 + quint64(QStringView(hex).mid(i, 1).toUInt(nullptr, 16));
        if (value > 0xFFFFFFFFull)
            throw RuntimeError("the number value does not fit in 32 bits");
    }
    return QString::number(value);
}

} // namespace

frmAbout* frmAbout::instance() { return openWindow.data(); }

frmAbout* frmAbout::showInstance()
{
    if (!openWindow) {
        openWindow = new frmAbout();
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen) {
            QRect frame(QPoint(0, 0), openWindow->size());
            frame.moveCenter(screen->availableGeometry().center());
            openWindow->move(frame.topLeft());
        }
    }
    frmAbout* window = openWindow.data();
    // Brought forward, not loaded again; a minimised one comes back as it was.
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    // A tool window: a title bar with its close box only, and no task-bar entry.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // While it is open the program goes on running, as with any of its windows.
    setAttribute(Qt::WA_QuitOnClose);
    setFixedSize(twipSize(5760, 2670));
    setFont(defaultControlFont());
    QPalette green = palette();
    green.setColor(QPalette::Window, windowGreen);
    setPalette(green);
    setAutoFillBackground(true);
    setWindowIcon(Pictures::programIcon());

    Image1 = makeLabel(this, "Image1");
    Image1->setGeometry(twipRect(0, 240, 1485, 930));
    Image1->setPixmap(Pictures::adapterCard());

    lblTitle = makeLabel(this, "lblTitle");
    lblTitle->setGeometry(twipRect(1800, 120, 3645, 480));
    lblTitle->setFont(designFont(QStringLiteral("MS Sans Serif"), 13.5));

    lblVersion = makeLabel(this, "lblVersion");
    lblVersion->setGeometry(twipRect(1800, 840, 3885, 225));

    lblDescription = makeLabel(this, "lblDescription");
    lblDescription->move(twips(1800), twips(1125));

    Line1 = new EtchedLine(twips(5669 - 105), twips(5654 - 105), this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setGeometry(twips(105), twips(1680), twips(5669 - 105), 2);

    lblDisclaimer = makeLabel(this, "lblDisclaimer");
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setGeometry(twipRect(240, 1800, 3945, 435));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipRect(4365, 1785, 1260, 345));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twipRect(4380, 2235, 1245, 345));
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    // Which system-information program System Info started.
    lblStarted = makeLabel(this, "lblStarted");
    lblStarted->setGeometry(twipRect(240, 2280, 3945, 330));
    lblStarted->setTextInteractionFlags(Qt::TextSelectableByMouse);

    setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();

    Form_Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + AppInfo::title());
    lblVersion->setText(AppInfo::versionLine());
    lblTitle->setText(AppInfo::title());
    // The two description lines are joined by a lone carriage return; the label
    // breaks the line there.
    const QString description = QStringLiteral("Quick and Dirty Ethernet Vendor") + QChar(13)
        + QStringLiteral("Code lookup utility by the Zorvane Project");
    lblDescription->setText(QString(description).replace(QChar(13), QChar(10)));
    lblDescription->adjustSize();
    lblDisclaimer->setText(QStringLiteral("Free software: share it as you like. It comes "
                                          "with no warranty of any kind."));
    lblDisclaimer->setFixedHeight(
        qMax(lblDisclaimer->heightForWidth(lblDisclaimer->width()), 0));
}

void frmAbout::closeEvent(QCloseEvent* event)
{
    // The close box and cmdOK unload the window alike.
    event->accept();
}

void frmAbout::reject()
{
    // Esc presses the cancel button.
    cmdOK->click();
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::StartSysInfo()
{
    bool started = false;
    QString SysInfoPath;
    try {
        qint32 root = reg::LocalMachine;
        QString keyName = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
        QString valueName = QStringLiteral("PATH");
        if (GetKeyValue(root, keyName, valueName, SysInfoPath)) {
            // Started as read, without looking for the file first.
            ProgramLauncher::current().start(SysInfoPath);
            started = true;
        } else {
            keyName = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
            valueName = QStringLiteral("MSINFO");
            if (GetKeyValue(root, keyName, valueName, SysInfoPath)) {
                const QString program = SysInfoPath + QStringLiteral("\\MSINFO32.EXE");
                if (FileLookup::current().matchesOrdinaryFile(program)) {
                    SysInfoPath = program;
                    ProgramLauncher::current().start(SysInfoPath);
                    started = true;
                }
            }
        }
    } catch (...) {
        // Whatever went wrong, the user learns only that the tool is unavailable.
        started = false;
    }
    if (started) {
        lblStarted->setText(QStringLiteral("Started %1").arg(QDir::toNativeSeparators(SysInfoPath)));
        return;
    }
    lblStarted->clear();
    msgBox(this, QStringLiteral("System Information Is Unavailable At This Time"), MsgButtons::Ok,
           MsgIcon::None, AppInfo::title());
    // The box hands the focus to whichever window the system picks; it
    // belongs back here, where the user was.
    if (openWindow == this) {
        raise();
        activateWindow();
    }
}

bool frmAbout::GetKeyValue(qint32& KeyRoot, QString& KeyName, QString& SubKeyRef, QString& KeyVal)
{
    Registry& registry = Registry::current();
    RegHandle hKey = 0;
    // The key is closed on every way out, a raised error included.
    struct KeyCloser {
        Registry& registry;
        RegHandle& key;
        ~KeyCloser()
        {
            if (!key)
                return;
            try {
                registry.RegCloseKey(key);
            } catch (...) {
            }
        }
    } closer {registry, hKey};

    if (registry.RegOpenKeyExA(KeyRoot, KeyName.toLocal8Bit(), reg::ReadWriteAccess, &hKey)
        != reg::Success) {
        hKey = 0;
        KeyVal.clear();
        return false;
    }

    constexpr quint32 bufferSize = 1024;
    std::array<quint8, bufferSize> tmpVal {};
    quint32 KeyValSize = bufferSize;
    quint32 KeyValType = 0;
    if (registry.RegQueryValueExA(hKey, SubKeyRef.toLocal8Bit(), &KeyValType, tmpVal.data(),
                                  &KeyValSize)
            != reg::Success
        || KeyValSize > bufferSize) {
        KeyVal.clear();
        return false;
    }

    if (KeyValSize == 0)
        throw RuntimeError("the registry value holds no data");
    QByteArray kept(reinterpret_cast<const char*>(tmpVal.data()), qsizetype(KeyValSize));
    // A terminating zero is dropped; data stored without one keeps every byte.
    if (kept.at(kept.size() - 1) == '\0')
        kept.chop(1);

    switch (KeyValType) {
    case reg::TypeString:
        KeyVal = QString::fromLocal8Bit(kept);
        break;
    case reg::TypeDword:
        KeyVal = numberValueText(kept);
        break;
    default:
        // Read, but not converted: KeyVal stays as it came.
        break;
    }
    return true;
}
