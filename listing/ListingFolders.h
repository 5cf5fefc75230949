#pragma once
// Where the IEEE listing is read from. Two folders may hold one: the one
// `zorvane-db download` fills (DownloadFolder: $XDG_CACHE_HOME/zorvane/ieee-data,
// by default ~/.cache/zorvane/ieee-data) and the one Debian's
// update-ieee-data keeps (/var/lib/ieee-data; until it first runs, its files
// link to those of the ieee-data package). Without a folder given, import,
// refresh and the launcher read the newer complete one: newer by the time
// each was fetched, the download's own record (DownloadRecord) against
// update-ieee-data's `.lastupdate` (seconds since 1970). A complete listing
// has all four registry files.

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace zorvane::listing {

// Where Debian's update-ieee-data keeps the newest listing;
// ZORVANE_IEEE_DATA_DIR names another (a test's, a packager's).
QString systemListingFolder();
// Where `zorvane-db download` puts the listing by default.
QString downloadFolder();

// The download's record in its folder: when the listing was last fetched
// whole, and per file its ETag, Last-Modified and entries.
inline constexpr char DownloadRecordName[] = ".download.json";

// Whether `folder` holds the four registry files.
bool completeListing(const QString& folder);
// When the listing in `folder` was fetched (invalid: not known).
QDateTime fetchedAt(const QString& folder);

// The folder import and refresh read without --from (see above); the system
// folder when neither is complete, so that its absence is what they report.
QString newestListingFolder();

} // namespace zorvane::listing
