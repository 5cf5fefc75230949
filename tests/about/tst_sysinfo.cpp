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
using namespace zorvane::test;

namespace {

struct Read { bool ok; QString value; };

// Calls GetKeyValue the way the launcher does, KeyVal coming in as `before`,
// and checks that the three inputs come back unchanged.
Read read(const QByteArray& key, const QByteArray& name, const QString& before = QString())
{
    qint32 root = reg::LocalMachine;
    QString keyName = QString::fromLatin1(key), valueName = QString::fromLatin1(name), value = before;
    const bool ok = frmAbout::GetKeyValue(root, keyName, valueName, value);
    if (root != reg::LocalMachine || keyName != QString::fromLatin1(key) || valueName != QString::fromLatin1(name))
        qFatal("GetKeyValue changed its inputs");
    return {ok, value};
}

void writeFile(const QString& path, const QByteArray& body, bool executable)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(body) == body.size());
    file.close();
    if (executable)
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
}

} // namespace

class TstSysInfo : public QObject {
    Q_OBJECT
private slots:
    // KeyVal comes in as "as it came"; "throws" means an error reaches the caller.
    void valuesReadAsText_data()
    {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("result");   // "false", "throws" or "true:<KeyVal>"
        const quint32 text = reg::TypeString, number = reg::TypeDword;
        QTest::newRow("text with its zero") << text << QByteArray("C:\\msinfo32.exe\0", 16) << "true:C:\\msinfo32.exe";
        QTest::newRow("text without a zero") << text << QByteArray("C:\\msinfo32.exe") << "true:C:\\msinfo32.exe";
        QTest::newRow("two zeros") << text << QByteArray("ab\0\0", 4) << QString("true:ab") + QChar(0);
        QTest::newRow("only a zero") << text << QByteArray(1, '\0') << "true:";
        QTest::newRow("1024 bytes") << text << QByteArray(1024, 'a') << "true:" + QString(1024, 'a');
        QTest::newRow("1025 bytes") << text << QByteArray(1025, 'a') << "false";
        QTest::newRow("1024 and a zero") << text << QByteArray(1024, 'a') + '\0' << "false";
        QTest::newRow("text, size 0") << text << QByteArray() << "throws";
        QTest::newRow("number, size 0") << number << QByteArray() << "throws";
        QTest::newRow("number 0") << number << QByteArray(4, '\0') << "true:0";
        QTest::newRow("inner byte under 16") << number << QByteArray("\x01\x10\0\0", 4) << "true:4097";
        QTest::newRow("top bit") << number << QByteArray("\x01\0\0\x80", 4) << "true:2147483649";
        QTest::newRow("largest") << number << QByteArray(4, '\xFF') << "true:4294967295";
        QTest::newRow("padded number") << number << QByteArray("\x0A\0\0\0\0\0\0\0", 8) << "true:10";
        QTest::newRow("number past 32 bits") << number << QByteArray("\0\0\0\0\x01\0\0\0", 8) << "throws";
        QTest::newRow("binary") << 3u << QByteArray("\x01\x02", 2) << "true:as it came";
        QTest::newRow("expandable text") << 2u << QByteArray("%SystemRoot%\0", 13) << "true:as it came";
        QTest::newRow("text list") << 7u << QByteArray("a\0b\0\0", 5) << "true:as it came";
    }
    void valuesReadAsText()
    {
        QFETCH(quint32, type);
        QFETCH(QByteArray, data);
        QFETCH(QString, result);
        ScriptedRegistry registry;
        registry.setValue(infoKey, "PATH", type, data);
        if (result == "throws") {
            QVERIFY_THROWS_EXCEPTION(RuntimeError, read(infoKey, "PATH", "as it came"));
        } else {
            const Read got = read(infoKey, "PATH", "as it came");
            QCOMPARE(got.ok, result != "false");
            QCOMPARE(got.value, got.ok ? result.mid(5) : QString());
        }
        // Asks for read and write rights under HKEY_LOCAL_MACHINE, offers a
        // 1024-byte buffer and closes its key, whatever the outcome.
        QCOMPARE(registry.accessAsked, QList<quint32>{0x2003Fu});
        QCOMPARE(registry.rootsAsked, QList<qint32>{qint32(0x80000002u)});
        QCOMPARE(registry.bufferSizesOffered, QList<quint32>{1024u});
        QVERIFY(registry.closes == 1 && registry.openHandles.isEmpty());
    }

