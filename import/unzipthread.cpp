#include "unzipthread.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <unzip.h>
#ifdef Q_OS_WIN
#include "iowin32.h"
#endif

#include <array>
#include <cstring>
#include <string>
#include <utility>

namespace {

constexpr int kNameBufferSize = 260; // at most 259 name bytes and a terminating zero
constexpr int kChunkSize = 8192;

unzFile openArchive(const QString& archivePath)
{
    zlib_filefunc64_def fileFunctions;
    const QString nativePath = QDir::toNativeSeparators(archivePath);
#ifdef Q_OS_WIN
    fill_win32_filefunc64W(&fileFunctions);
    const std::wstring widePath = nativePath.toStdWString();
    return unzOpen2_64(widePath.c_str(), &fileFunctions);
#else
    fill_fopen64_filefunc(&fileFunctions);
    // The file system's own encoding (UTF-8 on any current Linux).
    const QByteArray encodedPath = QFile::encodeName(nativePath);
    return unzOpen2_64(encodedPath.constData(), &fileFunctions);
#endif
}

// An entry name that is absolute, carries a drive letter or climbs with ".."
// would be written outside the book folder.
bool escapesBookDir(const QString& name)
{
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\')))
        return true;
    if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())
        return true;
    QString slashed = name;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return slashed.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

// Free bytes of the file system that will hold `bookDir` (the folder may not exist yet).
qint64 availableBytes(const QString& bookDir)
{
    QFileInfo existing(bookDir);
    while (!existing.exists() && !existing.isRoot() && existing.absoluteFilePath() != existing.absolutePath())
        existing = QFileInfo(existing.absolutePath());
    const QStorageInfo storage(existing.absoluteFilePath());
    return storage.isValid() && storage.isReady() ? storage.bytesAvailable() : -1;
}

// Reads only the central directory: an archive whose entries would fill the
// disk, or that holds absurdly many of them, is refused before a byte is written.
bool fitsLimits(
    unzFile archive, const QString& bookDir, const ExtractionLimits& limits, const std::function<bool()>& interrupted)
{
    unz_global_info64 global;
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK)
        return false;
    if (global.number_entry > static_cast<ZPOS64_T>(limits.maxEntries)) {
        qDebug().noquote() << "archive refused:" << global.number_entry << "entries, more than" << limits.maxEntries;
        return false;
    }
    const qint64 freeBytes = limits.freeBytes >= 0 ? limits.freeBytes : availableBytes(bookDir);
    const qint64 room
        = freeBytes < 0 ? limits.maxTotalBytes : qMin(limits.maxTotalBytes, freeBytes - limits.freeSpaceMargin);
    ZPOS64_T total = 0;
    int status = unzGoToFirstFile(archive);
    while (status == UNZ_OK) {
        if (interrupted && interrupted())
            return false;
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        // Each size is compared before it is added, so the sum cannot wrap around.
        if (room < 0 || info.uncompressed_size > static_cast<ZPOS64_T>(room) - total) {
            qDebug().noquote() << "archive refused: it expands to more than" << room
                               << "bytes (free space less a margin, or the size cap)";
            return false;
        }
        total += info.uncompressed_size;
        status = unzGoToNextFile(archive);
    }
    return status == UNZ_END_OF_LIST_OF_FILE;
}

enum class EntryResult { Written, Skipped, Failed };

