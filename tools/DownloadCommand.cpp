#include "tools/DownloadCommand.h"

#include "listing/ListingFolders.h"
#include "records/jet/Error.h"
#include "tools/ImportCommand.h"
#include "tools/QtCommands.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace zorvane::tools {

using namespace listing;

namespace {

struct DownloadArguments {
    DownloadOptions options;
    bool quiet = false;
};

DownloadArguments parseArguments(const QStringList& arguments) {
    DownloadArguments parsed;
    parsed.options.folder = downloadFolder();
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto valueOf = [&](const char* option, QString& into) { return optionValue(arguments, i, option, into); };
        QString timeout;
        if (a == QLatin1String("--quiet")) {
            parsed.quiet = true;
        } else if (a == QLatin1String("--min-entries") || a.startsWith(QLatin1String("--min-entries="))) {
            parsed.options.minEntries = minEntriesOption(arguments, i);
        } else if (valueOf("--url", parsed.options.site) || valueOf("--to", parsed.options.folder)) {
            continue;
        } else if (valueOf("--timeout", timeout)) {
            bool ok = false;
            parsed.options.stallSeconds = timeout.toInt(&ok);
            if (!ok || parsed.options.stallSeconds < 1)
                throw UsageError("--timeout needs a number of seconds, at least 1");
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            throw UsageError("unknown option \"" + a.toStdString() + "\"");
        } else {
            throw UsageError("download takes no file; the folder is given with --to");
        }
    }
    if (!parsed.options.site.startsWith(QLatin1String("https://")) &&
        !parsed.options.site.startsWith(QLatin1String("http://")))
        throw UsageError("--url needs an http:// or https:// address");
    return parsed;
}

QString number(qint64 n) { return QLocale(QLocale::English).toString(n); }

} // namespace

QString downloadListing(const DownloadOptions& options, bool quiet, const std::string& unchanged,
                        ListingResult* listing) {
    // The network needs an event loop, which needs the application object.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "zorvane-db";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    Downloader downloader(options);
    const bool shown = !quiet && ::isatty(STDERR_FILENO);
    QEventLoop loop;
    QObject::connect(&downloader, &Downloader::finished, &loop, &QEventLoop::quit);
    if (shown) {
        bool saidWaiting = false;
        QObject::connect(&downloader, &Downloader::waiting, [&] {
            if (!std::exchange(saidWaiting, true))
                std::fprintf(stderr, "waiting for another download into %s\n", options.folder.toLocal8Bit().constData());
        });
        QObject::connect(&downloader, &Downloader::progress, [&](int file, qint64 received, qint64 total) {
            const QString percent = total > 0 ? QStringLiteral(" (%1%)").arg(received * 100 / total) : QString();
            std::fprintf(stderr, "\r%s: %s bytes%s\x1b[K", SiteFiles[std::size_t(file)].fileName,
                         number(received).toLocal8Bit().constData(), percent.toLocal8Bit().constData());
            std::fflush(stderr);
        });
        QObject::connect(&downloader, &Downloader::fileFinished, [&](int file) {
            const FileResult& r = downloader.result().files[std::size_t(file)];
            const char* name = SiteFiles[std::size_t(file)].fileName;
            if (r.outcome == FileOutcome::Absent)
                std::fprintf(stderr, "\r%s: not fetched (%s)\x1b[K\n", name, r.note.toLocal8Bit().constData());
            else
                std::fprintf(stderr, "\r%s: %s, %s entries\x1b[K\n", name,
                             r.outcome == FileOutcome::New ? "new" : "unchanged", number(r.entries).toLocal8Bit().constData());
        });
    }
    downloader.start();
    if (!downloader.result().ok && downloader.result().error.isEmpty())
        loop.exec();
    if (shown)
        std::fprintf(stderr, "\r\x1b[K");
    const DownloadResult& result = downloader.result();
    if (!result.ok)
        throw jet::Error(result.error.toStdString() + (unchanged.empty() ? std::string() : "; " + unchanged) + ".");
    if (listing)
        *listing = downloader.listing();
    return options.folder + QStringLiteral(": ") + downloader.summary();
}

int runDownload(const QStringList& arguments) {
    preferHugePagesForTheHeap();  // the files are read whole to be checked
    const DownloadArguments args = parseArguments(arguments);
    const QString summary = downloadListing(args.options, args.quiet);
    if (!args.quiet) {
        writeOut((summary + QLatin1Char('\n')).toLocal8Bit());
        flushOut();
    }
    return 0;
}

} // namespace zorvane::tools
