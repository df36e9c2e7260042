#include "app/handoff.h"

#include "app/handoffmessage.h"
#include "app/handoffpublication.h"
#include "app/handoffticket.h"
#include "app/instancelock.h"
#include "base/appconstants.h"
#include "base/atomicfile.h"
#include "base/datadirectory.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QThread>
#include <QUdpSocket>

namespace {
QUdpSocket* g_handoffSocket = nullptr;

bool isLoopback(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also unwraps ::ffff:a.b.c.d
    if (isV4)
        return QHostAddress(v4).isLoopback();
    return address.isLoopback();
}

QByteArray randomToken()
{
    QByteArray token(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(token.data()), token.size() / 4);
    return token;
}

QByteArray smallFileContent(const QString& path)
{
    if (!lf::dataDirectoryIsOurs())
        return {};
    return lf::readOwnFile(path, 4096).value_or(QByteArray());
}
} // namespace

QString lf::portFilePath()
{
    return dataDirectory() + kPortFileName;
}

QString lf::handoffTicketPath()
{
    return dataDirectory() + kHandoffTicketFileName;
}

QByteArray lf::handoffToken()
{
    static const QByteArray token = randomToken();
    return token;
}

QUdpSocket* lf::openHandoffSocket(QObject* parent)
{
    // Bound without address sharing: a port another program holds is skipped,
    // and nobody can bind this one beside us and read the hand-overs.
    for (int port = kFirstHandoffPort; port <= kLastHandoffPort; ++port) {
        auto* socket = new QUdpSocket(parent);
        if (socket->bind(
                QHostAddress(QHostAddress::LocalHost), static_cast<quint16>(port), QAbstractSocket::DontShareAddress))
            return socket;
        delete socket;
    }
    qDebug() << "no hand-over port free in" << kFirstHandoffPort << "to" << kLastHandoffPort;
    return nullptr;
}

bool lf::publishHandoff(QUdpSocket* socket)
{
    auto* publication = new HandoffPublication(socket->localPort(), handoffToken(), socket);
    if (publication->publish())
        return true;
    delete publication;
    return false;
}

QUdpSocket* lf::bindHandoffSocket(QObject* parent)
{
    QUdpSocket* socket = openHandoffSocket(parent);
    if (socket && !publishHandoff(socket))
        qDebug().noquote() << "port file not written:" << portFilePath();
    return socket;
}

bool lf::writePortFile(quint16 port)
{
    return dataDirectoryIsOurs() && QFileInfo(dataDirectory()).isDir()
        && writeFileAtomically(portFilePath(), QByteArray::number(port));
}

quint16 lf::readPortFile()
{
    bool ok = false;
    const quint16 port = smallFileContent(portFilePath()).toUShort(&ok, 10);
    return ok ? port : 0;
}

std::optional<lf::HandoffTarget> lf::readHandoffTarget()
{
    // The ticket is read first: its owner removed any older port file before
    // writing it, so the port read after a live ticket is that owner's.
    const std::optional<HandoffTicket> ticket = HandoffTicket::parse(smallFileContent(handoffTicketPath()));
    if (!ticket || !ticket->ownerIsAlive())
        return std::nullopt;
    const quint16 port = readPortFile();
    if (port == 0)
        return std::nullopt;
    return HandoffTarget { port, ticket->token };
}

bool lf::sendHandoff(const QString& path, quint16 port, const QByteArray& token)
{
    const QByteArray datagram = sealHandoff(token, path);
    QUdpSocket socket;
    return socket.writeDatagram(datagram, QHostAddress(QHostAddress::LocalHost), port) == datagram.size();
}

lf::HandoffOutcome lf::handOverWhenReady(const QString& path, InstanceLock& lock, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (lock.tryAcquire())
            return HandoffOutcome::BecameFirst;
        if (lock.hasFailed())
            return HandoffOutcome::LockFailed;
        if (const std::optional<HandoffTarget> target = readHandoffTarget()) {
            if (sendHandoff(path, target->port, target->token))
                return HandoffOutcome::Sent;
        }
        if (deadline.hasExpired())
            return HandoffOutcome::TimedOut;
        QThread::msleep(20);
    }
}

bool lf::receiveHandoff(QUdpSocket* socket, QString* path)
{
    const QNetworkDatagram datagram = socket->receiveDatagram();
    if (!isLoopback(datagram.senderAddress())) {
        qDebug() << "hand-over datagram from" << datagram.senderAddress().toString() << "ignored";
        return false;
    }
    const std::optional<QString> sent = openHandoff(handoffToken(), datagram.data());
    if (!sent) {
        qDebug() << "hand-over datagram without a valid token from port" << datagram.senderPort() << "ignored";
        return false;
    }
    const int end = sent->indexOf(QChar(0));
    *path = end < 0 ? *sent : sent->left(end);
    return true;
}

QUdpSocket* lf::handoffSocket()
{
    return g_handoffSocket;
}

void lf::setHandoffSocket(QUdpSocket* socket)
{
    g_handoffSocket = socket;
}
