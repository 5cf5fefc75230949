#pragma once
// The IEEE listing fetched from the IEEE's site into a folder, never replacing
// a good copy with a bad one. Each registry file is asked for conditionally
// (the ETag and Last-Modified of the copy in the folder: a 304 keeps it),
// checked before use (status 200, the registry's header, entries that parse
// as the importer parses them, at least 90% as many as the copy it replaces
// or on a first download the floors of a complete listing), and written under
// a temporary name; only when every file passed are they renamed into place
// and the folder's record (ListingFolders.h) written. A failure leaves the folder
// as it was. cid.txt (the CID registry) is fetched too, but may be missing.
//
// HTTPS with certificate checks; at most five redirects (http to https
// included, https to http never); proxies from the environment (https_proxy,
// http_proxy, no_proxy); compressed transfer; a transfer that sends nothing
// for 30 s, or a body over 64 MiB, is given up. Two downloads into one folder
// take turns (a lock on the folder).

#include "listing/IeeeListing.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

namespace zorvane::listing {

inline constexpr char DefaultListingSite[] = "https://standards-oui.ieee.org";
inline constexpr char ListingUserAgent[] = "Mozilla/5.0 (X11; Linux x86_64) Zorvane/2.6.0 (vendor list update)";
inline constexpr int StallSeconds = 30;
inline constexpr qint64 MaxListingBytes = qint64(64) << 20;
inline constexpr int MaxRedirects = 5;

struct SiteFile {
    const char* fileName;  // in the folder
    const char* sitePath;  // below the site's address
    int registry;          // index into RegistryFiles; -1: the CID registry
};
inline constexpr std::array<SiteFile, 5> SiteFiles = {{
    {"oui.txt", "oui/oui.txt", 0},
    {"mam.txt", "oui28/mam.txt", 1},
    {"oui36.txt", "oui36/oui36.txt", 2},
    {"iab.txt", "iab/iab.txt", 3},
    {"cid.txt", "cid/cid.txt", -1},
}};

struct DownloadOptions {
    QString site = QString::fromLatin1(DefaultListingSite);
    QString folder;
    int stallSeconds = StallSeconds;
    int minEntries = 0;  // 0: the floors of a complete listing
};

enum class FileOutcome { Pending, New, Unchanged, Absent, Failed };

struct FileResult {
    FileOutcome outcome = FileOutcome::Pending;
    int entries = 0;
    qint64 bytes = 0;
    QString note;  // why an optional file was passed over
};

struct DownloadResult {
    bool ok = false;
    bool cancelled = false;
    QString error;  // one line: "URL: reason" or "FOLDER: reason"
    std::array<FileResult, SiteFiles.size()> files{};
};

class Downloader : public QObject {
    Q_OBJECT
public:
    explicit Downloader(DownloadOptions options, QObject* parent = nullptr);
    ~Downloader() override;

    // Starts the download; finished() follows (also for a failure).
    void start();
    // Stops it: the folder stays as it was; finished() follows.
    void cancel();
    const DownloadResult& result() const { return result_; }
    const DownloadOptions& options() const { return options_; }
    // "oui.txt new (32,530 entries), mam.txt unchanged (4,390), ..."
    QString summary() const;
    // After a download: the listing in the folder, the registry files fetched
    // anew as they were read when checked, the others read from the folder.
    ListingResult listing() const;

signals:
    void waiting();  // another download holds the folder
    void fileStarted(int file);
    void progress(int file, qint64 received, qint64 total);  // total -1: not known
    void fileFinished(int file);
    void finished();

private:
    void tryLock();
    void ask(int file);
    void next();
    void onReadyRead(int file);
    void handle();
    void accept(const QByteArray& body, const QString& etag, const QString& lastModified);
    void fail(const QString& line);
    void passOver(const QString& note);
    void complete();
    void release();
    QString url() const;

    DownloadOptions options_;
    DownloadResult result_;
    std::unique_ptr<QNetworkAccessManager> network_;
    // All five are asked for at once; their answers are taken in order.
    std::array<QNetworkReply*, SiteFiles.size()> replies_{};
    std::array<QByteArray, SiteFiles.size()> bodies_;
    std::array<QString, SiteFiles.size()> abortReasons_;
    std::array<bool, SiteFiles.size()> arrived_{};
    int index_ = 0;
    int lockFd_ = -1;
    bool createdFolder_ = false;
    bool done_ = false;
    QJsonObject record_;  // the folder's record as it was
    std::vector<std::unique_ptr<QTemporaryFile>> temporary_;  // by file, of those fetched anew
    std::array<std::unique_ptr<ListingResult>, 4> read_;        // by registry, of those fetched anew
};

} // namespace zorvane::listing
