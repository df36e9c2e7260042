#include "unzipthread.h"

#include <QDir>
#include <QFile>

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

enum class EntryResult { Written, Skipped, Failed };

// Copies the current entry to `target` in fixed chunks through one stack buffer.
EntryResult copyCurrentEntry(unzFile archive, const QString& target)
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
    while ((read = unzReadCurrentFile(archive, buffer.data(), kChunkSize)) > 0) {
        if (file.write(buffer.data(), read) != read) {
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

EntryResult extractCurrentEntry(unzFile archive, const QString& bookDir)
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
    return copyCurrentEntry(archive, target);
}

} // namespace

UnzipThread::UnzipThread(QString archivePath, QString bookDir, QObject* parent)
    : QThread(parent)
    , archivePath(std::move(archivePath))
    , bookDir(std::move(bookDir))
{
}

bool UnzipThread::completed() const
{
    return m_completed;
}

void UnzipThread::run()
{
    m_completed = extractArchive(archivePath, bookDir);
}

bool UnzipThread::extractArchive(const QString& archivePath, const QString& bookDir)
{
    // Entry paths are joined below bookDir with a "/"; an empty one would put them at the file-system root.
    if (bookDir.isEmpty())
        return false;
    unzFile archive = openArchive(archivePath);
    if (!archive)
        return false;
    if (unzGoToFirstFile(archive) != UNZ_OK) {
        unzClose(archive);
        return false;
    }
    bool completed = false;
    for (;;) {
        if (extractCurrentEntry(archive, bookDir) == EntryResult::Failed)
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
