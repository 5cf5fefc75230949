// Reading registry values as text, the registry view away from Windows, the
// ordinary-file lookup and the detached program start.
#include "about/Registry.h"
#include "about/frmAbout.h"
#include "tests/about/ScriptedSystem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace zorvane;
using zorvane::test::ScriptedRegistry;

namespace {

const QByteArray infoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray locationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

template <std::size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, qsizetype(N - 1));
}

struct Read {
    bool ok;
    QString value;
};

// Calls GetKeyValue the way the launcher does, KeyVal coming in as `before`,
// and checks that the three inputs come back unchanged.
Read read(const QByteArray& key, const QByteArray& name, const QString& before = QString())
{
    qint32 root = reg::LocalMachine;
    QString keyName = QString::fromLatin1(key);
    QString valueName = QString::fromLatin1(name);
    QString value = before;
    const bool ok = frmAbout::GetKeyValue(root, keyName, valueName, value);
    if (root != reg::LocalMachine || keyName != QString::fromLatin1(key)
        || valueName != QString::fromLatin1(name))
        qFatal("GetKeyValue changed its inputs");
    return {ok, value};
}

void writeExecutable(const QString& path, const QByteArray& body)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(body);
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                | QFileDevice::ExeOwner));
}

} // namespace

class TstSysInfo : public QObject {
    Q_OBJECT
private slots:
    void stringValuesLoseOnlyTheirTerminatingZero()
    {
        ScriptedRegistry registry;
        registry.setValue(infoKey, "PATH", reg::TypeString, bytes("C:\\Tools\\msinfo32.exe\0"));
        registry.setValue(infoKey, "Bare", reg::TypeString, bytes("C:\\Tools\\msinfo32.exe"));
        registry.setValue(infoKey, "TwoZeros", reg::TypeString, QByteArray("ab\0\0", 4));
        registry.setValue(infoKey, "OneChar", reg::TypeString, bytes("x"));
        registry.setValue(infoKey, "OnlyZero", reg::TypeString, QByteArray(1, '\0'));

        QCOMPARE(read(infoKey, "PATH").value, QStringLiteral("C:\\Tools\\msinfo32.exe"));
        Read bare = read(infoKey, "Bare");
        QVERIFY(bare.ok);
        QCOMPARE(bare.value, QStringLiteral("C:\\Tools\\msinfo32.exe"));   // last character kept
        QCOMPARE(read(infoKey, "TwoZeros").value, QString::fromLatin1("ab\0", 3));
        QCOMPARE(read(infoKey, "OneChar").value, QStringLiteral("x"));
        Read onlyZero = read(infoKey, "OnlyZero", QStringLiteral("before"));
        QVERIFY(onlyZero.ok);
        QCOMPARE(onlyZero.value, QString());

        // Each read asks for the rights 0x2003F under HKEY_LOCAL_MACHINE, offers a
        // 1024-byte buffer and closes its key.
        QCOMPARE(registry.accessAsked, QList<quint32>(5, 0x2003Fu));
        QCOMPARE(registry.rootsAsked, QList<qint32>(5, qint32(0x80000002u)));
        QCOMPARE(registry.bufferSizesOffered, QList<quint32>(5, 1024u));
        QCOMPARE(registry.closes, 5);
        QVERIFY(registry.openHandles.isEmpty());
    }

    void valuesThatDoNotFitCountAsMissing()
    {
        ScriptedRegistry registry;
        registry.setValue(infoKey, "Full", reg::TypeString, QByteArray(1024, 'a'));
        registry.setValue(infoKey, "Over", reg::TypeString, QByteArray(1025, 'a'));
        registry.setValue(infoKey, "Zeroed", reg::TypeString, QByteArray(1024, 'a') + '\0');

        Read full = read(infoKey, "Full");
        QVERIFY(full.ok);
        QCOMPARE(full.value.size(), 1024);
        const Read over = read(infoKey, "Over", QStringLiteral("stale"));
        QVERIFY(!over.ok);
        QCOMPARE(over.value, QString());
        QVERIFY(!read(infoKey, "Zeroed").ok);   // 1025 bytes with its zero
        const Read missing = read(infoKey, "NoSuchValue", QStringLiteral("stale"));
        QVERIFY(!missing.ok);
        QCOMPARE(missing.value, QString());
        QCOMPARE(registry.closes, 4);
        QVERIFY(registry.openHandles.isEmpty());
    }

