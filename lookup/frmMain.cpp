#include "lookup/frmMain.h"
#include "about/frmAbout.h"
#include "lookup/CodeNotation.h"
#include "lookup/ResultCombo.h"
#include "lookup/SearchTerm.h"
#include "lookup/WalkDisplay.h"
#include "lookup/WindowInput.h"
#include "records/RecordSet.h"
#include "records/VendorDatabase.h"
#include "ui/AppInfo.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"
#include "ui/Pictures.h"
#include "ui/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>
#include <optional>
#include <vector>
#include <exception>
#include <stdexcept>

using zorvane::MsgButtons;
using zorvane::MsgIcon;
using zorvane::MsgResult;
using zorvane::msgBox;
using zorvane::twipRect;
using zorvane::twips;
using zorvane::lookup::ResultCombo;
using zorvane::lookup::SearchTerm;
using zorvane::lookup::ResultArray;
namespace vendor = zorvane::records::vendor;

namespace {

const QString DatabaseFile = QStringLiteral("oui.mdb");
const QString VendorTable = QString::fromLatin1(vendor::TableName);

// The layout was drawn for a frame whose title bar, menu bar and borders take
// 690 twips of the window's outer height. Here the window system draws the
// title bar and borders itself and the menu bar is measured, so an outer height
// of the design becomes this client height (menu bar excluded).
constexpr int DesignFrameTwips = 690;

// Progress bar scales.
constexpr int Prg1Maximum = 5000;
constexpr int Prg2Maximum = 50;

// The status bar's panels: the first is this wide, the second takes the rest.
// Their text is a pixel smaller than the controls' so that a record number and
// a count of five digits each fit.
constexpr int Panel1WidthTwips = 2040;
constexpr int StatusFontPixels = 10;

const QColor Background(0, 192, 0);

QString howToText()
{
    const char* const lines[] = {
        "Type all or a portion of the vendor code",
        "or vendor name in the text boxes and press",
        "Enter or click the search button to search",
        "the database for vendors or codes that match.",
        "The wildcard * is supported before and/or after",
        "the search term. Embedded * are not supported.",
        "When the search is complete you can scroll",
        "throught the code or vendor lists to select",
        "a specific vendor/code for viewing.",
        "Once you have selected a specific vendor",
        "you may then edit that vendor and update the database",
        "by clicking on the EDIT menu item",
        "or you may delete that vendor from the database",
        "If the vendor you are looking for is not in the database",
        "you can fill in the appropriate information and click ADD.",
    };
    QStringList text;
    for (const char* line : lines)
        text << QString::fromLatin1(line);
    return text.join(QLatin1Char('\r'));
}

// This system's face of the design font runs a little wider than the one the
// window was drawn with: a caption that would be cut grows evenly on both
// sides, so it stays centred where it was placed.
void widenAboutCentre(QLabel* label)
{
    const int need = label->fontMetrics().horizontalAdvance(label->text()) + 2;
    const int grow = need - label->width();
    if (grow > 0) {
        const QRect place = label->geometry();
        label->setGeometry(place.adjusted(-grow / 2, 0, grow - grow / 2, 0));
    }
}

// Ends the program at once: every window goes and the event loop returns.
void endProgram()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        window->hide();
    QCoreApplication::exit(0);
}

} // namespace

frmMain* frmMain::load(const QString& path)
{
    const QString file = path.isEmpty() ? DatabaseFile : path;
    const QFileInfo info(file);
    const QString folder = QDir::toNativeSeparators(path.isEmpty() ? QDir::currentPath() : info.absolutePath());
    QString reason;
    const QString launchProblem = qEnvironmentVariable("ZORVANE_LAUNCH_PROBLEM");
    if (!launchProblem.isEmpty() && path.isEmpty() && !info.exists()) {
        // Started from the menu (zorvane-launch), which could not make it:
        // its reason, and what a menu user can do.
        msgBox(nullptr,
               QStringLiteral("Zorvane has no vendor database to open.\r%1\rOnce that is put right "
                              "(the IEEE listing comes with the ieee-data package), start Zorvane "
                              "from the menu again: it then makes the database.")
                   .arg(launchProblem),
               MsgButtons::Ok, MsgIcon::Warning);
        return nullptr;
    }
    if (!info.exists()) {
        // Say how to make one: the desktop menu entry does it on its own.
        reason = path.isEmpty() ? QStringLiteral("There is no such file. Make one from the IEEE listing with\r"
                                                 "zorvane-db import oui.mdb\r"
                                                 "in that folder, or start Zorvane from the desktop menu, which\r"
                                                 "keeps its database in ~/.local/share/zorvane.")
                                : QStringLiteral("There is no such file.");
    } else {
        try {
            auto* window = new frmMain(file);
            window->setAttribute(Qt::WA_DeleteOnClose);
            return window;
        } catch (const std::exception& error) {
            reason = QString::fromUtf8(error.what());
        }
    }
    msgBox(nullptr,
           QStringLiteral("The vendor database \"%1\" in the folder \"%2\" cannot be opened.\r%3")
               .arg(info.fileName(), folder, reason),
           MsgButtons::Ok, MsgIcon::Warning);
    return nullptr;
}

