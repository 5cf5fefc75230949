#pragma once
// The loopback stand-in for the IEEE's listing site (listing_server.py): a
// small listing under the site's own paths, served on 127.0.0.1, misbehaving
// on request (see the script). Nothing leaves loopback: every download in the
// tests names this server with --url, or goes through it as a proxy.
#include "tests/support/EngineReaders.h"

#include <QDir>
#include <QProcess>

namespace zorvane::test {

// A listing entry of `code` (six, seven or nine hex digits as the registry
// takes them) the way the IEEE's files list it.
inline QByteArray siteEntry(const QString& code, const QString& vendor, const QStringList& address) {
    const QString hex = code.left(8);
    QString base16 = QString(code).remove('-').mid(6);
    QString range = QString(code).remove('-').left(6);
    if (!base16.isEmpty()) {
        const int fill = 6 - int(base16.size());
        range = base16 + QString(fill, '0') + "-" + base16 + QString(fill, 'F');
    }
    QByteArray out = (hex + "   (hex)\t\t" + vendor + "\r\n" + range + "     (base 16)\t\t" + vendor + "\r\n").toUtf8();
    for (const QString& line : address)
        out += "\t\t\t\t" + line.toUtf8() + "\r\n";
    return out + "\r\n";
}

// A listing of `count` MA-L entries (vendors "Maker N", plus `suffix`) and
// `count / 10` of each other registry, with the column titles the site's
// files start with, under the site's paths in `root`.
inline bool writeSite(const QString& root, int count, const QString& suffix = {}) {
    QByteArray oui = "OUI/MA-L\t\t\t\t\t\t\tOrganization\r\ncompany_id\t\t\t\t\t\t\tOrganization\r\n\t\t\t\t\t\t\t\tAddress\r\n\r\n";
    QByteArray mam = "OUI\t\t\t\t\t\t\t\tOrganization\r\nOUI-28/MA-M Range\t\t\t\t\tOrganization\r\n\t\t\t\t\t\t\t\tAddress\r\n\r\n";
    QByteArray mas = "OUI\t\t\t\t\t\t\t\tOrganization\r\nOUI-36/MA-S Range\t\t\t\t\tOrganization\r\n\t\t\t\t\t\t\t\tAddress\r\n\r\n";
    QByteArray iab = "OUI\t\t\t\t\t\t\t\tOrganization\r\nIAB Range\t\t\t\t\t\tOrganization\r\n\t\t\t\t\t\t\t\tAddress\r\n\r\n";
    for (int i = 0; i < count; ++i) {
        const QString n = QString("%1").arg(i, 4, 16, QChar('0')).toUpper();
        oui += siteEntry("AC-" + n.left(2) + "-" + n.mid(2), QString("Maker %1%2").arg(i).arg(suffix), {"Street", "Town", "XX"});
        if (i % 10 == 0) {
            const QString k = QString("%1").arg(i / 10, 2, 16, QChar('0')).toUpper();
            mam += siteEntry("74-" + k + "-E0-9", QString("Mam %1%2").arg(i).arg(suffix), {"DE"});
            mas += siteEntry("70-B3-" + k + "-F2-F", QString("Mas %1%2").arg(i).arg(suffix), {"RU"});
            iab += siteEntry("00-50-C2-" + k + "-5", QString("Iab %1%2").arg(i).arg(suffix), {"FR"});
        }
    }
    for (const char* folder : {"oui", "oui28", "oui36", "iab"})
        if (!QDir().mkpath(root + "/" + folder))
            return false;
    return writeBytes(root + "/oui/oui.txt", oui) && writeBytes(root + "/oui28/mam.txt", mam) &&
           writeBytes(root + "/oui36/oui36.txt", mas) && writeBytes(root + "/iab/iab.txt", iab);
}

// The site paths of the four registry files, by the name each has in a listing folder.
inline const QList<std::pair<QString, QString>>& siteFiles() {
    static const QList<std::pair<QString, QString>> files = {
        {"oui.txt", "oui/oui.txt"}, {"mam.txt", "oui28/mam.txt"}, {"oui36.txt", "oui36/oui36.txt"}, {"iab.txt", "iab/iab.txt"}};
    return files;
}

// The server, running while the object lives.
class ListingSite {
public:
    // Serves `root`; `tls`: the certificate and key to serve HTTPS with;
    // `tunnel`: the loopback port a CONNECT request is joined to.
    bool start(const QString& root, const QString& log, const QStringList& tls = {}, quint16 tunnel = 0) {
        QStringList arguments = {qEnvironmentVariable("ZORVANE_SOURCE_DIR") + "/tests/listing/listing_server.py", root,
                                 "--log", log};
        if (!tls.isEmpty())
            arguments << "--tls" << tls;
        if (tunnel != 0)
            arguments << "--tunnel" << QString::number(tunnel);
        process_.start("python3", arguments);
        if (!process_.waitForReadyRead(20000))
            return false;
        port_ = process_.readLine().trimmed().toUShort();
        return port_ != 0;
    }
    ~ListingSite() {
        process_.kill();
        process_.waitForFinished();
    }
    quint16 port() const { return port_; }
    // The site's address with misbehaviour `mode` for the file `target` ("all": every file).
    QString url(const QString& mode = "ok", const QString& target = "all", const QString& scheme = "http") const {
        return QString("%1://127.0.0.1:%2/%3/%4").arg(scheme).arg(port_).arg(mode, target);
    }

private:
    QProcess process_;
    quint16 port_ = 0;
};

// Every file in `dir` (hidden ones too) with its bytes: the folder as it is.
inline QMap<QString, QByteArray> folderState(const QString& dir) {
    QMap<QString, QByteArray> state;
    if (!QFileInfo::exists(dir))
        return {{"<no folder>", {}}};
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        state.insert(name, bytesOf(dir + "/" + name));
    return state;
}

} // namespace zorvane::test
