#pragma once
// zorvane-db download [--url BASE] [--to DIR] [--quiet] [--timeout SECONDS]
// [--min-entries N]: the IEEE listing fetched into DIR (listing/Download.h),
// by default the download folder (listing/ListingFolders.h).

#include "listing/Download.h"

#include <QStringList>

#include <string>

namespace zorvane::tools {

int runDownload(const QStringList& arguments);

// Runs a download to its end, showing its progress on stderr when that is a
// terminal (unless `quiet`). Returns the summary of the files; throws
// jet::Error with its one line, `unchanged` added ("...; X was not changed")
// when given, on a failure.
// With `listing`, the listing now in the folder goes there (the files fetched
// anew as read when checked).
QString downloadListing(const listing::DownloadOptions& options, bool quiet, const std::string& unchanged = {},
                        listing::ListingResult* listing = nullptr);

} // namespace zorvane::tools
