#include "app/handoff.h"

#include "app/appconstants.h"
#include "app/datadirectory.h"

#include <QDebug>
#include <QFile>
#include <QNetworkDatagram>
#include <QSaveFile>
#include <QUdpSocket>

namespace {
QUdpSocket* g_handoffSocket = nullptr;

QString portFilePath()
{
    return lf::dataDirectory() + lf::kPortFileName;
}

bool isLoopback(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also unwraps ::ffff:a.b.c.d
    if (isV4)
        return QHostAddress(v4).isLoopback();
    return address.isLoopback();
}
} // namespace

QUdpSocket* lf::bindHandoffSocket(QObject* parent)
{
    for (int port = kFirstHandoffPort; port <= kLastHandoffPort; ++port) {
        auto* socket = new QUdpSocket(parent);
        if (!socket->bind(static_cast<quint16>(port), QAbstractSocket::ShareAddress)) {
            socket->close();
            delete socket;
            continue;
        }
        if (ensureDataDirectory())
            writePortFile(static_cast<quint16>(port));
        return socket;
    }
    qDebug() << "no hand-over port free in" << kFirstHandoffPort << "to" << kLastHandoffPort;
    return nullptr;
}

bool lf::writePortFile(quint16 port)
{
    if (!ensureDataDirectory())
        return false;
    QSaveFile file(portFilePath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray::number(port));
    return file.commit();
}

quint16 lf::readPortFile()
{
    if (!dataDirectoryIsOurs())
        return 0;
    QFile file(portFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const quint16 port = file.readAll().toUShort(&ok, 10);
    return ok ? port : 0;
}

void lf::sendHandoff(const QString& path, quint16 port)
{
    QUdpSocket socket;
    socket.writeDatagram(path.toUtf8(), QHostAddress(QHostAddress::LocalHost), port);
}

bool lf::receiveHandoff(QUdpSocket* socket, QString* path)
{
    const QNetworkDatagram datagram = socket->receiveDatagram();
    if (!isLoopback(datagram.senderAddress())) {
        qDebug() << "hand-over datagram from" << datagram.senderAddress().toString() << "ignored";
        return false;
    }
    const QByteArray data = datagram.data();
    const int end = data.indexOf('\0');
    *path = QString::fromUtf8(end < 0 ? data : data.left(end));
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
