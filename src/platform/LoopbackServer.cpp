#include "platform/LoopbackServer.h"

#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

LoopbackServer::LoopbackServer(const QString &root, QObject *parent)
    : QTcpServer(parent), m_root(root)
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, this, [this, s] { read(s); });
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

void LoopbackServer::read(QTcpSocket *socket)
{
    QByteArray request = socket->property("buffer").toByteArray() + socket->readAll();
    if (!request.contains("\r\n\r\n")) {
        socket->setProperty("buffer", request);
        return;
    }
    socket->setProperty("buffer", QByteArray());
    const QList<QByteArray> first = request.left(request.indexOf("\r\n")).split(' ');
    this->request(socket, first.size() > 1 ? QUrl(QString::fromUtf8(first[1])).path() : QString());
}

void LoopbackServer::request(QTcpSocket *socket, const QString &path)
{
    answerFile(socket, path, m_root + path);
}

void LoopbackServer::answerFile(QTcpSocket *socket, const QString &path, const QString &file)
{
    QFile f(file);
    if (path.contains(QLatin1String("..")) || !QFileInfo(file).isFile()
        || !f.open(QIODevice::ReadOnly)) {
        answer(socket, "404 Not Found", "Content-Type: text/html; charset=utf-8\r\n",
               "<html><body>not found</body></html>");
        return;
    }
    QByteArray type = "text/html; charset=utf-8";
    if (path.endsWith(QLatin1String(".gif")))
        type = "image/gif";
    else if (path.endsWith(QLatin1String(".png")))
        type = "image/png";
    else if (path.endsWith(QLatin1String(".js")))
        type = "text/javascript";
    else if (path.endsWith(QLatin1String(".css")))
        type = "text/css";
    answer(socket, "200 OK", "Content-Type: " + type + "\r\n", f.readAll());
}

void LoopbackServer::answer(QTcpSocket *socket, const QByteArray &status,
                            const QByteArray &headers, const QByteArray &body)
{
    socket->write("HTTP/1.1 " + status + "\r\n" + headers
                  + "Content-Length: " + QByteArray::number(body.size())
                  + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