frmMain::frmMain(const QString& databasePath, QWidget* parent)
    : QMainWindow(parent),
      Data1(std::make_unique<zorvane::records::RecordSet>(databasePath, VendorTable)),
      fields_(std::make_unique<zorvane::lookup::VendorFields>(*Data1))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(zorvane::AppInfo::title());
    setWindowIcon(zorvane::Pictures::programIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFont(zorvane::defaultControlFont());

    createControls();
    createMenus();
    arrangeTabOrder();
    connectControls();
    setClientSizeTwips(ClientWidthTwips, ClientHeightAtLoadTwips);
    Form_Load();
    // The lowest tab index belongs to the Search button.
    cmdSearch->setFocus();
}

frmMain::~frmMain() = default;

void frmMain::closeEvent(QCloseEvent* event)
{
    // A minimised about window has no task-bar entry to bring it back by: it
    // goes with this window rather than keep the program running unseen.
    if (frmAbout* about = frmAbout::instance(); about && about->isMinimized())
        about->close();
    QMainWindow::closeEvent(event);
}

void frmMain::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    QPalette green = client->palette();
    green.setColor(QPalette::Window, Background);
    client->setPalette(green);
    setCentralWidget(client);

    // The picture lies under everything else.
    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twipRect(2520, 0, 1080, 960));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap::fromImage(zorvane::Pictures::programIconImage()));

    auto label = [client](const char* name, const QString& caption, QRect place) {
        auto* l = new QLabel(caption, client);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(place);
        return l;
    };
    auto button = [client](const char* name, const QString& caption, QRect place) {
        auto* b = new QPushButton(caption, client);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(place);
        // Enter presses the button that has the focus.
        b->setAutoDefault(true);
        return b;
    };
    auto combo = [client](const char* name, QRect place) {
        auto* c = new ResultCombo(client);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(place);
        return c;
    };
    auto progress = [client](const char* name, int maximum, QRect place) {
        auto* p = new QProgressBar(client);
        p->setObjectName(QString::fromLatin1(name));
        p->setRange(0, maximum);
        p->setValue(0);
        p->setTextVisible(false);
        p->setGeometry(place);
        return p;
    };

    lblCode = label("lblCode", QStringLiteral("Vendor Code"), twipRect(120, 120, 2175, 255));
    cmbCode = combo("cmbCode", twipRect(120, 360, 2175, 315));
    Label1 = label("Label1", QStringLiteral("Vendor Name"), twipRect(120, 840, 3615, 255));
    cmbVendor = combo("cmbVendor", twipRect(120, 1080, 3615, 315));
    cmdSearch = button("cmdSearch", QStringLiteral("&Search"), twipRect(120, 1440, 1095, 375));
    cmdClear = button("cmdClear", QStringLiteral("&Clear"), twipRect(1380, 1440, 1095, 375));
    cmdExit = button("cmdExit", QStringLiteral("E&xit"), twipRect(2640, 1440, 1095, 375));

    txtAddress = new QPlainTextEdit(client);
    txtAddress->setObjectName(QStringLiteral("txtAddress"));
    txtAddress->setGeometry(twipRect(120, 1920, 3615, 1095));
    txtAddress->setTabChangesFocus(true);

    prg2 = progress("prg2", Prg2Maximum, twipRect(120, 3120, 3615, 255));
    lblCodeVendFound = label("lblCodeVendFound", QStringLiteral("Adding Item to List"),
                             twipRect(1260, 3360, 1335, 195));
    prg1 = progress("prg1", Prg1Maximum, twipRect(120, 3720, 3615, 255));
    Label3 = label("Label3", QStringLiteral("Search Progress"), twipRect(1395, 3960, 1185, 195));
    widenAboutCentre(lblCodeVendFound);
    widenAboutCentre(Label3);

    // The edit buttons stand right of the window's normal width; edit mode
    // widens the window to show them.
    cmdUpdate = button("cmdUpdate", QStringLiteral("&Update"), twipRect(3960, 120, 1695, 375));
    cmdAdd = button("cmdAdd", QStringLiteral("&Add"), twipRect(3960, 600, 1695, 375));
    CmdDelete = button("CmdDelete", QStringLiteral("&Delete"), twipRect(3960, 1080, 1695, 375));
    cmdCloseEdit = button("cmdCloseEdit", QStringLiteral("&Close Edit Window"),
                          twipRect(3960, 2640, 1695, 375));
    for (QPushButton* b : {cmdUpdate, cmdAdd, CmdDelete, cmdCloseEdit})
        b->hide();

    cmdSearch->setDefault(true);

    // The status bar along the bottom edge, two text panels.
    sts1 = new QStatusBar(this);
    sts1->setObjectName(QStringLiteral("sts1"));
    sts1->setSizeGripEnabled(false);
    sts1->setFixedHeight(twips(255));
    sts1Panel1 = new QLabel(sts1);
    sts1Panel1->setObjectName(QStringLiteral("sts1Panel1"));
    sts1Panel2 = new QLabel(sts1);
    sts1Panel2->setObjectName(QStringLiteral("sts1Panel2"));
    // The panels are placed by the window (placePanels), not by the status
    // bar's own layout, so that they fill it edge to edge.
    QFont panelFont = font();
    panelFont.setPixelSize(StatusFontPixels);
    for (QLabel* panel : {sts1Panel1, sts1Panel2}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFont(panelFont);
    }
    sts1->installEventFilter(this);
    setStatusBar(sts1);

    display_ = std::make_unique<zorvane::lookup::WalkDisplay>(
        this, zorvane::lookup::WalkDisplay::Controls {prg1, prg2, sts1Panel1, sts1Panel2, cmbCode,
                                                      cmbVendor});
}

