#include "addresswindow/frmAddresses.h"

#include "addresswindow/AddressTableModel.h"
#include "records/jet/Error.h"
#include "ui/AppInfo.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSaveFile>
#include <QSplitter>
#include <QTextCursor>
#include <QTextDocument>
#include <QStatusBar>
#include <QTableView>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <set>

namespace zorvane::addresswindow {

namespace {

// Pause after the last change of the text before it is read again.
constexpr int ScanPauseMs = 250;
constexpr int FilterPauseMs = 150;
// A text file larger than this is refused.
constexpr qint64 LargestText = 64 << 20;

// Text longer than this goes into the text pane a slice at a time.
constexpr qsizetype SliceChars = 128 * 1024;

// The text pane: a plain-text editor that takes a dropped file as the text to
// read, and hands pasted text to `pasted` (which inserts a long one in slices).
class InputPane final : public QPlainTextEdit {
public:
    std::function<void(const QString&)> fileDropped;
    std::function<void(const QString&)> pasted;

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override {
        return hasLocalFile(source) || QPlainTextEdit::canInsertFromMimeData(source);
    }
    void insertFromMimeData(const QMimeData* source) override {
        if (hasLocalFile(source) && fileDropped)
            fileDropped(source->urls().first().toLocalFile());
        else if (source->hasText() && source->text().size() > SliceChars && pasted)
            pasted(source->text());
        else
            QPlainTextEdit::insertFromMimeData(source);
    }

private:
    static bool hasLocalFile(const QMimeData* source) {
        return source->hasUrls() && !source->urls().isEmpty() && source->urls().first().isLocalFile();
    }
};

QTableView* makeTable(QWidget* parent, const char* name) {
    auto* view = new QTableView(parent);
    view->setObjectName(QLatin1String(name));
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTabKeyNavigation(false);  // Tab moves on to the next control
    view->setSortingEnabled(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setHighlightSections(false);
    return view;
}

} // namespace

QString frmAddresses::defaultDatabase() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/zorvane/oui.mdb");
}

frmAddresses::frmAddresses(const QString& databasePath, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmAddresses"));
    setWindowTitle(QStringLiteral("Zorvane Addresses"));
    resize(1180, 660);

    auto* input = new InputPane;
    input->fileDropped = [this](const QString& path) { openText(path); };
    input->pasted = [this](const QString& text) { insertText(text, false); };
    txtInput = input;
    txtInput->setObjectName(QStringLiteral("txtInput"));
    txtInput->setPlaceholderText(QStringLiteral("Paste or type text that holds hardware addresses, or drop a file here"));
    txtInput->setTabChangesFocus(true);
    txtInput->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtInput->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    txtFilter = new QLineEdit;
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("Filter: address, vendor, code, kind..."));
    txtFilter->setClearButtonEnabled(true);

    model_ = new AddressTableModel(this);
    tblAddresses = makeTable(this, "tblAddresses");
    tblAddresses->setModel(model_);
    tblAddresses->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tblAddresses->horizontalHeader()->setStretchLastSection(false);
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    tblAddresses->setColumnWidth(AddressTableModel::Address, fixed.horizontalAdvance(QStringLiteral("00:00:00:00:00:00:00:00")) + em);
    tblAddresses->setColumnWidth(AddressTableModel::Vendor, 16 * em);
    tblAddresses->setColumnWidth(AddressTableModel::Block, 4 * em);
    tblAddresses->setColumnWidth(AddressTableModel::Code, fixed.horizontalAdvance(QStringLiteral("00-00-00-00-0")) + em);
    tblAddresses->setColumnWidth(AddressTableModel::Kind, 20 * em);
    tblAddresses->setColumnWidth(AddressTableModel::Postal, 16 * em);
    tblAddresses->setColumnWidth(AddressTableModel::Line, 4 * em);

