#pragma once

#include <QHash>
#include <QSet>
#include <QTcpServer>
#include <QUrl>

// A small loopback HTTP server for the test pages: GET of a file below the
// root folder, or of a page registered in memory.
class HttpServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit HttpServer(const QString &root = QStringLiteral(KESTREL_TEST_PAGES),
                        QObject *parent = nullptr);

    // http://127.0.0.1:<port>/<path>
    QUrl url(const QString &path) const;
    // Serves body for path (which starts with "/").
    void addPage(const QString &path, const QByteArray &body,
                 const QByteArray &contentType = "text/html; charset=utf-8");
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
    QString m_root;
    QHash<QString, QPair<QByteArray, QByteArray>> m_pages;
    QHash<QString, QString> m_redirects;
    QSet<QString> m_hanging;
    QHash<QString, int> m_delays;
};
