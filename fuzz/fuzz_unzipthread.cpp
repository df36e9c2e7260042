// The extraction routine over archive bytes: the input is written as an
// archive and extracted into a book folder. Nothing may land outside that
// folder, whatever the archive's entry names say, and nothing at the names of
// the reader's own files (bookmarks, marks, memos, thumbnails, page texts,
// reading position, source fingerprint).
#include "fuzzsandbox.h"
#include "import/unzipthread.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstddef>
#include <cstdint>

namespace {
FuzzSandbox* g_sandbox = nullptr;

// Small bounds keep every input quick; the free space is fixed so that the
// file system is not asked on every input.
ExtractionLimits fuzzLimits()
{
    ExtractionLimits limits;
    limits.maxTotalBytes = qint64(8) << 20;
    limits.maxEntries = 2000;
    limits.freeBytes = qint64(1) << 30;
    limits.freeSpaceMargin = 0;
    return limits;
}

// The harness's own reading of where the reader keeps its files.
bool isReadersOwnFile(const QString& book, const QFileInfo& file)
{
    const QString relative = file.filePath().mid(book.size() + 1);
    if (relative == QLatin1String("cp") || relative == QLatin1String(".lf_source")
        || file.fileName() == QLatin1String("bm"))
        return true;
    const QString folder = QFileInfo(file.path()).fileName();
    const QString name = file.fileName();
    return (folder == QLatin1String("highlight") && name.startsWith(QLatin1String("hili")))
        || (folder == QLatin1String("memo") && name.startsWith(QLatin1String("memo")))
        || (folder == QLatin1String("thumbnail") && name.startsWith(QLatin1String("thum")))
        || (folder == QLatin1String("searchtext") && name == QLatin1String("texts.txt"));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    static FuzzSandbox sandbox;
    g_sandbox = &sandbox;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString box = g_sandbox->path();
    g_sandbox->clear();
    const QString archivePath = box + QStringLiteral("/book.epub");
    QFile archive(archivePath);
    if (!archive.open(QIODevice::WriteOnly)
        || archive.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != qint64(size))
        failInvariant("archive not written", archivePath);
    archive.close();

    const QString book = box + QStringLiteral("/book");
    UnzipThread::extractArchive(archivePath, book, fuzzLimits());

    const QStringList escaped = g_sandbox->escapedFiles();
    if (!escaped.isEmpty())
        failInvariant("written outside the book folder", escaped.join(QLatin1Char(' ')));
    const QStringList boxEntries = QDir(box).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : boxEntries) {
        if (name != QLatin1String("book.epub") && name != QLatin1String("book"))
            failInvariant("written beside the book folder", name);
    }
    QDirIterator files(book, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        if (isReadersOwnFile(book, files.fileInfo()))
            failInvariant("written at a name of the reader's own", files.filePath());
    }
    return 0;
}
