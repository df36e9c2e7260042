#include "unzipthread.h"

#include "base/appconstants.h"
#include "base/relativepath.h"
#include "import/booksource.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtEndian>

#include <unzip.h>
#ifdef Q_OS_WIN
#include "iowin32.h"
#endif

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr int kNameBufferSize = 260; // at most 259 name bytes and a terminating zero
// Entries are inflated straight into a buffer of up to this size and written
// from it: one write call for most files of a book, few for large images.
constexpr ZPOS64_T kChunkSize = 256 * 1024;

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

#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif

// What a file name pattern ("hili%1") starts with.
QString patternPrefix(const QString& pattern)
{
    return pattern.left(pattern.indexOf(QLatin1String("%1")));
}

// True when `name` is where the reader keeps its own files in a book folder:
// the reading position, the source fingerprint and the drawn cover at the top, the bookmarks,
// marks, memos, thumbnails and page texts in the package's folder. That folder
// is only known once the book is read, and any folder may be it, so those are
// matched at any depth; an entry there would be taken for the user's own, or
// stand where the reader must write. Book files that merely share a folder
// name (an image folder called "thumbnail") stay.
bool isProgramOwnedName(const QString& name)
{
    QString slashed = name;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList segments = slashed.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    segments.removeAll(QStringLiteral("."));
    if (segments.isEmpty())
        return false;
    const auto is = [](const QString& segment, const QString& own) { return segment.compare(own, kFileNameCase) == 0; };
    if (is(segments.first(), lf::kReadingPositionFileName) || is(segments.first(), lf::BookSource::kFileName)
        || is(segments.first(), lf::kRenderedCoverFileName))
        return true;
    // Each folder of the reader's, with what its own files start with; the
    // page texts are kept as the page harvest names them.
    static const std::pair<QString, QString> ownFolders[] = {
        { lf::kHighlightFolder, patternPrefix(lf::kHighlightFilePattern) },
        { lf::kMemoFolder, patternPrefix(lf::kMemoFilePattern) },
        { lf::kThumbnailFolder, patternPrefix(lf::kThumbnailFilePattern) },
        { QStringLiteral("searchtext"), QStringLiteral("texts.txt") },
    };
    for (int i = 0; i < segments.size(); ++i) {
        if (is(segments.at(i), lf::kBookmarkFileName))
            return true;
        for (const auto& [folder, ownPrefix] : ownFolders) {
            if (is(segments.at(i), folder)
                && (i + 1 == segments.size() || segments.at(i + 1).startsWith(ownPrefix, kFileNameCase)))
                return true;
        }
    }
    return false;
}

// minizip takes an archive spread over several files for no archive at all;
// its end record, or the marker a first part starts with, tells them apart.
bool isSplitArchive(const QString& archivePath)
{
    constexpr int kEndRecordSize = 22;
    constexpr int kMaxCommentSize = 0xFFFF;
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.peek(4) == QByteArray("PK\x07\x08", 4))
        return true;
    const qint64 tailSize = qMin(file.size(), qint64(kEndRecordSize + kMaxCommentSize));
    if (!file.seek(file.size() - tailSize))
        return false;
    const QByteArray tail = file.read(tailSize);
    const int at = tail.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (at < 0 || at + kEndRecordSize > tail.size())
        return false;
    const auto* record = reinterpret_cast<const uchar*>(tail.constData() + at);
    return qFromLittleEndian<quint16>(record + 4) != 0 || qFromLittleEndian<quint16>(record + 6) != 0;
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

// Sizes are summed without wrapping around, however many and large they are.
qint64 addCapped(qint64 sum, ZPOS64_T size)
{
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    return size >= static_cast<ZPOS64_T>(kMax - sum) ? kMax : sum + static_cast<qint64>(size);
}

bool isSupportedEntry(const unz_file_info64& info)
{
    constexpr uLong kEncryptedFlag = 0x1;
    return (info.compression_method == 0 || info.compression_method == Z_DEFLATED) && !(info.flag & kEncryptedFlag);
}