    void viewAnswersWithTheToolFoundOnThePath()
    {
        QTemporaryDir first, second;
        writeFile(first.filePath("hardinfo"), {}, false);   // not executable: passed over
        writeFile(second.filePath("hardinfo"), "#!/bin/sh\n", true);
        SystemInfoRegistryView view({first.path(), second.path()});
        Registry::install(&view);
        QCOMPARE(read(infoKey, "PATH").value, second.filePath("hardinfo"));
        QVERIFY(read("software\\microsoft\\shared tools\\msinfo", "path").ok);   // any letter case
        QVERIFY(!read(locationKey, "MSINFO").ok);
        QVERIFY(!read(infoKey, "Other").ok);
        // The newer tool comes first when both are there.
        writeFile(first.filePath("hardinfo2"), "#!/bin/sh\n", true);
        QCOMPARE(read(infoKey, "PATH").value, first.filePath("hardinfo2"));

        // Further down the list: KDE's Info Center before the GNOME monitor.
        QTemporaryDir desktop;
        for (const char* tool : {"gnome-system-monitor", "kinfocenter"})
            writeFile(desktop.filePath(tool), "#!/bin/sh\n", true);
        QCOMPARE(SystemInfoRegistryView({desktop.path()}).toolPath(), desktop.filePath("kinfocenter"));

        // The view keeps the registry's rules for handles and buffers.
        RegHandle key = 0;
        QCOMPARE(view.RegOpenKeyExA(reg::LocalMachine, infoKey, reg::ReadWriteAccess, &key), reg::Success);
        quint8 small[4] = {};
        quint32 size = sizeof small, type = 0;
        QCOMPARE(view.RegQueryValueExA(key, "PATH", &type, small, &size), reg::MoreData);
        QCOMPARE(size, quint32(first.filePath("hardinfo2").toLocal8Bit().size() + 1));
        QCOMPARE(view.RegCloseKey(key), reg::Success);
        QCOMPARE(view.RegCloseKey(key), reg::InvalidHandle);
        QCOMPARE(view.RegQueryValueExA(key, "PATH", &type, small, &size), reg::InvalidHandle);
        QCOMPARE(view.RegOpenKeyExA(1, infoKey, reg::ReadWriteAccess, &key), reg::FileNotFound);
        SystemInfoRegistryView none({QDir(first.path()).filePath("missing")});
        Registry::install(&none);
        QVERIFY(!read(infoKey, "PATH").ok);
        Registry::install(nullptr);
    }

    void lookupMatchesOrdinaryFilesOnly()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("MSINFO32.EXE"), {}, false);
        writeFile(dir.filePath(".MSINFO32.EXE"), {}, false);
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600) == 0);
        FileLookup& files = FileLookup::current();
        QVERIFY(files.matchesOrdinaryFile(dir.filePath("MSINFO32.EXE")));
        QVERIFY(files.matchesOrdinaryFile(dir.path() + "\\MSINFO32.EXE"));   // the registry's separator
        for (const QString& other : {dir.filePath(".MSINFO32.EXE"), dir.filePath("folder"), dir.filePath("pipe"),
                                     dir.filePath("missing"), QString(), QStringLiteral("\\MSINFO32.EXE")})
            QVERIFY2(!files.matchesOrdinaryFile(other), qPrintable(other));
    }

    void launcherStartsWithoutWaitingAndReportsFailures()
    {
        QTemporaryDir dir(QDir::tempPath() + "/with space XXXXXX");
        const QString marker = dir.filePath("started"), program = dir.filePath("tool"),
                      gate = dir.filePath("gate");
        // The program waits until the test opens its gate (a FIFO): start()
        // returning while it still waits shows it did not wait for the
        // program, however slow the machine.
        QVERIFY(::mkfifo(QFile::encodeName(gate).constData(), 0600) == 0);
        writeFile(program, "#!/bin/sh\nread line < '" + gate.toLocal8Bit() + "'\ntouch '" + marker.toLocal8Bit() + "'\n", true);
        ProgramLauncher::current().start(program);   // the whole path, space included
        QVERIFY(!QFile::exists(marker));
        {
            QFile open(gate);   // blocks until the program reads the gate
            QVERIFY(open.open(QIODevice::WriteOnly) && open.write("go\n") == 3);
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 120000);
        for (const QString& bad : {QString(), dir.filePath("missing"), dir.path()})
            QVERIFY_THROWS_EXCEPTION(RuntimeError, ProgramLauncher::current().start(bad));
    }
};

QTEST_GUILESS_MAIN(TstSysInfo)
#include "tst_sysinfo.moc"
