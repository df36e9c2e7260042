#include "ziparchivewriter.h"

#include <QDataStream>

namespace {

QByteArray rawDeflate(const QByteArray& data)
{
    // qCompress gives a 4-byte length, a 2-byte zlib header, the deflate stream
    // and a 4-byte Adler-32; the raw stream sits in between.
    const QByteArray zlibStream = qCompress(data, 9);
    return zlibStream.mid(6, zlibStream.size() - 10);
}

quint32 declaredSize(const ZipArchiveWriter::Entry& entry)
{
    return static_cast<quint32>(entry.declaredSize >= 0 ? entry.declaredSize : entry.data.size());
}

struct WrittenEntry
{
    quint32 crc = 0;
    quint32 compressedSize = 0;
    quint32 offset = 0;
    quint16 method = 0;
    quint16 flags = 0;
};

} // namespace

void ZipArchiveWriter::add(const Entry& entry)
{
    m_entries.append(entry);
}

void ZipArchiveWriter::addFile(const QByteArray& name, const QByteArray& data, bool deflate)
{
    Entry entry;
    entry.name = name;
    entry.data = data;
    entry.deflate = deflate;
    add(entry);
}

quint32 ZipArchiveWriter::crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void ZipArchiveWriter::setSplitPart(bool splitPart)
{
    m_splitPart = splitPart;
}

QByteArray ZipArchiveWriter::archive() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    QList<WrittenEntry> written;
    // Entries sharing one data buffer (a generated book of many equal pages)
    // are checksummed and compressed once.
    const char* lastData = nullptr;
    bool lastDeflate = false;
    quint32 lastCrc = 0;
    QByteArray lastStored;

    for (const Entry& entry : m_entries) {
        WrittenEntry w;
        w.offset = static_cast<quint32>(bytes.size());
        w.method = static_cast<quint16>(entry.method >= 0 ? entry.method : entry.deflate ? 8 : 0);
        w.flags = static_cast<quint16>((entry.utf8Flag ? 0x0800 : 0) | (entry.encrypted ? 0x0001 : 0));
        if (entry.data.constData() != lastData || entry.deflate != lastDeflate || entry.data.isEmpty()) {
            lastData = entry.data.constData();
            lastDeflate = entry.deflate;
            lastCrc = crc32(entry.data);
            lastStored = entry.deflate ? rawDeflate(entry.data) : entry.data;
        }
        w.crc = lastCrc ^ (entry.wrongCrc ? 0x5A5A5A5Au : 0u);
        QByteArray stored = lastStored;
        if (entry.garbageData)
            stored = QByteArray(qMax(16, stored.size()), '\xff');
        w.compressedSize = static_cast<quint32>(stored.size());

        out << quint32(entry.brokenLocalHeader ? 0x01020304u : 0x04034b50u) << quint16(20) << w.flags << w.method
            << quint16(0) << quint16(0x5021) << w.crc << w.compressedSize << declaredSize(entry)
            << quint16(entry.name.size()) << quint16(0);
        out.writeRawData(entry.name.constData(), entry.name.size());
        out.writeRawData(stored.constData(), stored.size());
        written.append(w);
    }

    const quint32 directoryOffset = static_cast<quint32>(bytes.size());
    for (int i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries.at(i);
        const WrittenEntry& w = written.at(i);
        out << quint32(0x02014b50u) << quint16(0x0314) << quint16(20) << w.flags << w.method << quint16(0)
            << quint16(0x5021) << w.crc << w.compressedSize << declaredSize(entry) << quint16(entry.name.size())
            << quint16(0) << quint16(0) << quint16(0) << quint16(0) << quint32(0) << w.offset;
        out.writeRawData(entry.name.constData(), entry.name.size());
    }
    const quint32 directorySize = static_cast<quint32>(bytes.size()) - directoryOffset;
    const quint16 disk = m_splitPart ? 1 : 0;
    out << quint32(0x06054b50u) << disk << disk << quint16(m_entries.size()) << quint16(m_entries.size())
        << directorySize << directoryOffset << quint16(0);
    return bytes;
}