    vendors_ = new VendorSummaryModel(this);
    tblVendors = makeTable(this, "tblVendors");
    tblVendors->setModel(vendors_);
    tblVendors->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    tblVendors->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    tblVendors->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* lblFilter = new QLabel(QStringLiteral("Fil&ter:"));
    lblFilter->setBuddy(txtFilter);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(lblFilter);
    filterRow->addWidget(txtFilter);
    auto* tablePane = new QWidget;
    auto* tableLayout = new QVBoxLayout(tablePane);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->addLayout(filterRow);
    tableLayout->addWidget(tblAddresses);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->addWidget(txtInput);
    splitter->addWidget(tablePane);
    splitter->addWidget(tblVendors);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 6);
    splitter->setStretchFactor(2, 2);
    splitter->setSizes({330, 620, 230});
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);
    setTabOrder(txtInput, txtFilter);
    setTabOrder(txtFilter, tblAddresses);
    setTabOrder(tblAddresses, tblVendors);

    lblSummary = new QLabel;
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblDatabase = new QLabel;
    lblDatabase->setObjectName(QStringLiteral("lblDatabase"));
    statusBar()->addWidget(lblSummary, 1);
    statusBar()->addPermanentWidget(lblDatabase);

    scanTimer_ = new QTimer(this);
    scanTimer_->setSingleShot(true);
    scanTimer_->setInterval(ScanPauseMs);
    connect(scanTimer_, &QTimer::timeout, this, &frmAddresses::startScan);
    connect(txtInput, &QPlainTextEdit::textChanged, this, &frmAddresses::scheduleScan);
    // A large change (a paste, a file) is read at once, without the pause.
    connect(txtInput->document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (removed + added > 4096 && pending_.isEmpty())
            QTimer::singleShot(0, this, &frmAddresses::startScan);
    });
    filterTimer_ = new QTimer(this);
    filterTimer_->setSingleShot(true);
    filterTimer_->setInterval(FilterPauseMs);
    connect(filterTimer_, &QTimer::timeout, this, [this] {
        model_->setFilter(txtFilter->text());
        showSummary();
    });
    connect(txtFilter, &QLineEdit::textChanged, filterTimer_, qOverload<>(&QTimer::start));
    // A row chosen (Enter, a double click) shows its address in the text.
    connect(tblAddresses, &QTableView::activated, this, [this](const QModelIndex& index) {
        if (!model_->scan() || *model_->scan()->text != txtInput->toPlainText().toStdString())
            return;  // the text changed since; the table follows shortly
        const auto [at, length] = model_->place(index.row());
        QTextCursor cursor = txtInput->textCursor();
        cursor.setPosition(at);
        cursor.setPosition(at + length, QTextCursor::KeepAnchor);
        txtInput->setTextCursor(cursor);
        txtInput->centerCursor();
        txtInput->setFocus();
    });
    // A vendor chosen in the summary narrows the table to it.
    connect(tblVendors, &QTableView::activated, this, [this](const QModelIndex& index) {
        txtFilter->setText(vendors_->vendor(index.row()));
    });

    createActions();

    QString reason;
    const QString path = databasePath.isEmpty() ? defaultDatabase() : databasePath;
    if (!openDatabase(path, &reason)) {
        databasePath_ = path;
        lblDatabase->setText(QStringLiteral("No vendor database: %1").arg(reason));
    }
    showSummary();
    txtInput->setFocus();
}

frmAddresses::~frmAddresses() = default;

