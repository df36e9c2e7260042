#pragma once

#include <QString>

class QObject;
class QUdpSocket;

// The single-instance hand-over: the first instance binds a datagram port and
// records it in "single_port"; a later start sends its path there as UTF-8.
namespace lf {

// Binds the first free port of 60000..60999 on all addresses and writes the
// port file. Returns the socket, or nullptr when no port could be bound.
QUdpSocket* bindHandoffSocket(QObject* parent = nullptr);

// Writes the port number as bare decimal digits, replacing the file whole.
bool writePortFile(quint16 port);

// The port recorded in the port file; 0 when it is missing or not a number.
quint16 readPortFile();

// Sends `path` as one UTF-8 datagram to the loopback address at `port`.
void sendHandoff(const QString& path, quint16 port);

// Reads one pending datagram. Returns false (and reads nothing into `path`)
// when it came from another host: only local programs may hand over a book.
bool receiveHandoff(QUdpSocket* socket, QString* path);

// The process-wide hand-over socket of the first instance, if any.
QUdpSocket* handoffSocket();
void setHandoffSocket(QUdpSocket* socket);

} // namespace lf
