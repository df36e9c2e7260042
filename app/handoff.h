#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class InstanceLock;
class QObject;
class QUdpSocket;

// The single-instance hand-over: the first instance binds a datagram port on
// the loopback address, records it in "single_port" and its ticket (process
// and secret token) in "single_token"; a later start sends its path there,
// sealed with the token (see handoffmessage.h).
namespace lf {

// How long a later start waits for the first instance to be ready.
inline constexpr int kHandoffWaitMs = 8000;

QString portFilePath();
QString handoffTicketPath();

// This process's secret token: random, made once, never sent anywhere.
QByteArray handoffToken();

// Binds the first free port of 60000..60999 on the loopback address, for this
// socket alone. nullptr when no port could be bound.
QUdpSocket* openHandoffSocket(QObject* parent = nullptr);

// Writes the ticket and the port file for `socket` and keeps them in place
// while the socket lives. False when they could not be written.
bool publishHandoff(QUdpSocket* socket);

// openHandoffSocket() and publishHandoff() in one.
QUdpSocket* bindHandoffSocket(QObject* parent = nullptr);

// Writes the port number as bare decimal digits, replacing the file whole.
bool writePortFile(quint16 port);

// The port recorded in the port file; 0 when it is missing or not a number.
quint16 readPortFile();

// Where and how a later start reaches the running instance: only when its
// ticket is readable, its owner still runs and a port is recorded.
struct HandoffTarget
{
    quint16 port = 0;
    QByteArray token;
};
std::optional<HandoffTarget> readHandoffTarget();

// Sends `path` as one sealed datagram to the loopback address at `port`.
bool sendHandoff(const QString& path, quint16 port, const QByteArray& token);

enum class HandoffOutcome {
    Sent,
    BecameFirst, // the first instance ended meanwhile and this process holds the lock
    LockFailed,
    TimedOut,
};
// Waits (at most `timeoutMs`) until the lock's holder has published a live
// ticket and port, then sends `path` there.
HandoffOutcome handOverWhenReady(const QString& path, InstanceLock& lock, int timeoutMs = kHandoffWaitMs);

// Reads one pending datagram. Returns false (and reads nothing into `path`)
// when it came from another host or is not sealed with this process's token.
bool receiveHandoff(QUdpSocket* socket, QString* path);

// The process-wide hand-over socket of the first instance, if any.
QUdpSocket* handoffSocket();
void setHandoffSocket(QUdpSocket* socket);

} // namespace lf
