#pragma once
#include <QString>
#include <QtGlobal>

namespace zorvane {

// The application's identity, held in one place and read by every window.
struct AppInfo {
    static constexpr const char* Title = "Zorvane";
    static constexpr qint16 Major = 2;
    static constexpr qint16 Minor = 6;
    static constexpr qint16 Revision = 0;

    static QString title() { return QString::fromLatin1(Title); }
    // "Version 2.6.0": each number in plain decimal, the revision shown even when 0.
    static QString versionLine()
    {
        return QStringLiteral("Version %1.%2.%3").arg(Major).arg(Minor).arg(Revision);
    }
};

} // namespace zorvane
