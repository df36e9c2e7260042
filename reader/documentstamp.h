#pragma once

#include <QDateTime>
#include <QFileInfo>
#include <QString>

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
        const QFileInfo info(path);
        if (!info.isFile())
            return {};
        return { info.size(), info.lastModified().toMSecsSinceEpoch() };
    }
};
