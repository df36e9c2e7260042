#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

namespace lf::test {

// A small HTTP/1.1 server on 127.0.0.1 for tests: fixed responses by request
// path, optionally sent slowly in chunks. Unknown paths answer 404. Runs on
// the creating thread, so the test must keep its event loop turning.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray location; // Location header of a redirect
        int chunkSize = 0; // 0: the whole body at once
        int chunkIntervalMs = 0;
    };

    explicit LoopbackHttpServer(QObject* parent = nullptr);

    bool listen();
    QUrl url(const QString& path) const;

    void serve(const QString& path, const QByteArray& body);
    void serveSlowly(const QString& path, const QByteArray& body, int chunkSize, int chunkIntervalMs);
    void serveRedirect(const QString& path, const QString& targetPath);

    QStringList requestedPaths() const;

    // A loopback URL on which nothing listens.
    static QUrl unreachableUrl(const QString& path);

signals:
    void requestReceived(const QString& path);

private:
    void acceptConnection();
    void answer(QTcpSocket* socket, const QString& path);

    QTcpServer m_server;
    QHash<QString, Response> m_responses;
    QStringList m_requestedPaths;
};

} // namespace lf::test
