#pragma once

#include <QHash>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

// A small HTTP server on the loopback address (a free port): GET of a file
// below a root folder (a file system or resource path), of a folder mapped
// under a path prefix, or of a page registered in memory. Serves the demo
// shop and the test pages.
class LoopbackServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit LoopbackServer(const QString &root, QObject *parent = nullptr);

    // http://127.0.0.1:<port>/<path>
    QUrl url(const QString &path) const;
    // Serves body for path (which starts with "/").
    void addPage(const QString &path, const QByteArray &body,
                 const QByteArray &contentType = "text/html; charset=utf-8");
    // Paths that start with prefix ("/lib/") are files below folder.
    void addFolder(const QString &prefix, const QString &folder);
    // Answers path with "302 Found" to location.
    void addRedirect(const QString &path, const QString &location);
    // Requests for path get no answer at all: a page that uses it never
    // finishes loading.
    void addHangingPath(const QString &path) { m_hanging.insert(path); }
    // Requests for path are answered after ms milliseconds (a slow server).
    void addDelayedPath(const QString &path, int ms) { m_delays.insert(path, ms); }
    // Paths requested so far, in order.
    QStringList requests;

private:
    void serve(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &path);
    QString fileFor(const QString &path) const;
    QString m_root;
    QHash<QString, QPair<QByteArray, QByteArray>> m_pages;
    QList<QPair<QString, QString>> m_folders;
    QHash<QString, QString> m_redirects;
    QSet<QString> m_hanging;
    QHash<QString, int> m_delays;
};
