#pragma once
#include "about/Registry.h"

#include <QMap>

#include <cstring>

namespace zorvane::test {

// Where the system-information program is registered: its own key, then the shared tools folder.
inline const QByteArray infoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline const QByteArray locationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

// A registry answered from a script: keys (names compared without letter case)
// holding values of any type and data. Records every call, checks handles and
// counts keys left open. Installs itself for its lifetime.
class ScriptedRegistry final : public Registry {
public:
    struct Value { quint32 type; QByteArray data; };

    ScriptedRegistry() { Registry::install(this); }
    ~ScriptedRegistry() override { Registry::install(nullptr); }

    void setValue(const QByteArray& key, const QByteArray& name, quint32 type, QByteArray data)
    {
        keys[key.toLower()][name.toLower()] = Value {type, std::move(data)};
    }
    void setString(const QByteArray& key, const QByteArray& name, const QByteArray& text)
    {
        setValue(key, name, reg::TypeString, text + '\0');
    }
    void addKey(const QByteArray& key) { keys[key.toLower()]; }

    long RegOpenKeyExA(qint32 root, const QByteArray& subKey, quint32 access,
                       RegHandle* result) override
    {
        opened.append(subKey);
        accessAsked.append(access);
        rootsAsked.append(root);
        *result = 0;
        if (root != reg::LocalMachine || !keys.contains(subKey.toLower()))
            return reg::FileNotFound;
        if ((access & ~grantedAccess) != 0)
            return reg::AccessDenied;
        *result = ++lastHandle;
        openHandles.insert(*result, subKey.toLower());
        return reg::Success;
    }

    long RegQueryValueExA(RegHandle key, const QByteArray& valueName, quint32* type,
                          quint8* data, quint32* size) override
    {
        if (!openHandles.contains(key))
            return reg::InvalidHandle;
        bufferSizesOffered.append(*size);
        const auto& values = keys[openHandles.value(key)];
        if (!values.contains(valueName.toLower()))
            return reg::FileNotFound;
        const Value& value = values[valueName.toLower()];
        *type = value.type;
        if (quint32(value.data.size()) > *size) {
            *size = quint32(value.data.size());
            return reg::MoreData;
        }
        std::memcpy(data, value.data.constData(), size_t(value.data.size()));
        *size = quint32(value.data.size());
        return reg::Success;
    }

    long RegCloseKey(RegHandle key) override
    {
        ++closes;
        return openHandles.remove(key) ? reg::Success : reg::InvalidHandle;
    }

    // Access rights this account holds; by default everything.
    quint32 grantedAccess = 0xFFFFFFFFu;
    QMap<QByteArray, QMap<QByteArray, Value>> keys;
    QMap<RegHandle, QByteArray> openHandles;
    QList<QByteArray> opened;
    QList<quint32> accessAsked;
    QList<qint32> rootsAsked;
    QList<quint32> bufferSizesOffered;
    int closes = 0;
    RegHandle lastHandle = 100;
};

// Records the command lines it is asked to start; fails on request.
class ScriptedLauncher final : public ProgramLauncher {
public:
    ScriptedLauncher() { ProgramLauncher::install(this); }
    ~ScriptedLauncher() override { ProgramLauncher::install(nullptr); }

    void start(const QString& commandLine) override
    {
        started.append(commandLine);
        if (fail)
            throw RuntimeError("scripted failure");
    }

    QList<QString> started;
    bool fail = false;
};

// Records the paths the launcher looks for, answering from the real lookup.
class RecordingFileLookup final : public FileLookup {
public:
    explicit RecordingFileLookup(FileLookup& real) : real(real) { FileLookup::install(this); }
    ~RecordingFileLookup() override { FileLookup::install(nullptr); }

    bool matchesOrdinaryFile(const QString& path) override
    {
        looked.append(path);
        return real.matchesOrdinaryFile(path);
    }

    FileLookup& real;
    QList<QString> looked;
};

} // namespace zorvane::test
