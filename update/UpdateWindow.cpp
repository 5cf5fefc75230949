#include "update/UpdateWindow.h"

#include "listing/Refresh.h"
#include "records/jet/Error.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QShowEvent>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

namespace zorvane::update {

using namespace listing;

namespace {

QString number(qint64 n) { return QLocale(QLocale::English).toString(n); }

const char* const RegistryNames[] = {"MA-L (oui.txt)", "MA-M (mam.txt)", "MA-S (oui36.txt)", "IAB (iab.txt)",
                                     "CID (cid.txt)"};

} // namespace

UpdateWindow::UpdateWindow(UpdateOptions options, QWidget* parent) : QWidget(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Update Vendor List"));
    openReport = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(QStringLiteral("Fetching the vendor lists from %1").arg(options_.download.site), this);
    heading_->setObjectName(QStringLiteral("lblHeading"));
    heading_->setWordWrap(true);
    layout->addWidget(heading_);
    auto* grid = new QGridLayout;
    for (std::size_t i = 0; i < SiteFiles.size(); ++i) {
        grid->addWidget(new QLabel(QString::fromLatin1(RegistryNames[i]), this), int(i), 0);
        bars_[i] = new QProgressBar(this);
        bars_[i]->setObjectName(QStringLiteral("barFile%1").arg(i));
        bars_[i]->setRange(0, 100);
        bars_[i]->setValue(0);
        bars_[i]->setMinimumWidth(220);
        grid->addWidget(bars_[i], int(i), 1);
        notes_[i] = new QLabel(QStringLiteral("waiting"), this);
        notes_[i]->setObjectName(QStringLiteral("lblFile%1").arg(i));
        notes_[i]->setMinimumWidth(170);
        grid->addWidget(notes_[i], int(i), 2);
    }
    layout->addLayout(grid);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("lblSummary"));
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    reportButton_ = new QPushButton(QStringLiteral("Open Change Report"), this);
    reportButton_->setObjectName(QStringLiteral("cmdReport"));
    reportButton_->setEnabled(false);
    buttons->addWidget(reportButton_);
    closeButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    closeButton_->setObjectName(QStringLiteral("cmdCancel"));
    closeButton_->setDefault(true);
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);
    connect(reportButton_, &QPushButton::clicked, this, [this] { openReport(options_.report); });
    connect(closeButton_, &QPushButton::clicked, this, &UpdateWindow::cancelOrClose);
}

UpdateWindow::~UpdateWindow() = default;

void UpdateWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (state_ == State::Idle)
        QMetaObject::invokeMethod(this, &UpdateWindow::start, Qt::QueuedConnection);
}

void UpdateWindow::setState(State state) {
    state_ = state;
    const bool finished = state == State::Done || state == State::Failed || state == State::Cancelled;
    closeButton_->setText(finished ? QStringLiteral("Close") : QStringLiteral("Cancel"));
    closeButton_->setEnabled(state != State::Refreshing);
    emit stateChanged();
}