// Copies the current entry to `target` in fixed chunks through one stack buffer;
// never more bytes than the entry declares.
EntryResult copyCurrentEntry(
    unzFile archive, const QString& target, ZPOS64_T declaredSize, const std::function<bool()>& interrupted)
{
    if (unzOpenCurrentFile(archive) != UNZ_OK)
        return EntryResult::Failed;
    QFile file(target);
    // A name ending in "/" that carries data cannot become a file.
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered;
    if (target.endsWith(QLatin1Char('/')) || !file.open(mode)) {
        unzCloseCurrentFile(archive);
        return EntryResult::Failed;
    }
    std::array<char, kChunkSize> buffer;
    buffer.fill(0);
    int read = 0;
    bool written = true;
    ZPOS64_T total = 0;
    while ((read = unzReadCurrentFile(archive, buffer.data(), kChunkSize)) > 0) {
        total += static_cast<ZPOS64_T>(read);
        if (total > declaredSize) {
            qDebug().noquote() << "entry yields more than its declared" << declaredSize << "bytes:" << target;
            written = false;
            break;
        }
        if (file.write(buffer.data(), read) != read || (interrupted && interrupted())) {
            written = false;
            break;
        }
    }
    file.close();
    const int closeResult = unzCloseCurrentFile(archive);
    if (!written || read < 0 || closeResult == UNZ_CRCERROR) {
        // Never leave a partial or corrupted file behind.
        file.remove();
        return EntryResult::Failed;
    }
    return EntryResult::Written;
}

EntryResult extractCurrentEntry(unzFile archive, const QString& bookDir, const std::function<bool()>& interrupted)
{
    std::array<char, kNameBufferSize> nameBuffer;
    nameBuffer.fill(0);
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(archive, &info, nameBuffer.data(), kNameBufferSize, nullptr, 0, nullptr, 0) != UNZ_OK)
        return EntryResult::Failed;
    // A longer name does not fit the buffer; it is skipped rather than cut.
    if (info.size_filename >= static_cast<uLong>(kNameBufferSize))
        return EntryResult::Skipped;

    const QString name = QString::fromUtf8(nameBuffer.data(), static_cast<int>(std::strlen(nameBuffer.data())));
    if (name.isEmpty() || escapesBookDir(name))
        return EntryResult::Skipped;

    const QString target = bookDir + QLatin1Char('/') + name;
    if (info.uncompressed_size == 0 && name.endsWith(QLatin1Char('/'))) {
        QDir(bookDir).mkpath(name);
        return EntryResult::Written;
    }
    const int lastSlash = name.lastIndexOf(QLatin1Char('/'));
    if (lastSlash > 0)
        QDir(bookDir).mkpath(name.left(lastSlash));
    else
        QDir().mkpath(bookDir);
    return copyCurrentEntry(archive, target, info.uncompressed_size, interrupted);
}

} // namespace

UnzipThread::UnzipThread(QString archivePath, QString bookDir, QObject* parent)
    : QThread(parent)
    , archivePath(std::move(archivePath))
    , bookDir(std::move(bookDir))
{ }

void UnzipThread::setLimits(const ExtractionLimits& limits)
{
    m_limits = limits;
}

bool UnzipThread::completed() const
{
    return m_completed;
}

void UnzipThread::run()
{
    m_completed = extractArchive(archivePath, bookDir, m_limits, [this] { return isInterruptionRequested(); });
}

bool UnzipThread::extractArchive(const QString& archivePath, const QString& bookDir, const ExtractionLimits& limits,
    const std::function<bool()>& interrupted)
{
    // Entry paths are joined below bookDir with a "/"; an empty one would put them at the file-system root.
    if (bookDir.isEmpty())
        return false;
    unzFile archive = openArchive(archivePath);
    if (!archive)
        return false;
    if (!fitsLimits(archive, bookDir, limits, interrupted) || unzGoToFirstFile(archive) != UNZ_OK) {
        unzClose(archive);
        return false;
    }
    bool completed = false;
    for (;;) {
        if (interrupted && interrupted()) {
            qDebug().noquote() << "extraction interrupted:" << archivePath;
            break;
        }
        if (extractCurrentEntry(archive, bookDir, interrupted) == EntryResult::Failed)
            break;
        const int next = unzGoToNextFile(archive);
        if (next == UNZ_END_OF_LIST_OF_FILE) {
            completed = true;
            break;
        }
        if (next != UNZ_OK)
            break;
    }
    unzClose(archive);
    return completed;
}
