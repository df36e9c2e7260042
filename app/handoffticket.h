#pragma once

#include <QByteArray>

#include <optional>

// What the first instance leaves beside its port file: its process id and
// start time, so a later start can tell a live publication from one that a
// crashed or ended instance left behind, and the hand-over secret, which only
// the owner of the data directory can read.
struct HandoffTicket
{
    qint64 pid = 0;
    quint64 startTime = 0; // clock ticks since boot; 0 where the system does not tell
    QByteArray token;

    static HandoffTicket forThisProcess(const QByteArray& token);
    // The ticket in `content`; nothing when it is not one.
    static std::optional<HandoffTicket> parse(const QByteArray& content);
    // "pid start-time token-in-hex", one line without a line end.
    QByteArray toBytes() const;
    // True while the process that wrote the ticket still runs.
    bool ownerIsAlive() const;
};
