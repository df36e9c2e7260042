#pragma once

#include "base/datadirectory.h"
#include "import/unzipthread.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <functional>

// Small helpers shared by the benchmark programs.
namespace lf::bench {

// Puts the temporary-files location and the user data location (and so the
// data directory) below `scratch`, so a benchmark never touches the user's
// library. Called before the application object exists.
inline void usePrivateLocations(const QString& scratch)
{
    qputenv("TMPDIR", QFile::encodeName(scratch));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch + QStringLiteral("/data")));
}

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

inline void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// Extracts a corpus book into the data directory; returns its book name.
inline QString installCorpusBook(const QString& file)
{
    const QString name = QFileInfo(file).completeBaseName();
    UnzipThread::extractArchive(QStringLiteral(LF_CORPUS_DIR "/") + file, lf::dataDirectory() + name);
    return name;
}

// Writes a reflowable EPUB 3 book of `documents` chapters into the data
// directory as "generated-<documents>", or "<kind>-<documents>"; `body` gives
// chapter i's body markup.
inline QString generateBook(int documents, const std::function<QByteArray(int)>& body, const QString& kind = {})
{
    const QString name
        = QStringLiteral("%1-%2").arg(kind.isEmpty() ? QStringLiteral("generated") : kind).arg(documents);
    const QString dir = lf::dataDirectory() + name + QLatin1Char('/');
    writeFile(dir + QStringLiteral("mimetype"), "application/epub+zip");
    writeFile(dir + QStringLiteral("META-INF/container.xml"),
        "<container><rootfiles><rootfile full-path=\"OPS/package.opf\" "
        "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
    QByteArray manifest;
    QByteArray spine;
    for (int i = 0; i < documents; ++i) {
        const QByteArray id = "c" + QByteArray::number(i);
        manifest += "<item id=\"" + id + "\" href=\"text/" + id + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
        spine += "<itemref idref=\"" + id + "\"/>";
        writeFile(dir + QStringLiteral("OPS/text/%1.xhtml").arg(QString::fromLatin1(id)),
            "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>" + id
                + "</title></head><body>" + body(i) + "</body></html>");
    }
    writeFile(dir + QStringLiteral("OPS/package.opf"),
        "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\"><metadata/><manifest>" + manifest
            + "</manifest><spine>" + spine + "</spine></package>");
    return name;
}

} // namespace lf::bench
