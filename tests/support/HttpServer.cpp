#include "HttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

void HttpServer::request(QTcpSocket *socket, const QString &path)
{
    requests << path;
    if (m_hanging.contains(path))
        return;
    if (!m_delays.contains(path)) {
        respond(socket, path);
        return;
    }
    QTimer::singleShot(m_delays[path], this, [this, s = QPointer<QTcpSocket>(socket), path] {
        if (s)
            respond(s, path);
    });
}

void HttpServer::respond(QTcpSocket *socket, const QString &path)
{
    static const QString vendor = QStringLiteral("/frameworks/vendor/");
    if (m_redirects.contains(path))
        answer(socket, "302 Found", "Location: " + m_redirects[path].toUtf8() + "\r\n");
    else if (m_pages.contains(path))
        answer(socket, "200 OK", "Content-Type: " + m_pages[path].second + "\r\n",
               m_pages[path].first);
    else if (path.startsWith(vendor))
        answerFile(socket, path,
                   QStringLiteral(KESTREL_THIRD_PARTY_WEB "/") + path.mid(vendor.size()));
    else
        LoopbackServer::request(socket, path);
}
