#include "app/handoffticket.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace {
constexpr int kTokenSize = 32;

// The start time from /proc/<pid>/stat (its 22nd field); 0 when unknown. It
// tells a process from a later one that was given the same id.
quint64 processStartTime(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // The command name in parentheses may hold spaces; the fields after it don't.
    const int nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(nameEnd + 2).split(' ');
    constexpr int kStartTimeIndex = 22 - 3; // the list starts at the 3rd field
    return fields.size() > kStartTimeIndex ? fields.at(kStartTimeIndex).toULongLong() : 0;
}

bool isHex(const QByteArray& text)
{
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}
} // namespace

HandoffTicket HandoffTicket::forThisProcess(const QByteArray& token)
{
    const qint64 pid = QCoreApplication::applicationPid();
    return { pid, processStartTime(pid), token };
}

std::optional<HandoffTicket> HandoffTicket::parse(const QByteArray& content)
{
    const QList<QByteArray> fields = content.split(' ');
    if (fields.size() != 3 || fields.at(2).size() != 2 * kTokenSize || !isHex(fields.at(2)))
        return std::nullopt;
    bool pidOk = false;
    bool timeOk = false;
    HandoffTicket ticket { fields.at(0).toLongLong(&pidOk), fields.at(1).toULongLong(&timeOk),
        QByteArray::fromHex(fields.at(2)) };
    if (!pidOk || !timeOk || ticket.pid <= 0)
        return std::nullopt;
    return ticket;
}

QByteArray HandoffTicket::toBytes() const
{
    return QByteArray::number(pid) + ' ' + QByteArray::number(startTime) + ' ' + token.toHex();
}

bool HandoffTicket::ownerIsAlive() const
{
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM))
        return false;
    return startTime == 0 || processStartTime(pid) == startTime;
}