void frmAddresses::createActions() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = file->addAction(QStringLiteral("&Open..."), this, &frmAddresses::chooseText);
    open->setObjectName(QStringLiteral("actOpen"));
    open->setShortcut(QKeySequence::Open);
    QAction* openDatabase = file->addAction(QStringLiteral("Open &Database..."), this, &frmAddresses::chooseDatabase);
    openDatabase->setObjectName(QStringLiteral("actOpenDatabase"));
    openDatabase->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    QAction* save = file->addAction(QStringLiteral("Save &As..."), this, &frmAddresses::saveAs);
    save->setObjectName(QStringLiteral("actSaveAs"));
    save->setShortcut(QKeySequence::SaveAs);
    if (save->shortcut().isEmpty())
        save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("actQuit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* copy = edit->addAction(QStringLiteral("&Copy Rows"), this, &frmAddresses::copyRows);
    copy->setObjectName(QStringLiteral("actCopyRows"));
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    // Ctrl+C in the table copies its rows too (in the text pane it copies text).
    auto* copyInTable = new QAction(tblAddresses);
    copyInTable->setShortcut(QKeySequence::Copy);
    copyInTable->setShortcutContext(Qt::WidgetShortcut);
    connect(copyInTable, &QAction::triggered, this, &frmAddresses::copyRows);
    tblAddresses->addAction(copyInTable);
    QAction* selectAll = edit->addAction(QStringLiteral("Select All &Rows"), tblAddresses, &QTableView::selectAll);
    selectAll->setObjectName(QStringLiteral("actSelectAllRows"));
    QAction* find = edit->addAction(QStringLiteral("&Filter"), this, [this] {
        txtFilter->setFocus();
        txtFilter->selectAll();
    });
    find->setObjectName(QStringLiteral("actFilter"));
    find->setShortcut(QKeySequence::Find);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About Zorvane Addresses"), this, [this] {
        msgBox(this,
               QStringLiteral("Zorvane Addresses %1\rThe vendor and kind of every hardware address in a text.")
                   .arg(AppInfo::versionLine().mid(8)),
               MsgButtons::Ok, MsgIcon::None, QStringLiteral("About Zorvane Addresses"));
    });
}

bool frmAddresses::openDatabase(const QString& path, QString* reason) {
    try {
        auto index = std::make_shared<const addresses::VendorIndex>(
            addresses::VendorIndex::read(QFile::encodeName(path).toStdString()));
        index_ = std::move(index);
    } catch (const std::exception& error) {
        if (reason)
            *reason = QString::fromUtf8(error.what());
        return false;
    }
    databasePath_ = path;
    lblDatabase->setText(QStringLiteral("%1 (%2 records)")
                             .arg(QDir::toNativeSeparators(path), QLocale(QLocale::English).toString(qulonglong(index_->recordCount()))));
    lblDatabase->setToolTip(QFileInfo(path).absoluteFilePath());
    startScan();  // the same text answered from the new database
    return true;
}

bool frmAddresses::openText(const QString& path) {
    QFile file(path);
    QString reason;
    if (!file.open(QIODevice::ReadOnly))
        reason = file.errorString();
    else if (file.size() > LargestText)
        reason = QStringLiteral("It is larger than %1 MB.").arg(LargestText >> 20);
    if (reason.isEmpty()) {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            reason = file.errorString();
        } else {
            insertText(QString::fromUtf8(bytes), true);
            setWindowTitle(QStringLiteral("%1 - Zorvane Addresses").arg(QFileInfo(path).fileName()));
            txtInput->setFocus();
            return true;
        }
    }
    msgBox(this, QStringLiteral("The file \"%1\" cannot be read.\r%2").arg(QDir::toNativeSeparators(path), reason),
           MsgButtons::Ok, MsgIcon::Warning);
    return false;
}

void frmAddresses::insertText(const QString& text, bool replace) {
    if (replace)
        txtInput->clear();
    if (text.size() <= SliceChars && pending_.isEmpty()) {
        txtInput->insertPlainText(text);
        return;
    }
    pending_ += text;
    if (txtInput->isReadOnly())
        return;  // slices are being inserted; this follows them
    pendingAt_ = 0;
    firstSlice_ = true;
    txtInput->setReadOnly(true);
    statusBar()->showMessage(QStringLiteral("Reading the text..."));
    insertNextSlice();
}

void frmAddresses::insertNextSlice() {
    // A slice ends at a line end where there is one.
    qsizetype end = std::min(pending_.size(), pendingAt_ + SliceChars);
    if (end < pending_.size()) {
        const qsizetype lineEnd = pending_.lastIndexOf(QLatin1Char('\n'), end - 1);
        if (lineEnd > pendingAt_)
            end = lineEnd + 1;
    }
    QTextCursor cursor = txtInput->textCursor();
    // One undo step for the whole insertion.
    if (firstSlice_)
        cursor.beginEditBlock();
    else
        cursor.joinPreviousEditBlock();
    cursor.insertText(QStringView(pending_).mid(pendingAt_, end - pendingAt_).toString());
    cursor.endEditBlock();
    txtInput->setTextCursor(cursor);
    firstSlice_ = false;
    pendingAt_ = end;
    if (pendingAt_ < pending_.size()) {
        QTimer::singleShot(0, this, &frmAddresses::insertNextSlice);
        return;
    }
    pending_.clear();
    pendingAt_ = 0;
    txtInput->setReadOnly(false);
    statusBar()->clearMessage();
    startScan();
}