void frmMain::createMenus()
{
    QMenuBar* bar = menuBar();
    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpHowTo = mnuHelp->addAction(QStringLiteral("&How To"));
    mnuHelpHowTo->setObjectName(QStringLiteral("mnuHelpHowTo"));
    mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));
    // A command on the menu bar itself; its caption is given at load.
    mnuAdd = bar->addAction(QString());
    mnuAdd->setObjectName(QStringLiteral("mnuAdd"));
}

void frmMain::arrangeTabOrder()
{
    const QList<QWidget*> order = {cmdSearch, cmbCode,  cmbVendor, cmdClear,  cmdExit,
                                   txtAddress, cmdUpdate, cmdAdd,   CmdDelete, cmdCloseEdit};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmMain::connectControls()
{
    connect(cmdSearch, &QPushButton::clicked, this, &frmMain::cmdSearch_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmMain::cmdClear_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(cmdCloseEdit, &QPushButton::clicked, this, &frmMain::cmdCloseEdit_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &frmMain::cmdUpdate_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmMain::cmdAdd_Click);
    connect(CmdDelete, &QPushButton::clicked, this, &frmMain::CmdDelete_Click);
    connect(mnuHelpHowTo, &QAction::triggered, this, &frmMain::mnuHelpHowTo_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
    connect(mnuAdd, &QAction::triggered, this, &frmMain::mnuAdd_Click);
    connect(cmbCode, &QComboBox::activated, this, &frmMain::cmbCode_Click);
    connect(cmbVendor, &QComboBox::activated, this, &frmMain::cmbVendor_Click);
    for (QWidget* w : {static_cast<QWidget*>(cmbCode), static_cast<QWidget*>(cmbVendor),
                       static_cast<QWidget*>(txtAddress)})
        w->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { markDefaultButton(now); });
}

void frmMain::Form_Load()
{
    cmdUpdate->setEnabled(false);
    cmdAdd->setEnabled(false);
    CmdDelete->setEnabled(false);
    mnuAdd->setText(QStringLiteral("&Edit"));
    blnEditMode = false;
}

// ---- Window ---------------------------------------------------------------

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (centred_)
        return;
    centred_ = true;
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == sts1 && event->type() == QEvent::Resize) {
        placePanels();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        // Ctrl+Enter starts a new line of the address, as Shift+Enter does.
        if (watched == txtAddress && zorvane::lookup::isCtrlEnter(key)) {
            txtAddress->insertPlainText(QStringLiteral("\n"));
            return true;
        }
        // The Search button is the window's default button.
        if (zorvane::lookup::isEnter(key)) {
            cmdSearch->click();
            return true;
        }
        if (zorvane::lookup::deliversCharacter(key)) {
            int KeyAscii = key.text().at(0).unicode();
            if (watched == cmbCode)
                cmbCode_KeyPress(KeyAscii);
            else if (watched == cmbVendor)
                cmbVendor_KeyPress(KeyAscii);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::placePanels()
{
    const int first = twips(Panel1WidthTwips);
    const int gap = 2;
    sts1Panel1->setGeometry(0, 0, first, sts1->height());
    sts1Panel2->setGeometry(first + gap, 0, std::max(0, sts1->width() - first - gap),
                            sts1->height());
}

void frmMain::markDefaultButton(QWidget* focus)
{
    if (!focus || focus->window() != this)
        return;
    // A focused button takes Enter itself; anywhere else Search does.
    auto* focusedButton = qobject_cast<QPushButton*>(focus);
    if (!focusedButton || focusedButton == cmdSearch)
        cmdSearch->setDefault(true);
    else
        cmdSearch->setDefault(false);
}

void frmMain::setHeightTwips(int outerHeightTwips)
{
    heightBeforeEdit_.reset();
    setClientSizeTwips(clientWidthTwips(), outerHeightTwips - DesignFrameTwips);
}

void frmMain::setClientSizeTwips(int widthTwips, int heightTwips)
{
    clientHeightTwips_ = heightTwips;
    const int menuHeight = menuBar()->heightForWidth(twips(widthTwips));
    setFixedSize(twips(widthTwips),
                 (menuHeight > 0 ? menuHeight : menuBar()->sizeHint().height()) + twips(heightTwips));
}

int frmMain::clientWidthTwips() const
{
    return blnEditMode ? ClientWidthEditTwips : ClientWidthTwips;
}

void frmMain::setWidthTwips(QWidget* widget, int widthTwips)
{
    widget->resize(twips(widthTwips), widget->height());
}

// ---- Commands --------------------------------------------------------------

void frmMain::cmdSearch_Click()
{
    intNumRecords = 0;
    sts1Panel2->clear();
    intArrayCtr = 0;

    const QString code = cmbCode->fieldText();
    const QString vendor = cmbVendor->fieldText();
    if (code.isEmpty() && vendor.isEmpty()) {
        msgBox(this, QStringLiteral("Enter a Vendor Code or Vendor Name"));
        cmbCode->setFocus();
    } else if (code.isEmpty()) {
        SearchVendor();
    } else if (vendor.isEmpty()) {
        SearchCode();
    } else {
        intAnswer = static_cast<int>(msgBox(
            this,
            QStringLiteral("Do you wish to clear the\rsearch results and begin\ra new Search?"),
            MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Search Results Exist")));
        if (intAnswer == static_cast<int>(MsgResult::Yes)) {
            cmbCode->clearAll();
            cmbVendor->clearAll();
            forgetChoice();
            cmbCode->setFocus();
        }
    }
}

void frmMain::cmdClear_Click()
{
    prg1->setValue(0);
    cmbCode->clearAll();
    cmbVendor->clearAll();
    txtAddress->clear();
    forgetChoice();
}

void frmMain::cmdExit_Click()
{
    intAnswer = static_cast<int>(msgBox(this, QStringLiteral("Are You Sure?"), MsgButtons::YesNo,
                                        MsgIcon::None, QStringLiteral("End Program?")));
    if (intAnswer == static_cast<int>(MsgResult::Yes)) {
        // The record set is closed first, so that a writer's journal goes with it.
        fields_.reset();
        Data1.reset();
        endProgram();
    }
}

void frmMain::mnuHelpHowTo_Click()
{
    msgBox(this, howToText(), MsgButtons::Ok, MsgIcon::None, QStringLiteral("How to use Zorvane"));
}

void frmMain::mnuHelpAbout_Click() { frmAbout::showInstance(); }

void frmMain::mnuAdd_Click()
{
    const bool entering = !blnEditMode;
    cmdUpdate->setEnabled(entering);
    cmdAdd->setEnabled(entering);
    CmdDelete->setEnabled(entering);
    mnuAdd->setText(QStringLiteral("&Edit"));
    blnEditMode = entering;
    // The column of edit buttons is in view exactly in edit mode: the window
    // widens to take it in, and grows to the height that shows Close Edit
    // Window when it is still as small as at load.
    // Leaving gives back the height that entering added, unless a search has
    // set a height of its own meanwhile.
    for (QPushButton* b : {cmdUpdate, cmdAdd, CmdDelete, cmdCloseEdit})
        b->setVisible(entering);
    if (entering) {
        heightBeforeEdit_ = clientHeightTwips_;
        setClientSizeTwips(clientWidthTwips(),
                           std::max(clientHeightTwips_, HeightAfterSearch - DesignFrameTwips));
    } else {
        setClientSizeTwips(clientWidthTwips(), heightBeforeEdit_.value_or(clientHeightTwips_));
        heightBeforeEdit_.reset();
    }
}

void frmMain::cmdCloseEdit_Click() { mnuAdd_Click(); }

// ---- Record editing --------------------------------------------------------

// Writes the three boxes into the chosen record. Without a choice that still
// stands (the lists were refilled or emptied since), there is no record to
// write: that is refused like an empty box.
void frmMain::cmdUpdate_Click()
{
    const QString code = cmbCode->fieldText();
    const QString vendor = cmbVendor->fieldText();
    const QString address = addressFieldText();
    if (!code.isEmpty() && !vendor.isEmpty() && !address.isEmpty() && chosenRow_ != NoChoice) {
        // Should it fail, the record is as it was; the boxes keep what the user typed.
        if (!engineStep([&] {
                makeChosenRecordCurrent();
                Data1->Edit();
                writeBoxes(code, vendor, address);
            }))
            return;
        cmdClear_Click();
    } else {
        msgBox(this, QStringLiteral("You must first search for a Vendor to Edit"));
        cmbVendor->setFocus();
        mnuAdd_Click();
    }
}

void frmMain::cmdAdd_Click()
{
    // A vendor name equal to one of the listed results is already in the
    // table. Only rows the last search filled hold a record.
    const QString vendor = cmbVendor->fieldText();
    const qint32 n = std::min<qint32>(cmbVendor->entryCount(), strVendArray.filledRows());
    for (qint32 r = 0; r < n; ++r) {
        if (vendor != strVendArray.at(r, ResultArray::Vendor))
            continue;
        askRecordAlreadyExists();
        return;
    }

    const QString code = cmbCode->fieldText();
    const QString address = addressFieldText();
    if (code.isEmpty() || vendor.isEmpty() || address.isEmpty()) {
        msgBox(this, QStringLiteral("Please fill in all of the information and click Add again"));
        return;
    }
    // The table keeps one record per vendor code, whatever the last search listed.
    bool codeTaken = false;
    if (!engineStep([&] { codeTaken = tableHoldsCode(code); }))
        return;
    if (codeTaken) {
        askRecordAlreadyExists();
        return;
    }

    if (engineStep([&] {
            Data1->AddNew();
            writeBoxes(code, vendor, address);
        }))
        engineStep([&] { Data1->Requery(); });
}

// Sets Code, then Vendor, then Address of the record being edited or added
// from the three boxes' texts, and saves it.
void frmMain::writeBoxes(const QString& code, const QString& vendor, const QString& address)
{
    (*fields_)[vendor::Code].setValue(code);
    (*fields_)[vendor::Vendor].setValue(vendor);
    (*fields_)[vendor::Address].setValue(address);
    Data1->Update();
}

// The refused Add: the user may clear the results to add another vendor.
void frmMain::askRecordAlreadyExists()
{
    intAnswer = static_cast<int>(
        msgBox(this,
               QStringLiteral("The Record you are trying to add\ris already in the database.\r"
                              "Would you like to clear the\rsearch results so that you may\r"
                              "add a vendor?"),
               MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Record Already Exists")));
    if (intAnswer == static_cast<int>(MsgResult::Yes))
        cmdClear_Click();
}

// Walks the whole table for a record whose code equals `code`, letter case
// aside (the codes are hexadecimal digits).
bool frmMain::tableHoldsCode(const QString& code)
{
    if (Data1->RecordCount() == 0)
        return false;
    const zorvane::records::Field& field = (*fields_)[vendor::Code];
    for (Data1->MoveFirst(); !Data1->Eof(); Data1->MoveNext()) {
        if (const auto value = field.Value(); value && value->compare(code, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Removes the chosen record at once; like Update it needs a choice that still
// stands.
void frmMain::CmdDelete_Click()
{
    if ((cmbCode->entryCount() > 0 || cmbVendor->entryCount() > 0) && chosenRow_ != NoChoice) {
        if (!engineStep([&] {
                makeChosenRecordCurrent();
                Data1->Delete();
            }))
            return;
        // The record is gone, so the listed record numbers no longer hold.
        engineStep([&] { Data1->Requery(); });
        cmdClear_Click();
    } else {
        msgBox(this, QStringLiteral("Please search for a vendor you wish to delete\r"
                                    "then retry this operation."),
               MsgButtons::Ok, MsgIcon::None, QStringLiteral("Nothing to Delete"));
        cmbVendor->setFocus();
        mnuAdd_Click();
    }
}

// MoveFirst, then Move by the chosen record number. The record found there
// must still be the one the chosen result row was copied from: when another
// program has changed the table since the search, the number can lead to
// another record, or past the last one. Throws when it does.
void frmMain::makeChosenRecordCurrent()
{
    Data1->MoveFirst();
    Data1->Move(intRecordNum);
    ResultArray here;
    qint32 rows = 0;
    FillArray(*Data1, *fields_, here, rows);
    for (int column = 0; column < ResultArray::Columns; ++column) {
        if (here.at(0, column) != strVendArray.at(chosenRow_, column)) {
            throw std::runtime_error(
                QStringLiteral("The vendor chosen in the list is no longer record %1 of table "
                               "\"oui\": the table has changed since the search. Search for the "
                               "vendor again and choose it.")
                    .arg(intRecordNum)
                    .toStdString());
        }
    }
}

// The address box's lines as the table keeps them, a carriage return and a
// line feed between lines.
QString frmMain::addressFieldText() const
{
    QString text = txtAddress->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

// Another program (zorvane-db, a refresh) may have changed the file since the
// window read it: the set then reads it again, and so does each row of the
// last search, from its record (found again by its code where it moved); a
// row whose code is gone stays as it was.
void frmMain::readAgainIfChanged()
{
    try {
        if (!Data1->ReadAgainIfChanged())
            return;
        const qint32 count = Data1->RecordCount();
        const zorvane::records::Field& codeField = (*fields_)[vendor::Code];
        std::optional<QHash<QString, QList<qint32>>> byCode;  // made when first needed
        for (qint32 row = 0; row < strVendArray.filledRows(); ++row) {
            const QString code = strVendArray.at(row, ResultArray::Code);
            qint32 number = 0;
            GetintRecordNum(strVendArray, number, row);
            bool found = false;
            if (number < count) {
                Data1->MoveFirst();
                Data1->Move(number);
                found = codeField.Value().value_or(QString()) == code;
            }
            if (!found) {
                if (!byCode) {
                    byCode.emplace();
                    qint32 n = 0;
                    for (Data1->MoveFirst(); count > 0 && !Data1->Eof(); Data1->MoveNext())
                        (*byCode)[codeField.Value().value_or(QString())].append(n++);
                }
                QList<qint32>& places = (*byCode)[code];
                if (places.isEmpty())
                    continue;
                number = places.takeFirst();
                Data1->MoveFirst();
                Data1->Move(number);
            }
            qint32 ctr = row;
            FillArray(*Data1, *fields_, strVendArray, ctr);
        }
    } catch (const std::exception& error) {
        showEngineError(error);
    }
}

void frmMain::showEngineError(const std::exception& error)
{
    msgBox(this, QString::fromUtf8(error.what()), MsgButtons::Ok, MsgIcon::Warning);
}

// ---- The search ------------------------------------------------------------

void frmMain::SearchCode()
{
    codeBoxAsStored();
    walkTable(SearchBy::Code);
}

// A hardware address or prefix typed in another notation than the stored
// code form is searched for as the stored code it could match: the longest
// code of the table (9, then 7, then 6 digits; the first of equal ones) that
// begins it, spelled as the table has it, else its first six digits in the
// code form. The code box shows the term as searched; the search itself is
// the same as for a typed code.
void frmMain::codeBoxAsStored()
{
    const std::optional<zorvane::addresses::Address> address = zorvane::lookup::addressInCodeBox(cmbCode->fieldText());
    if (!address)
        return;
    QString term = QString::fromStdString(zorvane::addresses::codeText(*address, 6));
    try {
        const zorvane::records::Field& field = (*fields_)[vendor::Code];
        int longest = 0;
        if (Data1->RecordCount() > 0)
            Data1->MoveFirst();
        for (; longest < 9 && Data1->RecordCount() > 0 && !Data1->Eof(); Data1->MoveNext()) {
            const std::optional<QString> value = field.Value();
            const auto code = value ? zorvane::lookup::storedCodeDigits(*value) : std::nullopt;
            if (code && code->nibbles > longest && code->nibbles <= address->nibbles &&
                code->value == address->first(code->nibbles)) {
                longest = code->nibbles;
                term = *value;
            }
        }
    } catch (const std::exception&) {
        // The search reads the table again and reports what fails.
    }
    cmbCode->setFieldText(term);
}

void frmMain::SearchVendor() { walkTable(SearchBy::Vendor); }

void frmMain::walkTable(SearchBy by)
{
    const bool byCode = by == SearchBy::Code;
    ResultCombo* const searched = byCode ? cmbCode : cmbVendor;
    ResultCombo* const other = byCode ? cmbVendor : cmbCode;
    const zorvane::records::Field& field = (*fields_)[byCode ? vendor::Code : vendor::Vendor];

    setHeightTwips(HeightSearching);
    repaint();
    strVendArray.Recreate();
    forgetChoice();
    readAgainIfChanged();  // the walk reads the file as it is now

    display_->beginWalk();
    cmbCode->beginBatch();
    cmbVendor->beginBatch();
    QString failure;
    try {
        // An empty table has no first or last record to move to; its search
        // simply finds nothing.
        const bool hasRecords = Data1->RecordCount() > 0;
        if (hasRecords)
            Data1->MoveLast();
        SearchTerm term(searched->fieldText());
        if (hasRecords)
            Data1->MoveFirst();
        while (hasRecords && !Data1->Eof()) {
            qint32 intPos = 0;  // where the term stands; the rule alone decides
            if (term.matches(field.Value(), intPos)) {
                if (byCode)
                    FoundCode();
                else
                    FoundVendor();
            }
            Progress1();
        }
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    cmbCode->endBatch();
    cmbVendor->endBatch();
    display_->endWalk();
    zorvane::lookup::discardQueuedInput();

    if (!failure.isEmpty())
        msgBox(this, failure, MsgButtons::Ok, MsgIcon::Warning);
    else if (other->entryCount() == 0)
        NotFound();
    display_->showPrg1(0);
    prg2->setValue(0);
    sts1Panel1->setText(QStringLiteral("Done"));
    setHeightTwips(HeightAfterSearch);
    setWidthTwips(lblCode, 2175);
}

void frmMain::Progress1()
{
    const float p = Data1->PercentPosition();
    display_->showPrg1(qRound(p / 100.0f * static_cast<float>(Prg1Maximum)));
    const qint32 a = Data1->AbsolutePosition();
    if (a >= 1)
        display_->showRecordNumber(a + 1);
    Data1->MoveNext();
    display_->frame();
}

void frmMain::NotFound()
{
    msgBox(this, QStringLiteral("No Matches Found"), MsgButtons::Ok, MsgIcon::Warning,
           QStringLiteral("Search Failed"));
}

// ---- The result lists ------------------------------------------------------

// The count text of a list: its number of entries, then what they are.
QString frmMain::countText(ResultCombo* list, int entries) const
{
    const char* what = list == cmbCode ? (entries == 1 ? " Vendor Code Found" : " Vendor Codes Found")
                                       : (entries == 1 ? " Vendor Found" : " Vendors Found");
    return QString::number(entries) + QLatin1String(what);
}

void frmMain::FoundCode()
{
    ++intNumRecords;
    addMatch(cmbCode, cmbVendor);
}

void frmMain::FoundVendor()
{
    ++intNumRecords;
    addMatch(cmbVendor, cmbCode);
}

// The shared steps of both match handlers: `searched` is the list of the field
// searched (each value once), `other` the list that takes one entry per match.
void frmMain::addMatch(zorvane::lookup::ResultCombo* searched, zorvane::lookup::ResultCombo* other)
{
    display_->showMatchCount(intNumRecords);
    const QString code = (*fields_)[vendor::Code].Value().value_or(QString());
    const QString vendor = (*fields_)[vendor::Vendor].Value().value_or(QString());
    const QString& searchedValue = searched == cmbCode ? code : vendor;
    const QString& otherValue = searched == cmbCode ? vendor : code;
    // The duplicate scan compares the value with each entry of its list in
    // turn, prg2 counting the entries compared; either way it ends with the bar
    // full, at the number of entries.
    bool isNew = true;
    if (const int n = searched->entryCount(); n > 0) {
        display_->showPrg2(n, n);
        isNew = !searched->hasEntry(searchedValue);
    }
    if (isNew)
        searched->addEntry(searchedValue);
    other->addEntry(otherValue);
    FillArray(*Data1, *fields_, strVendArray, intArrayCtr);
    display_->showFieldText(other, countText(other, other->entryCount()));
}

void frmMain::cmbCode_Click()
{
    if (cmbCode->fieldText().isEmpty() || cmbVendor->fieldText().isEmpty())
        return;
    setWidthTwips(cmbCode, 1000);
    setWidthTwips(lblCode, 1000);
    SearchArrayCode();
}

void frmMain::cmbVendor_Click()
{
    if (cmbCode->fieldText().isEmpty() || cmbVendor->fieldText().isEmpty())
        return;
    cmbCode->clearAll();
    SearchArrayVend();
}

void frmMain::SearchArrayCode() { showRowsOf(cmbCode, ResultArray::Code, cmbVendor, ResultArray::Vendor); }

void frmMain::SearchArrayVend() { showRowsOf(cmbVendor, ResultArray::Vendor, cmbCode, ResultArray::Code); }

// Walks every row the last search filled; each row whose `column` equals the
// text chosen in `chosen` adds its `otherColumn` to the list `other`, and the
// last such row stays shown.
void frmMain::showRowsOf(ResultCombo* chosen, int column, ResultCombo* other, int otherColumn)
{
    const QString text = chosen->fieldText();
    const qint32 rows = strVendArray.filledRows();
    forgetChoice();
    std::vector<qint32> chosenRows;
    for (qint32 Ctr = 0; Ctr < rows; ++Ctr) {
        if (strVendArray.at(Ctr, column) == text)
            chosenRows.push_back(Ctr);
    }
    // The rows chosen are shown as the file holds them now.
    if (!chosenRows.empty())
        readAgainIfChanged();
    for (const qint32 Ctr : chosenRows) {
        const QString& value = strVendArray.at(Ctr, otherColumn);
        other->addEntry(value);
        other->setFieldText(value);
        GetAddress(Ctr);
        GetintRecordNum(strVendArray, intRecordNum, Ctr);
        chosenRow_ = Ctr;
    }
}

void frmMain::cmbCode_KeyPress(int& KeyAscii) { typedInto(cmbCode, cmbVendor, KeyAscii); }

void frmMain::cmbVendor_KeyPress(int& KeyAscii) { typedInto(cmbVendor, cmbCode, KeyAscii); }

// A character typed into `typed` starts a new term: outside edit mode the
// other box is emptied and the typed box's list goes, its text stays.
void frmMain::typedInto(ResultCombo* typed, ResultCombo* other, int& KeyAscii)
{
    Q_UNUSED(KeyAscii);
    if (blnEditMode)
        return;
    other->clearAll();
    typed->removeEntries();
    forgetChoice();
}

void frmMain::GetAddress(qint32 Ctr)
{
    txtAddress->setPlainText(strVendArray.at(Ctr, ResultArray::Address));
}