// Reads only the central directory: an archive that holds absurdly many
// entries, entries this program cannot read, or that would expand beyond the
// size cap, like a bomb, or beyond the free space, is refused before a byte is
// written. `archiveBytes` is the archive's size on disk.
ExtractionResult checkLimits(unzFile archive, qint64 archiveBytes, const QString& bookDir,
    const ExtractionLimits& limits, const std::function<bool()>& interrupted)
{
    unz_global_info64 global;
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK)
        return ExtractionResult::Damaged;
    if (global.number_entry > static_cast<ZPOS64_T>(limits.maxEntries)) {
        qDebug().noquote() << "archive refused:" << global.number_entry << "entries, more than" << limits.maxEntries;
        return ExtractionResult::TooManyEntries;
    }
    qint64 expanded = 0;
    qint64 compressed = 0;
    int status = unzGoToFirstFile(archive);
    while (status == UNZ_OK) {
        if (interrupted && interrupted())
            return ExtractionResult::Interrupted;
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return ExtractionResult::Damaged;
        if (!isSupportedEntry(info)) {
            qDebug().noquote() << "archive refused: an entry compressed by method" << info.compression_method
                               << "or encrypted (flags" << info.flag << ")";
            return ExtractionResult::UnsupportedEntries;
        }
        expanded = addCapped(expanded, info.uncompressed_size);
        compressed = addCapped(compressed, info.compressed_size);
        status = unzGoToNextFile(archive);
    }
    if (status != UNZ_END_OF_LIST_OF_FILE)
        return ExtractionResult::Damaged;
    if (expanded > limits.maxTotalBytes) {
        qDebug().noquote() << "archive refused: it expands to" << expanded << "bytes, more than"
                           << limits.maxTotalBytes;
        return ExtractionResult::TooLarge;
    }
    // The archive's own size bounds what its entries can really hold compressed.
    if (ExtractionLimits::isCompressionBomb(expanded, qMin(compressed, archiveBytes))) {
        qDebug().noquote() << "archive refused: it expands to" << expanded << "bytes from"
                           << qMin(compressed, archiveBytes);
        return ExtractionResult::CompressionBomb;
    }
    const qint64 freeBytes = limits.freeBytes >= 0 ? limits.freeBytes : availableBytes(bookDir);
    if (!ExtractionLimits::fitsFreeSpace(freeBytes, expanded, limits.freeSpaceMargin)) {
        qDebug().noquote() << "archive refused: it expands to" << expanded << "bytes, with" << freeBytes
                           << "bytes free";
        return ExtractionResult::NotEnoughSpace;
    }
    return ExtractionResult::Completed;
}

// The bytes really written so far, against the archive's size: a header that
// understates its entries' sizes does not let a bomb through.
struct ExpansionCount
{
    qint64 archiveBytes = 0;
    qint64 written = 0;
};

// Copies the current entry to `target` in chunks through one buffer sized to
// the entry (one byte more, so that an entry longer than it declares shows
// itself), never more than kChunkSize; never more bytes than the entry
// declares. Completed when the entry was written.
ExtractionResult copyCurrentEntry(unzFile archive, const QString& target, ZPOS64_T declaredSize,
    ExpansionCount& expansion, const std::function<bool()>& interrupted)
{
    if (unzOpenCurrentFile(archive) != UNZ_OK)
        return ExtractionResult::Damaged;
    QFile file(target);
    // A name ending in "/" that carries data cannot become a file.
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered;
    if (target.endsWith(QLatin1Char('/')) || !file.open(mode)) {
        unzCloseCurrentFile(archive);
        return target.endsWith(QLatin1Char('/')) ? ExtractionResult::Damaged : ExtractionResult::WriteFailed;
    }
    const auto chunk = static_cast<unsigned>(qMin(declaredSize, kChunkSize - 1) + 1);
    const std::unique_ptr<char[]> buffer(new char[chunk]);
    int read = 0;
    ExtractionResult result = ExtractionResult::Completed;
    ZPOS64_T total = 0;
    while ((read = unzReadCurrentFile(archive, buffer.get(), chunk)) > 0) {
        total += static_cast<ZPOS64_T>(read);
        expansion.written += read;
        if (total > declaredSize) {
            qDebug().noquote() << "entry yields more than its declared" << declaredSize << "bytes:" << target;
            result = ExtractionResult::Damaged;
        } else if (ExtractionLimits::isCompressionBomb(expansion.written, expansion.archiveBytes)) {
            qDebug().noquote() << "archive refused: it has expanded to" << expansion.written << "bytes from"
                               << expansion.archiveBytes;
            result = ExtractionResult::CompressionBomb;
        } else if (file.write(buffer.get(), read) != read) {
            result = ExtractionResult::WriteFailed;
        } else if (interrupted && interrupted()) {
            result = ExtractionResult::Interrupted;
        }
        if (result != ExtractionResult::Completed)
            break;
    }
    file.close();
    const int closeResult = unzCloseCurrentFile(archive);
    if (result == ExtractionResult::Completed && (read < 0 || closeResult == UNZ_CRCERROR))
        result = ExtractionResult::Damaged;
    // An entry shorter than it declares is as damaged as a longer one.
    if (result == ExtractionResult::Completed && total != declaredSize) {
        qDebug().noquote() << "entry yields" << total << "bytes, not its declared" << declaredSize << ":" << target;
        result = ExtractionResult::Damaged;
    }
    // Never leave a partial or corrupted file behind.
    if (result != ExtractionResult::Completed)
        file.remove();
    return result;
}

