#pragma once
// The "Update Vendor List" window (zorvane-launch --update, the menu entry's
// desktop action): fetches the IEEE listing into the download folder
// (listing/Download.h), showing each registry's progress, then refreshes the
// user's database from it (listing/Refresh.h) and shows what changed, with a
// button that opens the report of changes. Cancel, while the files come,
// stops with nothing changed; a failure shows its one-line reason. It reaches
// the network only because the user asked for it: it starts on show.

#include "listing/Download.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zorvane::update {

struct UpdateOptions {
    listing::DownloadOptions download;  // site and folder
    QString database;                   // the user's oui.mdb
    QString report;                     // where the report of changes goes (CSV)
    int minEntries = 0;                 // 0: the floors of a complete listing
};

class UpdateWindow : public QWidget {
    Q_OBJECT
public:
    explicit UpdateWindow(UpdateOptions options, QWidget* parent = nullptr);
    ~UpdateWindow() override;

    // Opens the report of changes; by default with the desktop's program for CSV files.
    std::function<void(const QString& path)> openReport;

    enum class State { Idle, Downloading, Refreshing, Done, Failed, Cancelled };
    State state() const { return state_; }

signals:
    void stateChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void start();
    void downloaded();
    void refreshed(bool ok, const QString& text);
    void setState(State state);
    void cancelOrClose();

    UpdateOptions options_;
    State state_ = State::Idle;
    std::unique_ptr<listing::Downloader> downloader_;
    QLabel* heading_ = nullptr;
    std::array<QProgressBar*, listing::SiteFiles.size()> bars_{};
    std::array<QLabel*, listing::SiteFiles.size()> notes_{};
    QLabel* summary_ = nullptr;
    QPushButton* reportButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

} // namespace zorvane::update