void frmAddresses::scheduleScan() {
    if (pending_.isEmpty())
        scanTimer_->start();
}

// Reads the text as it now is on a worker thread; a change meanwhile makes
// another scan when this one ends, and only the newest is shown.
void frmAddresses::startScan() {
    scanTimer_->stop();
    if (!pending_.isEmpty())
        return;  // the text is still going in
    if (scanning_) {
        scanDue_ = true;
        return;
    }
    scanning_ = true;
    scanDue_ = false;
    const quint64 generation = ++generation_;
    auto text = std::make_shared<const std::string>(txtInput->toPlainText().toStdString());
    auto index = index_ ? index_ : std::make_shared<const addresses::VendorIndex>();
    statusBar()->showMessage(QStringLiteral("Finding addresses..."));
    QPointer<frmAddresses> window(this);
    QThreadPool::globalInstance()->start([window, generation, text, index] {
        auto scan = std::make_shared<const Scan>(scanText(text, *index));
        QMetaObject::invokeMethod(qApp, [window, generation, scan] {
            if (window)
                window->showScan(generation, scan);
        }, Qt::QueuedConnection);
    });
}

void frmAddresses::showScan(quint64 generation, std::shared_ptr<const Scan> scan) {
    scanning_ = false;
    if (generation != generation_ || scanDue_) {
        startScan();
        return;
    }
    statusBar()->clearMessage();
    model_->setScan(scan, index_);
    vendors_->setScan(scan);
    tblVendors->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    showSummary();
    emit tableFilled();
}

QString frmAddresses::summary() const { return lblSummary->text(); }

void frmAddresses::showSummary() {
    QString text = QString::fromStdString(summaryLine(model_->scan() ? *model_->scan() : Scan{}));
    if (!model_->filter().trimmed().isEmpty())
        text += QStringLiteral(" (%1 shown)").arg(QLocale(QLocale::English).toString(model_->rowCount()));
    lblSummary->setText(text);
}

void frmAddresses::copyRows() {
    std::set<int> rows;
    for (const QModelIndex& index : tblAddresses->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    if (rows.empty() && tblAddresses->currentIndex().isValid())
        rows.insert(tblAddresses->currentIndex().row());
    if (rows.empty())
        return;
    QApplication::clipboard()->setText(model_->tabSeparated(std::vector<int>(rows.begin(), rows.end())));
    statusBar()->showMessage(QStringLiteral("%1 rows copied").arg(rows.size()), 3000);
}

void frmAddresses::saveAs() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), QStringLiteral("addresses.csv"),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = model_->csv();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        msgBox(this, QStringLiteral("The file \"%1\" cannot be written.\r%2").arg(QDir::toNativeSeparators(path), file.errorString()),
               MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    statusBar()->showMessage(QStringLiteral("%1 rows saved to %2").arg(model_->rowCount()).arg(QFileInfo(path).fileName()), 5000);
}

void frmAddresses::chooseText() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                                      QStringLiteral("Text files (*.txt *.log *.leases);;All files (*)"));
    if (!path.isEmpty())
        openText(path);
}

void frmAddresses::chooseDatabase() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Database"),
                                                      QFileInfo(databasePath_).absolutePath(),
                                                      QStringLiteral("Vendor databases (*.mdb);;All files (*)"));
    if (path.isEmpty())
        return;
    QString reason;
    if (!openDatabase(path, &reason))
        msgBox(this, QStringLiteral("The vendor database \"%1\" cannot be opened.\r%2").arg(QDir::toNativeSeparators(path), reason),
               MsgButtons::Ok, MsgIcon::Warning);
}

} // namespace zorvane::addresswindow
