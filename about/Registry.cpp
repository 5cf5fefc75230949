#include "about/Registry.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cstring>

#ifdef _WIN32
#include <string>
#include <windows.h>
#endif

namespace zorvane {

namespace {

#ifdef _WIN32

// The Win32 registry itself.
class Win32Registry final : public Registry {
public:
    static HKEY toHandle(qint32 root)
    {
        // Root keys are sign-extended 32-bit values, as the system headers define them.
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(root)));
    }

    long RegOpenKeyExA(qint32 root, const QByteArray& subKey, quint32 access,
                       RegHandle* result) override
    {
        HKEY key = nullptr;
        const LONG status = ::RegOpenKeyExA(toHandle(root), subKey.constData(), 0,
                                            static_cast<REGSAM>(access), &key);
        *result = status == ERROR_SUCCESS ? reinterpret_cast<RegHandle>(key) : 0;
        return status;
    }

    long RegQueryValueExA(RegHandle key, const QByteArray& valueName, quint32* type,
                          quint8* data, quint32* size) override
    {
        DWORD valueType = 0;
        DWORD dataSize = *size;
        const LONG status = ::RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.constData(),
                                               nullptr, &valueType, data, &dataSize);
        *type = valueType;
        *size = dataSize;
        return status;
    }

    long RegCloseKey(RegHandle key) override { return ::RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

class Win32FileLookup final : public FileLookup {
public:
    bool matchesOrdinaryFile(const QString& path) override
    {
        const DWORD attributes = ::GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return false;
        return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN
                              | FILE_ATTRIBUTE_SYSTEM)) == 0;
    }
};

class Win32Launcher final : public ProgramLauncher {
public:
    void start(const QString& commandLine) override
    {
        std::wstring line = commandLine.toStdWString();
        STARTUPINFOW startup {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process {};
        if (line.empty()
            || !::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process))
            throw RuntimeError("the program could not be started");
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
};

Win32Registry systemRegistry;
Win32FileLookup systemFiles;
Win32Launcher systemLauncher;

#else

class PosixFileLookup final : public FileLookup {
public:
    bool matchesOrdinaryFile(const QString& path) override
    {
        if (path.isEmpty())
            return false;
        QString local = path;
        local.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QFileInfo info(local);
        // isFile() is false for folders and for devices, pipes and sockets,
        // which stand in for system files here.
        return info.isFile() && !info.isHidden();
    }
};

class DetachedLauncher final : public ProgramLauncher {
public:
    void start(const QString& commandLine) override
    {
        // The whole line names the program; it is not split at spaces.
        if (commandLine.isEmpty() || !QProcess::startDetached(commandLine, {}))
            throw RuntimeError("the program could not be started");
    }
};

SystemInfoRegistryView* systemView()
{
    static SystemInfoRegistryView view;
    return &view;
}

PosixFileLookup systemFiles;
DetachedLauncher systemLauncher;

#endif

Registry* installedRegistry = nullptr;
FileLookup* installedFiles = nullptr;
ProgramLauncher* installedLauncher = nullptr;

} // namespace

Registry& Registry::current()
{
    if (installedRegistry)
        return *installedRegistry;
#ifdef _WIN32
    return systemRegistry;
#else
    return *systemView();
#endif
}

void Registry::install(Registry* registry) { installedRegistry = registry; }

FileLookup& FileLookup::current() { return installedFiles ? *installedFiles : systemFiles; }

void FileLookup::install(FileLookup* lookup) { installedFiles = lookup; }

ProgramLauncher& ProgramLauncher::current()
{
    return installedLauncher ? *installedLauncher : systemLauncher;
}

void ProgramLauncher::install(ProgramLauncher* launcher) { installedLauncher = launcher; }

#ifndef _WIN32

SystemInfoRegistryView::SystemInfoRegistryView(QStringList folders)
    : searchFolders(std::move(folders))
{
}

QStringList SystemInfoRegistryView::toolNames()
{
    // System-information programs that desktops ship, the fullest first:
    // HardInfo (both generations), KDE's Info Center, CPU-X, the hardware
    // lister's window, then the MATE and GNOME system monitors.
    return {QStringLiteral("hardinfo2"),   QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter"), QStringLiteral("cpu-x"),
            QStringLiteral("lshw-gtk"),    QStringLiteral("mate-system-monitor"),
            QStringLiteral("gnome-system-monitor")};
}

QStringList SystemInfoRegistryView::defaultFolders()
{
    const QString path = qEnvironmentVariable("PATH");
    return path.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString SystemInfoRegistryView::toolPath() const
{
    if (searchFolders.isEmpty())
        return {};
    for (const QString& name : toolNames()) {
        const QString found = QStandardPaths::findExecutable(name, searchFolders);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

long SystemInfoRegistryView::RegOpenKeyExA(qint32 root, const QByteArray& subKey,
                                          quint32 access, RegHandle* result)
{
    Q_UNUSED(access); // the view holds nothing that could be written
    *result = 0;
    // Key names are compared without regard to letter case, as the registry does.
    if (root != reg::LocalMachine
        || subKey.toLower() != QByteArrayLiteral("software\\microsoft\\shared tools\\msinfo"))
        return reg::FileNotFound;
    const QString tool = toolPath();
    if (tool.isEmpty())
        return reg::FileNotFound;
    *result = ++lastHandle;
    openKeys.insert(*result, tool.toLocal8Bit());
    return reg::Success;
}

long SystemInfoRegistryView::RegQueryValueExA(RegHandle key, const QByteArray& valueName,
                                             quint32* type, quint8* data, quint32* size)
{
    const auto open = openKeys.constFind(key);
    if (open == openKeys.constEnd())
        return reg::InvalidHandle;
    if (valueName.toLower() != QByteArrayLiteral("path"))
        return reg::FileNotFound;
    // Stored as the registry stores strings: with their terminating zero.
    const QByteArray stored = *open + '\0';
    *type = reg::TypeString;
    if (quint32(stored.size()) > *size) {
        *size = quint32(stored.size());
        return reg::MoreData;
    }
    std::memcpy(data, stored.constData(), size_t(stored.size()));
    *size = quint32(stored.size());
    return reg::Success;
}

long SystemInfoRegistryView::RegCloseKey(RegHandle key)
{
    return openKeys.remove(key) ? reg::Success : reg::InvalidHandle;
}

#endif

} // namespace zorvane
