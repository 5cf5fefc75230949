#pragma once
#include "lookup/ResultArray.h"

#include <QMainWindow>
#include <QString>

#include <exception>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace zorvane::records {
class RecordSet;
}
namespace zorvane::lookup {
class ResultCombo;
class WalkDisplay;
}

// The lookup window: the program's one working window. It holds the record set
// over table "oui" for as long as it exists, searches it by vendor code or by
// vendor name, lists the matches in two linked lists and shows the address of
// the chosen one.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Creates and loads the lookup window over table "oui" of `path`, by
    // default "oui.mdb" in the working directory; the caller shows it. The
    // window deletes itself when it is closed. When the database cannot be
    // opened, says so in one message box that names the file, the folder and
    // the reason (started from the menu, which could not make the database:
    // the menu's reason), and returns nullptr.
    static frmMain* load(const QString& path = QString());

    // The lookup window over table "oui" of the database file at `databasePath`.
    // Throws zorvane::jet::Error when the file or the table cannot be opened.
    explicit frmMain(const QString& databasePath, QWidget* parent = nullptr);
    ~frmMain() override;

    // Outer heights of the window as drawn, title bar, menu bar and borders
    // included; setHeightTwips() turns them into this window system's sizes.
    static constexpr int HeightSearching = 5625;
    static constexpr int HeightAfterSearch = 4020;
    // The client area (menu bar excluded) when the window is created.
    static constexpr int ClientWidthTwips = 3840;
    static constexpr int ClientHeightAtLoadTwips = 2115;
    // Client width in edit mode: wide enough for the column of edit buttons.
    static constexpr int ClientWidthEditTwips = 5775;

    // What the window holds; read by record editing and by tests.
    const zorvane::lookup::ResultArray& results() const { return strVendArray; }
    qint32 recordNum() const { return intRecordNum; }
    qint32 numRecords() const { return intNumRecords; }
    qint32 arrayCtr() const { return intArrayCtr; }
    bool editMode() const { return blnEditMode; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createMenus();
    void arrangeTabOrder();
    void connectControls();

    void Form_Load();

    // Commands.
    void cmdSearch_Click();
    void cmdClear_Click();
    void cmdExit_Click();
    void mnuHelpHowTo_Click();
    void mnuHelpAbout_Click();
    void mnuAdd_Click();
    void cmdCloseEdit_Click();

    // Record editing.
    void cmdUpdate_Click();
    void cmdAdd_Click();
    void CmdDelete_Click();
    void writeBoxes(const QString& code, const QString& vendor, const QString& address);
    void askRecordAlreadyExists();
    bool tableHoldsCode(const QString& code);
    void makeChosenRecordCurrent();
    QString addressFieldText() const;
    void showEngineError(const std::exception& error);
    // Runs one piece of the engine's work; an error it throws is shown to the
    // user and the answer is false.
    template <typename Step>
    bool engineStep(Step&& step)
    {
        try {
            step();
            return true;
        } catch (const std::exception& error) {
            showEngineError(error);
            return false;
        }
    }
    void readAgainIfChanged();
    void forgetChoice() { chosenRow_ = NoChoice; }

    // The search.
    void SearchCode();
    void codeBoxAsStored();
    void SearchVendor();
    enum class SearchBy { Code, Vendor };
    void walkTable(SearchBy by);
    void Progress1();
    void NotFound();

    // The result lists.
    void FoundCode();
    void FoundVendor();
    void cmbCode_Click();
    void cmbVendor_Click();
    void SearchArrayCode();
    void SearchArrayVend();
    void showRowsOf(zorvane::lookup::ResultCombo* chosen, int column,
                    zorvane::lookup::ResultCombo* other, int otherColumn);
    void cmbCode_KeyPress(int& KeyAscii);
    void cmbVendor_KeyPress(int& KeyAscii);
    void typedInto(zorvane::lookup::ResultCombo* typed, zorvane::lookup::ResultCombo* other,
                   int& KeyAscii);
    void GetAddress(qint32 Ctr);

    // Window geometry.
    void setHeightTwips(int outerHeightTwips);
    void setClientSizeTwips(int widthTwips, int heightTwips);
    int clientWidthTwips() const;
    void setWidthTwips(QWidget* widget, int widthTwips);

    // What the walk shows, and the count texts of the lists.
    void addMatch(zorvane::lookup::ResultCombo* searched, zorvane::lookup::ResultCombo* other);
    QString countText(zorvane::lookup::ResultCombo* list, int entries) const;
    void markDefaultButton(QWidget* focus);
    void placePanels();

    // The record set of the data control, over table "oui", and its fields.
    std::unique_ptr<zorvane::records::RecordSet> Data1;
    std::unique_ptr<zorvane::lookup::VendorFields> fields_;

    // Controls, named as designed.
    QLabel* lblCode = nullptr;
    zorvane::lookup::ResultCombo* cmbCode = nullptr;
    QLabel* Label1 = nullptr;
    zorvane::lookup::ResultCombo* cmbVendor = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdExit = nullptr;
    QPlainTextEdit* txtAddress = nullptr;
    QProgressBar* prg2 = nullptr;
    QLabel* lblCodeVendFound = nullptr;
    QProgressBar* prg1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* cmdUpdate = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* CmdDelete = nullptr;
    QPushButton* cmdCloseEdit = nullptr;
    QStatusBar* sts1 = nullptr;
    QLabel* sts1Panel1 = nullptr;
    QLabel* sts1Panel2 = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpHowTo = nullptr;
    QAction* mnuHelpAbout = nullptr;
    QAction* mnuAdd = nullptr;

    // Window-level state.
    qint32 intNumRecords = 0;
    qint32 intArrayCtr = 0;
    zorvane::lookup::ResultArray strVendArray;
    qint32 intRecordNum = 0;
    // The result row whose record intRecordNum names, while that choice still
    // stands: a search refills the lists and emptying them forgets it.
    static constexpr qint32 NoChoice = -1;
    qint32 chosenRow_ = NoChoice;
    bool blnEditMode = false;
    int intAnswer = 0;

    // Draws the walk's progress at the screen's pace.
    std::unique_ptr<zorvane::lookup::WalkDisplay> display_;

    int clientHeightTwips_ = ClientHeightAtLoadTwips;
    // The client height edit mode found when it was entered.
    std::optional<int> heightBeforeEdit_;
    bool centred_ = false;
};
