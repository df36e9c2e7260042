#pragma once

#include <QByteArray>
#include <QList>

// Writes ZIP archives byte by byte, so that tests can build entries no ordinary
// archiver would produce: hostile names, wrong checksums, broken data.
class ZipArchiveWriter
{
public:
    struct Entry
    {
        QByteArray name;
        QByteArray data;
        bool deflate = false;
        bool utf8Flag = true; // general-purpose bit 11
        bool wrongCrc = false; // store a checksum that does not match the data
        bool garbageData = false; // deflated entry whose compressed bytes are not a deflate stream
        bool brokenLocalHeader = false;
        qint64 declaredSize = -1; // uncompressed size written in the headers; -1: the real one
        int method = -1; // compression method written in the headers; -1: by `deflate`
        bool encrypted = false; // general-purpose bit 0
    };

    void add(const Entry& entry);
    void addFile(const QByteArray& name, const QByteArray& data, bool deflate = true);
    QByteArray archive() const;
    // Numbers the end record as a later part of an archive split over several files.
    void setSplitPart(bool splitPart);

    static quint32 crc32(const QByteArray& data);

private:
    QList<Entry> m_entries;
    bool m_splitPart = false;
};
