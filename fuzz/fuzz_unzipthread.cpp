// The extraction routine over archive bytes: the input is written as an
// archive and extracted into a book folder. Nothing may land outside that
// folder, whatever the archive's entry names say.
#include "fuzzsandbox.h"
#include "import/unzipthread.h"

#include <QDir>
#include <QFile>

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

    UnzipThread::extractArchive(archivePath, box + QStringLiteral("/book"), fuzzLimits());

    const QStringList escaped = g_sandbox->escapedFiles();
    if (!escaped.isEmpty())
        failInvariant("written outside the book folder", escaped.join(QLatin1Char(' ')));
    const QStringList boxEntries = QDir(box).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : boxEntries) {
        if (name != QLatin1String("book.epub") && name != QLatin1String("book"))
            failInvariant("written beside the book folder", name);
    }
    return 0;
}
