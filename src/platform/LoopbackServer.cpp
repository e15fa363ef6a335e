#include "platform/LoopbackServer.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

LoopbackServer::LoopbackServer(const QString &root, QObject *parent)
    : QTcpServer(parent), m_root(root)
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

QUrl LoopbackServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2")
                    .arg(serverPort())
                    .arg(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path));
}

void LoopbackServer::addPage(const QString &path, const QByteArray &body,
                             const QByteArray &contentType)
{
    m_pages.insert(path, {body, contentType});
}

void LoopbackServer::addFolder(const QString &prefix, const QString &folder)
{
    m_folders.append({prefix, folder});
}

QString LoopbackServer::fileFor(const QString &path) const
{
    for (const auto &[prefix, folder] : m_folders) {
        if (path.startsWith(prefix))
            return folder + QLatin1Char('/') + path.mid(prefix.size());
    }
    return m_root + path;
}

void LoopbackServer::addRedirect(const QString &path, const QString &location)
{
    m_redirects.insert(path, location);
}

void LoopbackServer::serve(QTcpSocket *socket)
{
    QByteArray request = socket->property("buffer").toByteArray() + socket->readAll();
    if (!request.contains("\r\n\r\n")) {
        socket->setProperty("buffer", request);
        return;
    }
    socket->setProperty("buffer", QByteArray());
    const QList<QByteArray> first = request.left(request.indexOf("\r\n")).split(' ');
    QString path = first.size() > 1 ? QUrl(QString::fromUtf8(first[1])).path() : QString();
    requests << path;
    if (m_hanging.contains(path))
        return;
    if (m_delays.contains(path)) {
        QPointer<QTcpSocket> s(socket);
        QTimer::singleShot(m_delays[path], this, [this, s, path] {
            if (s)
                answer(s, path);
        });
        return;
    }
    answer(socket, path);
}

void LoopbackServer::answer(QTcpSocket *socket, const QString &path)
{
    QByteArray body, type = "text/html; charset=utf-8", status = "200 OK";
    if (m_redirects.contains(path)) {
        socket->write("HTTP/1.1 302 Found\r\nLocation: " + m_redirects[path].toUtf8()
                      + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    if (m_pages.contains(path)) {
        body = m_pages[path].first;
        type = m_pages[path].second;
    } else {
        const QString file = fileFor(path);
        QFile f(file);
        if (!path.contains(QLatin1String("..")) && QFileInfo(file).isFile()
            && f.open(QIODevice::ReadOnly)) {
            body = f.readAll();
            if (path.endsWith(QLatin1String(".gif")))
                type = "image/gif";
            else if (path.endsWith(QLatin1String(".png")))
                type = "image/png";
            else if (path.endsWith(QLatin1String(".js")))
                type = "text/javascript";
            else if (path.endsWith(QLatin1String(".css")))
                type = "text/css";
        } else {
            status = "404 Not Found";
            body = "<html><body>not found</body></html>";
        }
    }
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type
                  + "\r\nContent-Length: " + QByteArray::number(body.size())
                  + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
