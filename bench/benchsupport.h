#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Small helpers shared by the benchmark programs.
namespace lf::bench {

// The process's resident memory in kilobytes, or -1 where /proc is missing.
inline long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace lf::bench
