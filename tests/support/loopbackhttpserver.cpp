#include "loopbackhttpserver.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

QByteArray responseHead(const lf::test::LoopbackHttpServer::Response& response)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status)
        + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " + QByteArray::number(response.body.size())
        + "\r\nConnection: close\r\n";
    if (!response.location.isEmpty())
        head += "Location: " + response.location + "\r\n";
    return head + "\r\n";
}

// Sends the body in chunks on a timer that dies with the socket.
void sendSlowly(QTcpSocket* socket, const QByteArray& body, int chunkSize, int intervalMs)
{
    auto* timer = new QTimer(socket);
    auto offset = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, body, chunkSize, offset] {
        socket->write(body.mid(*offset, chunkSize));
        *offset += chunkSize;
        if (*offset >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(intervalMs);
}

} // namespace

lf::test::LoopbackHttpServer::LoopbackHttpServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::acceptConnection);
}

bool lf::test::LoopbackHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl lf::test::LoopbackHttpServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void lf::test::LoopbackHttpServer::serve(const QString& path, const QByteArray& body)
{
    Response response;
    response.body = body;
    m_responses.insert(path, response);
}

void lf::test::LoopbackHttpServer::serveSlowly(
    const QString& path, const QByteArray& body, int chunkSize, int chunkIntervalMs)
{
    Response response;
    response.body = body;
    response.chunkSize = chunkSize;
    response.chunkIntervalMs = chunkIntervalMs;
    m_responses.insert(path, response);
}

void lf::test::LoopbackHttpServer::serveRedirect(const QString& path, const QString& targetPath)
{
    Response response;
    response.status = 302;
    response.body = "moved";
    response.location = targetPath.toUtf8();
    m_responses.insert(path, response);
}

QStringList lf::test::LoopbackHttpServer::requestedPaths() const
{
    return m_requestedPaths;
}

QUrl lf::test::LoopbackHttpServer::unreachableUrl(const QString& path)
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path));
}

void lf::test::LoopbackHttpServer::acceptConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            if (request->contains("\r\n\r\n"))
                return; // one request per connection
            *request += socket->readAll();
            if (!request->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> requestLine = request->left(request->indexOf("\r\n")).split(' ');
            answer(socket, requestLine.size() >= 2 ? QString::fromUtf8(requestLine.at(1)) : QString());
        });
    }
}

void lf::test::LoopbackHttpServer::answer(QTcpSocket* socket, const QString& path)
{
    m_requestedPaths.append(path);
    emit requestReceived(path);
    Response response = m_responses.value(path);
    if (!m_responses.contains(path)) {
        response.status = 404;
        response.body = "Not Found";
    }
    socket->write(responseHead(response));
    if (response.chunkSize > 0) {
        sendSlowly(socket, response.body, response.chunkSize, response.chunkIntervalMs);
        return;
    }
    socket->write(response.body);
    socket->disconnectFromHost();
}