// Completed when the current entry was written or skipped.
ExtractionResult extractCurrentEntry(
    unzFile archive, const QString& bookDir, ExpansionCount& expansion, const std::function<bool()>& interrupted)
{
    std::array<char, kNameBufferSize> nameBuffer;
    nameBuffer.fill(0);
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(archive, &info, nameBuffer.data(), kNameBufferSize, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ExtractionResult::Damaged;
    // A longer name does not fit the buffer; it is skipped rather than cut.
    if (info.size_filename >= static_cast<uLong>(kNameBufferSize))
        return ExtractionResult::Completed;

    const QString name = QString::fromUtf8(nameBuffer.data(), static_cast<int>(std::strlen(nameBuffer.data())));
    if (!lf::RelativePath::staysInside(name))
        return ExtractionResult::Completed;
    if (isProgramOwnedName(name)) {
        // Quoted: the name is the book's, and may hold control characters.
        qDebug() << "archive entry left out, the reader keeps its own file there:" << name;
        return ExtractionResult::Completed;
    }

    const QString target = bookDir + QLatin1Char('/') + name;
    if (info.uncompressed_size == 0 && name.endsWith(QLatin1Char('/'))) {
        QDir(bookDir).mkpath(name);
        return ExtractionResult::Completed;
    }
    const int lastSlash = name.lastIndexOf(QLatin1Char('/'));
    if (lastSlash > 0)
        QDir(bookDir).mkpath(name.left(lastSlash));
    else
        QDir().mkpath(bookDir);
    return copyCurrentEntry(archive, target, info.uncompressed_size, expansion, interrupted);
}

} // namespace

bool ExtractionLimits::fitsFreeSpace(qint64 freeBytes, qint64 expandedBytes, qint64 margin)
{
    // Unknown free space: the size cap alone decides.
    if (freeBytes < 0)
        return true;
    // Never more than a quarter of what is free, so that the margin cannot
    // exceed the free space itself on a small disk.
    const qint64 kept = qBound(qint64(0), margin, freeBytes / 4);
    return expandedBytes <= freeBytes - kept;
}

bool ExtractionLimits::isCompressionBomb(qint64 expandedBytes, qint64 compressedBytes)
{
    if (expandedBytes <= kBombThresholdBytes)
        return false;
    if (compressedBytes > std::numeric_limits<qint64>::max() / kMaxExpansionRatio)
        return false;
    return expandedBytes > qMax(compressedBytes, qint64(0)) * kMaxExpansionRatio;
}

UnzipThread::UnzipThread(QString archivePath, QString bookDir, QObject* parent)
    : QThread(parent)
    , archivePath(std::move(archivePath))
    , bookDir(std::move(bookDir))
{ }

void UnzipThread::setLimits(const ExtractionLimits& limits)
{
    m_limits = limits;
}

ExtractionResult UnzipThread::result() const
{
    return m_result;
}

bool UnzipThread::completed() const
{
    return m_result == ExtractionResult::Completed;
}

void UnzipThread::run()
{
    m_result = extract(archivePath, bookDir, m_limits, [this] { return isInterruptionRequested(); });
}

bool UnzipThread::extractArchive(const QString& archivePath, const QString& bookDir, const ExtractionLimits& limits,
    const std::function<bool()>& interrupted)
{
    return extract(archivePath, bookDir, limits, interrupted) == ExtractionResult::Completed;
}

ExtractionResult UnzipThread::extract(const QString& archivePath, const QString& bookDir,
    const ExtractionLimits& limits, const std::function<bool()>& interrupted)
{
    // Entry paths are joined below bookDir with a "/"; an empty one would put them at the file-system root.
    if (bookDir.isEmpty())
        return ExtractionResult::WriteFailed;
    unzFile archive = openArchive(archivePath);
    if (!archive) {
        const bool split = isSplitArchive(archivePath);
        qDebug().noquote() << (split ? "archive refused: one part of a split archive:" : "no ZIP archive:")
                           << archivePath;
        return split ? ExtractionResult::SplitArchive : ExtractionResult::NotAnArchive;
    }
    ExpansionCount expansion;
    expansion.archiveBytes = QFileInfo(archivePath).size();
    ExtractionResult result = checkLimits(archive, expansion.archiveBytes, bookDir, limits, interrupted);
    if (result == ExtractionResult::Completed && unzGoToFirstFile(archive) != UNZ_OK)
        result = ExtractionResult::NotAnArchive;
    while (result == ExtractionResult::Completed) {
        if (interrupted && interrupted()) {
            qDebug().noquote() << "extraction interrupted:" << archivePath;
            result = ExtractionResult::Interrupted;
            break;
        }
        result = extractCurrentEntry(archive, bookDir, expansion, interrupted);
        if (result != ExtractionResult::Completed)
            break;
        const int next = unzGoToNextFile(archive);
        if (next == UNZ_END_OF_LIST_OF_FILE)
            break;
        if (next != UNZ_OK)
            result = ExtractionResult::Damaged;
    }
    unzClose(archive);
    return result;
}