void UpdateWindow::start() {
    if (state_ != State::Idle)
        return;
    if (!QFile::exists(options_.database)) {
        summary_->setText(QStringLiteral("%1: there is no vendor database yet; start Zorvane once to make it.")
                              .arg(options_.database));
        return setState(State::Failed);
    }
    DownloadOptions download = options_.download;
    download.minEntries = options_.minEntries;
    downloader_ = std::make_unique<Downloader>(download);
    connect(downloader_.get(), &Downloader::waiting, this,
            [this] { heading_->setText(QStringLiteral("Waiting for another download into %1").arg(options_.download.folder)); });
    connect(downloader_.get(), &Downloader::fileStarted, this, [this](int file) {
        heading_->setText(QStringLiteral("Fetching the vendor lists from %1").arg(options_.download.site));
        notes_[std::size_t(file)]->setText(QStringLiteral("asking"));
    });
    connect(downloader_.get(), &Downloader::progress, this, [this](int file, qint64 received, qint64 total) {
        QProgressBar* bar = bars_[std::size_t(file)];
        if (total > 0) {
            bar->setRange(0, 100);
            bar->setValue(int(received * 100 / total));
        } else {
            bar->setRange(0, 0);  // busy: the size is not known
        }
        notes_[std::size_t(file)]->setText(QStringLiteral("%1 bytes").arg(number(received)));
    });
    connect(downloader_.get(), &Downloader::fileFinished, this, [this](int file) {
        const FileResult& r = downloader_->result().files[std::size_t(file)];
        bars_[std::size_t(file)]->setRange(0, 100);
        bars_[std::size_t(file)]->setValue(100);
        QString note;
        switch (r.outcome) {
        case FileOutcome::New:
            note = QStringLiteral("new, %1 entries").arg(number(r.entries));
            break;
        case FileOutcome::Unchanged:
            note = QStringLiteral("unchanged, %1 entries").arg(number(r.entries));
            break;
        default:
            note = QStringLiteral("not on the site");
            bars_[std::size_t(file)]->setValue(0);
            break;
        }
        notes_[std::size_t(file)]->setText(note);
    });
    connect(downloader_.get(), &Downloader::finished, this, &UpdateWindow::downloaded);
    setState(State::Downloading);
    downloader_->start();
}

void UpdateWindow::downloaded() {
    const DownloadResult& result = downloader_->result();
    if (result.cancelled) {
        summary_->setText(QStringLiteral("Cancelled: nothing was changed."));
        return setState(State::Cancelled);
    }
    if (!result.ok) {
        summary_->setText(result.error + QLatin1Char('.'));
        return setState(State::Failed);
    }
    heading_->setText(QStringLiteral("Bringing %1 up to date").arg(options_.database));
    setState(State::Refreshing);
    // The refresh reads the listing and writes the database in a thread of
    // its own, so that the window keeps drawing.
    const UpdateOptions options = options_;
    QPointer<UpdateWindow> self(this);
    QThread* worker = QThread::create([options, self] {
        bool ok = false;
        QString text;
        try {
            const ListingResult read = readListing(options.download.folder);
            std::unique_ptr<QSaveFile> csv;
            RefreshOptions refresh;
            refresh.minEntries = options.minEntries;
            refresh.report = [&](const QByteArray& bytes) {
                csv = std::make_unique<QSaveFile>(options.report);
                if (!csv->open(QIODevice::WriteOnly) || csv->write(bytes) != bytes.size())
                    throw jet::Error(options.report.toStdString() + ": the report of changes could not be written (" +
                                     csv->errorString().toStdString() + "), so nothing was changed.");
            };
            const RefreshOutcome outcome = refreshDatabase(options.database, read, options.download.folder, refresh);
            if (csv)
                csv->commit();
            const auto& c = outcome.counts;
            text = QStringLiteral("%1 added, %2 updated, %3 removed, %4 kept, %5 conflicts")
                       .arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]).arg(c[4]);
            ok = true;
        } catch (const std::exception& e) {
            text = QString::fromUtf8(e.what());
        }
        QMetaObject::invokeMethod(
            qApp, [self, ok, text] { if (self) self->refreshed(ok, text); }, Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void UpdateWindow::refreshed(bool ok, const QString& text) {
    if (!ok) {
        summary_->setText(text);
        return setState(State::Failed);
    }
    heading_->setText(QStringLiteral("The vendor list is up to date."));
    summary_->setText(QStringLiteral("Vendor records: %1.").arg(text));
    reportButton_->setEnabled(QFile::exists(options_.report));
    setState(State::Done);
}

void UpdateWindow::cancelOrClose() {
    if (state_ == State::Downloading && downloader_)
        downloader_->cancel();
    else if (state_ != State::Refreshing)
        close();
}

} // namespace zorvane::update
