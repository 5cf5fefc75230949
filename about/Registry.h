#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <stdexcept>

namespace zorvane {

// A run-time error inside the about window's procedures; the launcher's handler
// turns every one of them into its single message.
class RuntimeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Registry values and status codes as the system's registry calls use them
// (own names, so that they never meet the system headers' macros).
using RegHandle = quintptr;
namespace reg {
inline constexpr qint32 LocalMachine = qint32(0x80000002u); // HKEY_LOCAL_MACHINE
inline constexpr long Success = 0;
inline constexpr long FileNotFound = 2;
inline constexpr long AccessDenied = 5;
inline constexpr long InvalidHandle = 6;
inline constexpr long MoreData = 234;
inline constexpr quint32 TypeString = 1; // REG_SZ
inline constexpr quint32 TypeDword = 4;  // REG_DWORD
// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS |
// KEY_NOTIFY | KEY_CREATE_LINK | READ_CONTROL
inline constexpr quint32 ReadWriteAccess = 0x2003F;
} // namespace reg

// The three registry calls the about window makes. Key paths and value names
// are passed as 8-bit text in the system's code page.
class Registry {
public:
    virtual ~Registry() = default;
    // Opens `subKey` below `root` with the access rights asked for.
    virtual long RegOpenKeyExA(qint32 root, const QByteArray& subKey, quint32 access,
                               RegHandle* result) = 0;
    // Reads value `valueName` of an open key: its type, and its data into `data`,
    // which holds `*size` bytes. On success `*size` is the number of bytes
    // written; data that does not fit gives reg::MoreData.
    virtual long RegQueryValueExA(RegHandle key, const QByteArray& valueName, quint32* type,
                                  quint8* data, quint32* size) = 0;
    virtual long RegCloseKey(RegHandle key) = 0;

    // The registry in force: the system's unless a test installed another.
    static Registry& current();
    // Installs `registry` (not owned); nullptr restores the system's.
    static void install(Registry* registry);
};

#ifndef _WIN32
// The registry as this system sees it away from Windows: a read-only view with
// one key. "SOFTWARE\Microsoft\Shared Tools\MSINFO" under HKEY_LOCAL_MACHINE
// exists when a system-information program is found in one of the search
// folders; its value "PATH" (REG_SZ) is that program's full path. No other key
// exists. Opening the key grants whatever access is asked for, as nothing in
// the view can be written.
class SystemInfoRegistryView final : public Registry {
public:
    // Searches `folders` (default: the PATH of the environment) for the programs
    // named in toolNames(), in that order: hardinfo2, hardinfo, kinfocenter,
    // cpu-x, lshw-gtk, mate-system-monitor, gnome-system-monitor.
    explicit SystemInfoRegistryView(QStringList folders = defaultFolders());

    long RegOpenKeyExA(qint32 root, const QByteArray& subKey, quint32 access,
                       RegHandle* result) override;
    long RegQueryValueExA(RegHandle key, const QByteArray& valueName, quint32* type,
                          quint8* data, quint32* size) override;
    long RegCloseKey(RegHandle key) override;

    static QStringList toolNames();
    static QStringList defaultFolders();
    // The program found at the time of the call, or an empty string.
    QString toolPath() const;

private:
    QStringList searchFolders;
    // Each open key with the path its "PATH" value holds.
    QHash<RegHandle, QByteArray> openKeys;
    RegHandle lastHandle = 0;
};
#endif

// The directory search of the launcher: matches ordinary files only.
class FileLookup {
public:
    virtual ~FileLookup() = default;
    // True when `path` names an ordinary file: not a folder, not hidden, not a
    // system file. A backslash in `path` separates folders as a slash does.
    virtual bool matchesOrdinaryFile(const QString& path) = 0;

    static FileLookup& current();
    static void install(FileLookup* lookup);
};

// Starts a program without waiting for it.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // `commandLine` is the whole command line, used as it is (no quotes
    // added). Raises RuntimeError when the program cannot be started.
    virtual void start(const QString& commandLine) = 0;

    static ProgramLauncher& current();
    static void install(ProgramLauncher* launcher);
};

} // namespace zorvane
