#include "listing/Download.h"

#include "listing/ListingFolders.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace zorvane::listing {

namespace {

QString number(qint64 n) { return QLocale(QLocale::English).toString(n); }

// The reason of an HTTP status that is neither 200 nor 304.
QString statusReason(int status, const QString& phrase) {
    const QString head = QStringLiteral("HTTP %1%2").arg(status).arg(phrase.isEmpty() ? QString() : QLatin1Char(' ') + phrase);
    if (status == 403 || status == 418 || status == 429)
        return head + QStringLiteral(": the site refused the request");
    if (status == 404 || status == 410)
        return head + QStringLiteral(": the site has no such file");
    if (status >= 500)
        return head + QStringLiteral(": the site failed to answer");
    if (status >= 300 && status < 400)
        return head + QStringLiteral(": a redirect without a usable address");
    return head + QStringLiteral(": not the file");
}

QString networkReason(QNetworkReply::NetworkError error, const QString& text) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("connection refused");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("name not found");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("no answer");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("TLS: %1").arg(text);
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("more than %1 redirects").arg(MaxRedirects);
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("a redirect from https to http, which is not followed");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("the connection was closed before the whole file came");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("the proxy: %1").arg(text);
    default:
        return text;
    }
}

// Whether the first line that is not blank is a registry's column titles
// ("OUI/MA-L ...", "OUI ...", "CID ...").
bool hasHeader(QByteArrayView text) {
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text = text.sliced(1);
    return text.startsWith("OUI") || text.startsWith("CID");
}

constexpr const RegistryFile& CidRegistry = CidRegistryFile;

// Entries of the copy of `name` in `folder`, by the record or by reading it
// (-1: there is none).
int entriesOfCopy(const QString& folder, const SiteFile& file, const QJsonObject& record) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(file.fileName));
    QFile copy(path);
    if (!copy.exists())
        return -1;
    const QJsonValue known = record.value(QStringLiteral("files")).toObject().value(QString::fromLatin1(file.fileName))
                                 .toObject().value(QStringLiteral("entries"));
    if (known.isDouble())
        return known.toInt();
    if (!copy.open(QIODevice::ReadOnly))
        return -1;
    ListingResult read;
    parseRegistryText(copy.readAll(), file.registry >= 0 ? RegistryFiles[std::size_t(file.registry)] : CidRegistry, path, read);
    return int(read.entries.size());
}

} // namespace

Downloader::Downloader(DownloadOptions options, QObject* parent) : QObject(parent), options_(std::move(options)) {
    while (options_.site.endsWith(QLatin1Char('/')))
        options_.site.chop(1);
}

Downloader::~Downloader() {
    for (QNetworkReply*& reply : replies_) {
        if (!reply)
            continue;
        reply->disconnect(this);
        if (!reply->isFinished())
            reply->abort();
        delete std::exchange(reply, nullptr);
    }
    temporary_.clear();
    release();
}

QString Downloader::url() const {
    return options_.site + QLatin1Char('/') + QString::fromLatin1(SiteFiles[std::size_t(index_)].sitePath);
}

void Downloader::start() {
    QDir folder(options_.folder);
    if (!folder.exists()) {
        if (!QDir().mkpath(options_.folder))
            return fail(options_.folder + QStringLiteral(": the folder cannot be made"));
        createdFolder_ = true;
    }
    // The lock is the folder's own, so that nothing is left in it.
    lockFd_ = ::open(QFile::encodeName(options_.folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockFd_ < 0)
        return fail(options_.folder + QStringLiteral(": the folder cannot be opened (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    tryLock();
}

void Downloader::tryLock() {
    if (done_)
        return;
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            return fail(options_.folder + QStringLiteral(": the folder cannot be locked (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
        emit waiting();
        QTimer::singleShot(100, this, &Downloader::tryLock);
        return;
    }
    QFile record(QDir(options_.folder).filePath(QString::fromLatin1(DownloadRecordName)));
    if (record.open(QIODevice::ReadOnly))
        record_ = QJsonDocument::fromJson(record.readAll()).object();
    network_ = std::make_unique<QNetworkAccessManager>();
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    temporary_.resize(SiteFiles.size());
    index_ = 0;
    for (int i = 0; i < int(SiteFiles.size()); ++i)
        ask(i);
    next();
}

// Takes the answers in order, as far as they have come.
void Downloader::next() {
    if (done_)
        return;
    if (index_ == int(SiteFiles.size()))
        return complete();
    if (arrived_[std::size_t(index_)])
        handle();
}

void Downloader::ask(int index) {
    const SiteFile& file = SiteFiles[std::size_t(index)];
    QNetworkRequest request{QUrl(options_.site + QLatin1Char('/') + QString::fromLatin1(file.sitePath))};
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(ListingUserAgent));
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setTransferTimeout(options_.stallSeconds * 1000);
    if (QFile::exists(QDir(options_.folder).filePath(QString::fromLatin1(file.fileName)))) {
        const QJsonObject known =
            record_.value(QStringLiteral("files")).toObject().value(QString::fromLatin1(file.fileName)).toObject();
        if (const QString etag = known.value(QStringLiteral("etag")).toString(); !etag.isEmpty())
            request.setRawHeader("If-None-Match", etag.toUtf8());
        if (const QString modified = known.value(QStringLiteral("lastModified")).toString(); !modified.isEmpty())
            request.setRawHeader("If-Modified-Since", modified.toUtf8());
    }
    emit fileStarted(index);
    QNetworkReply* reply = network_->get(request);
    replies_[std::size_t(index)] = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, index] { onReadyRead(index); });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, index](qint64 received, qint64 total) { emit progress(index, received, total > 0 ? total : -1); });
    connect(reply, &QNetworkReply::finished, this, [this, index] {
        arrived_[std::size_t(index)] = true;
        if (index == index_)
            next();
    });
}

