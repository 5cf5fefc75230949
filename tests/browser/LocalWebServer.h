#pragma once
#include <QHash>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>

namespace zorvane::test {

// A small HTTP server on 127.0.0.1 that stands in for the listing's web server
// in the tests. It serves fixed pages, records every request, and can hold the
// answer to a path back until the test releases it (a slow page).
class LocalWebServer {
public:
    struct Page { QByteArray type, body; };
    struct Request { QByteArray host, path; };

    QMap<QByteArray, Page> pages;
    QList<Request> requests;

    bool listen()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_server.serverPort(); }

    int count(const QByteArray& path) const
    {
        return int(std::count_if(requests.begin(), requests.end(),
                                 [&](const Request& r) { return r.path == path; }));
    }
    // Requests for `path` wait, unanswered, until release(path).
    void hold(const QByteArray& path) { m_held.insert(path); }
    void release(const QByteArray& path)
    {
        m_held.remove(path);
        const auto waiting = std::exchange(m_waiting, {});
        for (const auto& [socket, waitingPath] : waiting)
            if (socket && waitingPath == path)
                answer(socket, path);
            else if (socket)
                m_waiting.append({socket, waitingPath});
    }
    // Held requests whose connection the browser still keeps open.
    int openHeld() const
    {
        return int(std::count_if(m_waiting.begin(), m_waiting.end(), [](const auto& w) {
            return w.first && w.first->state() == QAbstractSocket::ConnectedState;
        }));
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket,
                             [this, socket] { m_buffers.remove(socket); socket->deleteLater(); });
        }
    }
    void read(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        m_buffers.remove(socket);
        Request request{{}, lines.value(0).trimmed().split(' ').value(1)};
        for (const QByteArray& line : lines)
            if (line.toLower().startsWith("host:"))
                request.host = line.mid(5).trimmed();
        requests.append(request);
        if (m_held.contains(request.path))
            m_waiting.append({QPointer<QTcpSocket>(socket), request.path});
        else
            answer(socket, request.path);
    }
    void answer(QTcpSocket* socket, const QByteArray& path)
    {
        const bool found = pages.contains(path);
        const Page page = found ? pages.value(path) : Page{"text/plain", "not here"};
        socket->write(QByteArray(found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n")
                      + "Content-Type: " + page.type + "\r\nContent-Length: "
                      + QByteArray::number(page.body.size())
                      + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + page.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QSet<QByteArray> m_held;
    QList<std::pair<QPointer<QTcpSocket>, QByteArray>> m_waiting;
};

} // namespace zorvane::test
