#include "listing/ListingFolders.h"

#include "listing/IeeeListing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace zorvane::listing {

QString systemListingFolder() {
    const QString given = qEnvironmentVariable("ZORVANE_IEEE_DATA_DIR");
    return given.isEmpty() ? QStringLiteral("/var/lib/ieee-data") : given;
}

QString downloadFolder() {
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/zorvane/ieee-data");
}

bool completeListing(const QString& folder) {
    for (const RegistryFile& registry : RegistryFiles) {
        const QFileInfo file(QDir(folder).filePath(QString::fromLatin1(registry.fileName)));
        if (!file.isFile() || file.size() == 0)
            return false;
    }
    return true;
}

QDateTime fetchedAt(const QString& folder) {
    QFile record(QDir(folder).filePath(QString::fromLatin1(DownloadRecordName)));
    if (record.open(QIODevice::ReadOnly)) {
        const QDateTime when = QDateTime::fromString(
            QJsonDocument::fromJson(record.readAll()).object().value(QStringLiteral("fetched")).toString(), Qt::ISODate);
        if (when.isValid())
            return when;
    }
    QFile lastUpdate(QDir(folder).filePath(QStringLiteral(".lastupdate")));
    if (lastUpdate.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const qint64 seconds = lastUpdate.readAll().trimmed().toLongLong(&ok);
        if (ok && seconds > 0)
            return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    }
    return {};
}

QString newestListingFolder() {
    const QString system = systemListingFolder(), download = downloadFolder();
    if (!completeListing(download))
        return system;
    if (!completeListing(system))
        return download;
    const QDateTime systemTime = fetchedAt(system), downloadTime = fetchedAt(download);
    // A listing whose time is not known counts as the older one.
    return downloadTime.isValid() && (!systemTime.isValid() || downloadTime > systemTime) ? download : system;
}

} // namespace zorvane::listing
