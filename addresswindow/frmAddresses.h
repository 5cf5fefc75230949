#pragma once
#include "addresses/VendorIndex.h"
#include "addresswindow/AddressScan.h"

#include <QMainWindow>
#include <QString>

#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableView;
class QTimer;

namespace zorvane::addresswindow {

class AddressTableModel;
class VendorSummaryModel;

// The Addresses window (zorvane-addresses): text pasted, typed, dropped or
// opened in the text pane on the left; every hardware address in it, with its
// vendor and kind, in the table beside it, filled as the text changes (after
// a short pause, the text read on a worker thread); a filter box over the
// table, a vendor summary, the counts in the status bar, the rows copied as
// tab-separated text or saved as CSV.
class frmAddresses : public QMainWindow {
    Q_OBJECT
public:
    // Opens the vendor database `databasePath` (empty: defaultDatabase()). A
    // database that cannot be opened leaves the window without vendors and
    // says so in the status bar.
    explicit frmAddresses(const QString& databasePath = QString(), QWidget* parent = nullptr);
    ~frmAddresses() override;

    // $XDG_DATA_HOME/zorvane/oui.mdb (by default ~/.local/share/zorvane/oui.mdb).
    static QString defaultDatabase();

    // Opens a vendor database in place of the current one; false, and the
    // reason in `reason`, when it cannot.
    bool openDatabase(const QString& path, QString* reason);
    // Puts the text of the file `path` into the text pane; false and a message box when it cannot.
    bool openText(const QString& path);

    const AddressTableModel& table() const { return *model_; }
    QString databasePath() const { return databasePath_; }
    // The status bar's counts, as last shown.
    QString summary() const;

signals:
    // The table shows the text as it now is.
    void tableFilled();

private:
    void createActions();
    void scheduleScan();
    void startScan();
    void showScan(quint64 generation, std::shared_ptr<const Scan> scan);
    void showSummary();
    void copyRows();
    void saveAs();
    void chooseText();
    void chooseDatabase();
    // Puts `text` into the text pane at the cursor (`replace`: in place of
    // all of it), a slice at a time when it is long, so that the window keeps
    // answering; the pane takes no typing meanwhile.
    void insertText(const QString& text, bool replace);
    void insertNextSlice();

    QPlainTextEdit* txtInput = nullptr;
    QLineEdit* txtFilter = nullptr;
    QTableView* tblAddresses = nullptr;
    QTableView* tblVendors = nullptr;
    QLabel* lblSummary = nullptr;
    QLabel* lblDatabase = nullptr;
    AddressTableModel* model_ = nullptr;
    VendorSummaryModel* vendors_ = nullptr;
    QTimer* scanTimer_ = nullptr;
    QTimer* filterTimer_ = nullptr;

    QString databasePath_;
    std::shared_ptr<const addresses::VendorIndex> index_;
    quint64 generation_ = 0;
    bool scanning_ = false;  // a scan runs; another is due when it ends
    bool scanDue_ = false;
    QString pending_;         // text still to insert
    qsizetype pendingAt_ = 0;
    bool firstSlice_ = false;
};

} // namespace zorvane::addresswindow
