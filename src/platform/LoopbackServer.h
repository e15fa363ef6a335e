#pragma once

#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP server on the loopback address (a free port) that answers GET
// with the files below a root folder (a file system or resource path). The
// demo shop is served by it; subclasses may answer some paths otherwise.
class LoopbackServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit LoopbackServer(const QString &root, QObject *parent = nullptr);

    // http://127.0.0.1:<port>/<path>
    QUrl url(const QString &path) const;

protected:
    // Answers a request for path: by default with the file below the root.
    virtual void request(QTcpSocket *socket, const QString &path);
    // The file's bytes, with a content type from its suffix; 404 when path
    // leaves the folder or names no readable file.
    void answerFile(QTcpSocket *socket, const QString &path, const QString &file);
    void answer(QTcpSocket *socket, const QByteArray &status, const QByteArray &headers,
                const QByteArray &body = {});

private:
    void read(QTcpSocket *socket);
    QString m_root;
};