    void refusedOrMissingKeysReadNothing()
    {
        ScriptedRegistry registry;
        registry.setString(infoKey, "PATH", "C:\\msinfo32.exe");
        registry.grantedAccess = 0x20019;   // KEY_READ: this account may only read
        const Read refused = read(infoKey, "PATH", QStringLiteral("stale"));
        QVERIFY(!refused.ok);
        QCOMPARE(refused.value, QString());
        QVERIFY(!read(locationKey, "MSINFO").ok);
        QCOMPARE(registry.closes, 0);   // nothing was opened, nothing closed
    }

    void emptyValuesRaiseAnErrorAndCloseTheirKey()
    {
        ScriptedRegistry registry;
        registry.setValue(infoKey, "PATH", reg::TypeString, QByteArray());
        registry.setValue(infoKey, "Number", reg::TypeDword, QByteArray());
        QVERIFY_THROWS_EXCEPTION(RuntimeError, read(infoKey, "PATH"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, read(infoKey, "Number"));
        QCOMPARE(registry.closes, 2);
        QVERIFY(registry.openHandles.isEmpty());
    }

    void numberValuesBecomeTheirDecimalValue()
    {
        ScriptedRegistry registry;
        registry.setValue(infoKey, "Ten", reg::TypeDword, QByteArray("\x0A\0\0\0", 4));
        registry.setValue(infoKey, "Zero", reg::TypeDword, QByteArray(4, '\0'));
        // 0x00001001: an inner byte under 16 keeps its place.
        registry.setValue(infoKey, "Inner", reg::TypeDword, QByteArray("\x01\x10\0\0", 4));
        registry.setValue(infoKey, "Top", reg::TypeDword, QByteArray("\x01\0\0\x80", 4));
        registry.setValue(infoKey, "Max", reg::TypeDword, QByteArray(4, '\xFF'));
        registry.setValue(infoKey, "Padded", reg::TypeDword, QByteArray("\x0A\0\0\0\0\0\0\0", 8));
        registry.setValue(infoKey, "TooBig", reg::TypeDword, QByteArray("\0\0\0\0\x01\0\0\0", 8));

        QCOMPARE(read(infoKey, "Ten").value, QStringLiteral("10"));
        QCOMPARE(read(infoKey, "Zero").value, QStringLiteral("0"));
        QCOMPARE(read(infoKey, "Inner").value, QStringLiteral("4097"));
        QCOMPARE(read(infoKey, "Top").value, QStringLiteral("2147483649"));
        QCOMPARE(read(infoKey, "Max").value, QStringLiteral("4294967295"));
        QCOMPARE(read(infoKey, "Padded").value, QStringLiteral("10"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, read(infoKey, "TooBig"));
        QVERIFY(registry.openHandles.isEmpty());
    }

    void otherTypesAreReadButNotConverted()
    {
        ScriptedRegistry registry;
        registry.setValue(infoKey, "Binary", 3, QByteArray("\x01\x02", 2));
        registry.setValue(infoKey, "Expand", 2, bytes("%SystemRoot%\\msinfo32.exe\0"));
        registry.setValue(infoKey, "Multi", 7, bytes("a\0b\0\0"));
        for (const char* name : {"Binary", "Expand", "Multi"}) {
            const Read got = read(infoKey, name, QStringLiteral("as it came"));
            QVERIFY2(got.ok, name);
            QCOMPARE(got.value, QStringLiteral("as it came"));
        }
        const Read empty = read(infoKey, "Binary");
        QVERIFY(empty.ok);
        QCOMPARE(empty.value, QString());
    }

    void viewAnswersWithTheToolFoundOnThePath()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        QVERIFY(first.isValid() && second.isValid());
        // Not executable: passed over.
        QFile plain(first.filePath("hardinfo"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        writeExecutable(second.filePath("hardinfo"), "#!/bin/sh\n");

        SystemInfoRegistryView view({first.path(), second.path()});
        Registry::install(&view);
        const Read found = read(infoKey, "PATH");
        QVERIFY(found.ok);
        QCOMPARE(found.value, second.filePath("hardinfo"));
        // Only the first location exists, whatever the letter case.
        QVERIFY(read("software\\microsoft\\shared tools\\msinfo", "path").ok);
        QVERIFY(!read(locationKey, "MSINFO").ok);
        QVERIFY(!read(infoKey, "Other").ok);

        // The newer tool comes first when both are there.
        writeExecutable(first.filePath("hardinfo2"), "#!/bin/sh\n");
        QCOMPARE(read(infoKey, "PATH").value, first.filePath("hardinfo2"));

        // The view keeps the registry's rules for handles and buffers.
        RegHandle key = 0;
        QCOMPARE(view.RegOpenKeyExA(reg::LocalMachine, infoKey, reg::ReadWriteAccess, &key),
                 reg::Success);
        quint8 small[4] = {};
        quint32 size = sizeof small;
        quint32 type = 0;
        QCOMPARE(view.RegQueryValueExA(key, "PATH", &type, small, &size), reg::MoreData);
        QCOMPARE(size, quint32(first.filePath("hardinfo2").toLocal8Bit().size() + 1));
        QCOMPARE(view.RegCloseKey(key), reg::Success);
        QCOMPARE(view.RegCloseKey(key), reg::InvalidHandle);
        QCOMPARE(view.RegQueryValueExA(key, "PATH", &type, small, &size), reg::InvalidHandle);
        QCOMPARE(view.RegOpenKeyExA(1, infoKey, reg::ReadWriteAccess, &key), reg::FileNotFound);
        Registry::install(nullptr);

        SystemInfoRegistryView none({QDir(first.path()).filePath("missing")});
        Registry::install(&none);
        QVERIFY(!read(infoKey, "PATH").ok);
        Registry::install(nullptr);
    }

    void lookupMatchesOrdinaryFilesOnly()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath("MSINFO32.EXE"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QFile hidden(dir.filePath(".MSINFO32.EXE"));
        QVERIFY(hidden.open(QIODevice::WriteOnly));
        hidden.close();
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600) == 0);

        FileLookup& files = FileLookup::current();
        QVERIFY(files.matchesOrdinaryFile(dir.filePath("MSINFO32.EXE")));
        // The registry's separator joins folder and file too.
        QVERIFY(files.matchesOrdinaryFile(dir.path() + "\\MSINFO32.EXE"));
        QVERIFY(!files.matchesOrdinaryFile(dir.filePath(".MSINFO32.EXE")));
        QVERIFY(!files.matchesOrdinaryFile(dir.filePath("folder")));
        QVERIFY(!files.matchesOrdinaryFile(dir.filePath("pipe")));
        QVERIFY(!files.matchesOrdinaryFile(dir.filePath("missing")));
        QVERIFY(!files.matchesOrdinaryFile(QString()));
        QVERIFY(!files.matchesOrdinaryFile("\\MSINFO32.EXE"));
    }

    void launcherStartsWithoutWaitingAndReportsFailures()
    {
        QTemporaryDir dir(QDir::tempPath() + "/with space XXXXXX");
        QVERIFY(dir.isValid());
        const QString marker = dir.filePath("started");
        const QString program = dir.filePath("tool");
        writeExecutable(program, "#!/bin/sh\nsleep 1\ntouch '" + marker.toLocal8Bit() + "'\n");

        QElapsedTimer clock;
        clock.start();
        // The whole path, space included, names the program.
        ProgramLauncher::current().start(program);
        QVERIFY(clock.elapsed() < 900);   // did not wait for the program
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);

        QVERIFY_THROWS_EXCEPTION(RuntimeError, ProgramLauncher::current().start(QString()));
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 ProgramLauncher::current().start(dir.filePath("missing")));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, ProgramLauncher::current().start(dir.path()));
    }
};

QTEST_GUILESS_MAIN(TstSysInfo)
#include "tst_sysinfo.moc"
