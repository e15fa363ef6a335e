#pragma once

#include "platform/LoopbackServer.h"

#include <QHash>
#include <QSet>
#include <QStringList>

// The program's loopback server over the test pages, and what tests ask of a
// server beyond files: pages in memory, redirects, slow and silent paths, a
// record of the requests. The third-party libraries the framework pages load
// (kept outside tests/) are served under their old path.
class HttpServer : public LoopbackServer
{
public:
    explicit HttpServer(const QString &root = QStringLiteral(KESTREL_TEST_PAGES),
                        QObject *parent = nullptr)
        : LoopbackServer(root, parent)
    {
    }

    // Serves body for path (which starts with "/").
    void addPage(const QString &path, const QByteArray &body,
                 const QByteArray &contentType = "text/html; charset=utf-8")
    {
        m_pages.insert(path, {body, contentType});
    }
    // Answers path with "302 Found" to location.
    void addRedirect(const QString &path, const QString &location)
    {
        m_redirects.insert(path, location);
    }
    // Requests for path get no answer at all: a page that uses it never
    // finishes loading.
    void addHangingPath(const QString &path) { m_hanging.insert(path); }
    // Requests for path are answered after ms milliseconds (a slow server).
    void addDelayedPath(const QString &path, int ms) { m_delays.insert(path, ms); }
    // Paths requested so far, in order.
    QStringList requests;

protected:
    void request(QTcpSocket *socket, const QString &path) override;

private:
    void respond(QTcpSocket *socket, const QString &path);
    QHash<QString, QPair<QByteArray, QByteArray>> m_pages;
    QHash<QString, QString> m_redirects;
    QSet<QString> m_hanging;
    QHash<QString, int> m_delays;
};
