#pragma once

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QString>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

// What identifies the book file a stored search text or thumbnail was made
// from: its size and modification time. The time is set when the book is
// unpacked, so a book cannot ship stored files that match its own documents.
struct DocumentStamp
{
    qint64 size = -1; // -1: no such file
    qint64 modified = -1; // ms since the epoch

    bool isValid() const { return size >= 0; }
    bool operator==(const DocumentStamp& other) const { return size == other.size && modified == other.modified; }
    bool operator!=(const DocumentStamp& other) const { return !(*this == other); }

    static DocumentStamp of(const QString& path)
    {
#ifdef Q_OS_UNIX
        // The same figures as QFileInfo gives, without its local-time
        // conversion, which costs more than the stat itself: a book of 10,000
        // documents checks every one before its stored texts are searched.
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
            return {};
        return { qint64(status.st_size), qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000 };
#endif
        const QFileInfo info(path);
        if (!info.isFile())
            return {};
        return { info.size(), info.lastModified().toMSecsSinceEpoch() };
    }
};