void Downloader::onReadyRead(int index) {
    QNetworkReply* reply = replies_[std::size_t(index)];
    QByteArray& body = bodies_[std::size_t(index)];
    QString& abortReason = abortReasons_[std::size_t(index)];
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > MaxListingBytes && abortReason.isEmpty()) {
        abortReason = QStringLiteral("the file is larger than %1 MiB (%2 bytes announced)")
                          .arg(MaxListingBytes >> 20)
                          .arg(number(length.toLongLong()));
        reply->abort();
        return;
    }
    body += reply->readAll();
    if (body.size() > MaxListingBytes && abortReason.isEmpty()) {
        abortReason = QStringLiteral("the file is larger than %1 MiB").arg(MaxListingBytes >> 20);
        reply->abort();
    }
}

// The answer for file index_, which has come.
void Downloader::handle() {
    QNetworkReply* reply = std::exchange(replies_[std::size_t(index_)], nullptr);
    reply->deleteLater();
    QByteArray& received = bodies_[std::size_t(index_)];
    const QString abortReason = abortReasons_[std::size_t(index_)];
    const SiteFile& file = SiteFiles[std::size_t(index_)];
    const bool optional = file.registry < 0;
    if (!abortReason.isEmpty())
        return optional ? passOver(abortReason) : fail(url() + QStringLiteral(": ") + abortReason);
    if (reply->isOpen())
        received += reply->readAll();
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusValue.isValid() ? statusValue.toInt() : 0;
    const QString where = reply->url().toString();
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return fail(where + QStringLiteral(": nothing came for %1 s").arg(options_.stallSeconds));
    if (reply->error() == QNetworkReply::TooManyRedirectsError || reply->error() == QNetworkReply::InsecureRedirectError)
        return fail(where + QStringLiteral(": ") + networkReason(reply->error(), reply->errorString()));
    if (status != 0 && status != 200 && status != 304) {
        if (optional && (status == 404 || status == 410))
            return passOver(QStringLiteral("not on the site"));
        const QString reason = statusReason(status, reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        return optional ? passOver(reason) : fail(where + QStringLiteral(": ") + reason);
    }
    if (reply->error() != QNetworkReply::NoError) {
        QString reason = networkReason(reply->error(), reply->errorString());
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (reply->error() == QNetworkReply::RemoteHostClosedError && length.isValid())
            reason += QStringLiteral(" (%1 of %2 bytes)").arg(number(received.size()), number(length.toLongLong()));
        return optional ? passOver(reason) : fail(where + QStringLiteral(": ") + reason);
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    FileResult& result = result_.files[std::size_t(index_)];
    if (status == 304) {
        if (!QFile::exists(QDir(options_.folder).filePath(QString::fromLatin1(file.fileName))))
            return fail(where + QStringLiteral(": the site answered 304 Not Modified, but there is no copy to keep"));
        result.outcome = FileOutcome::Unchanged;
        result.entries = std::max(0, entriesOfCopy(options_.folder, file, record_));
        emit fileFinished(index_);
        ++index_;
        return next();
    }
    // Fewer bytes than announced: the connection was cut. (Qt hands over a
    // compressed body decompressed, Content-Length counting the compressed
    // bytes; and after a redirect it may still give the redirect's length.)
    if (length.isValid() && reply->rawHeader("Content-Encoding").isEmpty() && received.size() < length.toLongLong()) {
        const QString reason = QStringLiteral("the connection was closed before the whole file came (%1 of %2 bytes)")
                                   .arg(number(received.size()), number(length.toLongLong()));
        return optional ? passOver(reason) : fail(where + QStringLiteral(": ") + reason);
    }
    accept(std::exchange(received, {}), QString::fromUtf8(reply->rawHeader("ETag")), QString::fromUtf8(reply->rawHeader("Last-Modified")));
}

void Downloader::accept(const QByteArray& body, const QString& etag, const QString& lastModified) {
    const SiteFile& file = SiteFiles[std::size_t(index_)];
    const bool optional = file.registry < 0;
    const RegistryFile& registry = optional ? CidRegistry : RegistryFiles[std::size_t(file.registry)];
    const QString where = url();
    auto refuse = [&](const QString& reason) {
        const int copy = entriesOfCopy(options_.folder, file, record_);
        const QString kept = copy >= 0 ? QStringLiteral(": kept the last good copy") : QString();
        return optional ? passOver(reason) : fail(where + QStringLiteral(": ") + reason + kept);
    };
    auto read = std::make_unique<ListingResult>();
    const QString finalPath = QDir(options_.folder).filePath(QString::fromLatin1(file.fileName));
    parseRegistryText(body, registry, finalPath, *read);
    ++read->filesRead;
    if (!read->refused.isEmpty())
        return refuse(read->refused.mid(finalPath.size() + 2));
    if (!hasHeader(body))
        return refuse(QStringLiteral("the file does not start with the column titles of the %1 listing")
                          .arg(QString::fromLatin1(registry.label)));
    const int entries = int(read->entries.size());
    const int copy = entriesOfCopy(options_.folder, file, record_);
    if (options_.minEntries > 0) {
        if (entries < options_.minEntries)
            return refuse(QStringLiteral("holds %1 entries, fewer than the %2 asked for").arg(number(entries), number(options_.minEntries)));
    } else if (copy > 0) {
        if (qint64(entries) * 100 < qint64(copy) * ReplacingEntryPercent)
            return refuse(QStringLiteral("holds %1 entries, the copy it would replace %2").arg(number(entries), number(copy)));
    } else if (!optional && entries < ImportEntryFloor[std::size_t(file.registry)]) {
        return refuse(QStringLiteral("holds %1 entries, fewer than the %2 a complete %3 listing holds")
                          .arg(number(entries), number(ImportEntryFloor[std::size_t(file.registry)]),
                               QString::fromLatin1(registry.label)));
    }
    auto temporary = std::make_unique<QTemporaryFile>(
        QDir(options_.folder).filePath(QStringLiteral(".%1.XXXXXX").arg(QString::fromLatin1(file.fileName))));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (!temporary->open() || ::fchmod(temporary->handle(), 0666 & ~mask) != 0 || temporary->write(body) != body.size() ||
        !temporary->flush() || ::fsync(temporary->handle()) != 0)
        return fail(QDir(options_.folder).filePath(QString::fromLatin1(file.fileName)) +
                    QStringLiteral(": cannot be written (%1)").arg(temporary->errorString()));
    FileResult& result = result_.files[std::size_t(index_)];
    result.outcome = FileOutcome::New;
    result.entries = entries;
    result.bytes = body.size();
    temporary->setProperty("etag", etag);
    temporary->setProperty("lastModified", lastModified);
    temporary_[std::size_t(index_)] = std::move(temporary);
    if (!optional)
        read_[std::size_t(file.registry)] = std::move(read);
    emit fileFinished(index_);
    ++index_;
    next();
}

void Downloader::passOver(const QString& note) {
    FileResult& result = result_.files[std::size_t(index_)];
    result.outcome = FileOutcome::Absent;
    result.note = note;
    const SiteFile& file = SiteFiles[std::size_t(index_)];
    // The copy there is, if any, stays.
    if (const int copy = entriesOfCopy(options_.folder, file, record_); copy >= 0) {
        result.outcome = FileOutcome::Unchanged;
        result.entries = copy;
    }
    emit fileFinished(index_);
    ++index_;
    next();
}

void Downloader::cancel() {
    if (done_)
        return;
    result_.cancelled = true;
    fail(QStringLiteral("the download was cancelled; nothing was changed"));
}

void Downloader::fail(const QString& line) {
    if (done_)
        return;
    done_ = true;
    for (QNetworkReply*& reply : replies_) {
        if (!reply)
            continue;
        // Deleted, an answer still coming is dropped with its connection.
        reply->disconnect(this);
        std::exchange(reply, nullptr)->deleteLater();
    }
    temporary_.clear();  // removes what was written
    for (auto& read : read_)
        read.reset();
    if (createdFolder_)
        QDir().rmdir(options_.folder);
    release();
    result_.ok = false;
    result_.error = line;
    emit finished();
}

void Downloader::complete() {
    QJsonObject files = record_.value(QStringLiteral("files")).toObject();
    for (std::size_t i = 0; i < SiteFiles.size(); ++i) {
        const QString name = QString::fromLatin1(SiteFiles[i].fileName);
        const FileResult& result = result_.files[i];
        if (QTemporaryFile* temporary = temporary_[i].get()) {
            QJsonObject known;
            known.insert(QStringLiteral("etag"), temporary->property("etag").toString());
            known.insert(QStringLiteral("lastModified"), temporary->property("lastModified").toString());
            known.insert(QStringLiteral("entries"), result.entries);
            files.insert(name, known);
        }
    }
    QJsonObject record = record_;
    record.insert(QStringLiteral("fetched"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    record.insert(QStringLiteral("site"), options_.site);
    record.insert(QStringLiteral("files"), files);
    // Every file passed: in place they go, then the record that names them.
    // Each file they replace is kept under a second name until all is done,
    // so that a failure on the way puts the folder back as it was.
    const QDir folder(options_.folder);
    std::vector<std::pair<QString, QString>> placed;  // target, its former file's name (empty: none)
    const auto undo = [&] {
        for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
            const QByteArray target = QFile::encodeName(it->first);
            if (it->second.isEmpty())
                ::unlink(target.constData());
            else
                ::rename(QFile::encodeName(it->second).constData(), target.constData());
        }
    };
    for (std::size_t i = 0; i < SiteFiles.size(); ++i) {
        QTemporaryFile* temporary = temporary_[i].get();
        if (!temporary)
            continue;
        const QString name = QString::fromLatin1(SiteFiles[i].fileName);
        const QString target = folder.filePath(name);
        const QString former = folder.filePath(QStringLiteral(".") + name + QStringLiteral(".former"));
        ::unlink(QFile::encodeName(former).constData());
        const bool hadOne = ::link(QFile::encodeName(target).constData(), QFile::encodeName(former).constData()) == 0;
        if (!hadOne && errno != ENOENT) {
            const int error = errno;
            undo();
            return fail(target + QStringLiteral(": cannot be kept while the new one is put in place (%1)")
                                     .arg(QString::fromLocal8Bit(std::strerror(error))));
        }
        if (::rename(QFile::encodeName(temporary->fileName()).constData(), QFile::encodeName(target).constData()) != 0) {
            const int error = errno;
            if (hadOne)
                ::unlink(QFile::encodeName(former).constData());
            undo();
            return fail(target + QStringLiteral(": cannot be put in place (%1)").arg(QString::fromLocal8Bit(std::strerror(error))));
        }
        temporary->setAutoRemove(false);
        placed.emplace_back(target, hadOne ? former : QString());
    }
    temporary_.clear();
    QSaveFile save(folder.filePath(QString::fromLatin1(DownloadRecordName)));
    const QByteArray json = QJsonDocument(record).toJson();
    if (!save.open(QIODevice::WriteOnly) || save.write(json) != json.size() || !save.commit()) {
        undo();
        return fail(save.fileName() + QStringLiteral(": cannot be written (%1)").arg(save.errorString()));
    }
    for (const auto& [target, former] : placed)
        if (!former.isEmpty())
            ::unlink(QFile::encodeName(former).constData());
    ::fsync(lockFd_);  // the folder: the new names outlast a power cut
    done_ = true;
    release();
    result_.ok = true;
    emit finished();
}

void Downloader::release() {
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // drops the lock
        lockFd_ = -1;
    }
}

ListingResult Downloader::listing() const {
    std::array<const ListingResult*, 4> known{};
    for (std::size_t i = 0; i < known.size(); ++i)
        known[i] = read_[i].get();
    return readListing(options_.folder, known);
}

QString Downloader::summary() const {
    QStringList parts;
    for (std::size_t i = 0; i < SiteFiles.size(); ++i) {
        const FileResult& r = result_.files[i];
        const QString name = QString::fromLatin1(SiteFiles[i].fileName);
        switch (r.outcome) {
        case FileOutcome::New:
            parts << QStringLiteral("%1 new (%2 entries)").arg(name, number(r.entries));
            break;
        case FileOutcome::Unchanged:
            parts << QStringLiteral("%1 unchanged (%2 entries)").arg(name, number(r.entries)) +
                         (r.note.isEmpty() ? QString() : QStringLiteral("; the site's copy was passed over: ") + r.note);
            break;
        case FileOutcome::Absent:
            parts << QStringLiteral("%1 not fetched (%2)").arg(name, r.note);
            break;
        default:
            break;
        }
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace zorvane::listing
