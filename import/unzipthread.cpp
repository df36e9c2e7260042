#include "unzipthread.h"

#include "base/appconstants.h"
#include "base/posixfile.h"
#include "base/relativepath.h"
#include "import/booksource.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStorageInfo>
#include <QtEndian>

#include <unzip.h>
#ifdef Q_OS_WIN
#include "iowin32.h"
#endif

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kNameBufferSize = 260; // at most 259 name bytes and a terminating zero
// Entries are inflated straight into a buffer of up to this size and written
// from it: one write call for most files of a book, few for large images.
constexpr ZPOS64_T kChunkSize = 256 * 1024;

// The archive as minizip reads it: through two windows of the file, one that
// stays on the central directory and one that follows the entries' data, so
// that its many small reads, each after a seek, cost a system call only when
// a window moves on.
class ArchiveFile
{
public:
    static constexpr qint64 kWindowSize = 256 * 1024;

    explicit ArchiveFile(int fd)
        : m_fd(fd)
    { }
    ~ArchiveFile() { ::close(m_fd); }
    Q_DISABLE_COPY_MOVE(ArchiveFile)

    static void fillFunctions(zlib_filefunc64_def& functions)
    {
        functions.zopen64_file = [](voidpf, const void* path, int mode) -> voidpf {
            if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
                return nullptr;
            const int fd = ::open(static_cast<const char*>(path), O_RDONLY | O_NOCTTY | O_CLOEXEC);
            return fd < 0 ? nullptr : new ArchiveFile(fd);
        };
        functions.zread_file = [](voidpf, voidpf file, void* buffer, uLong size) -> uLong {
            return static_cast<ArchiveFile*>(file)->read(static_cast<char*>(buffer), size);
        };
        functions.zwrite_file = [](voidpf, voidpf, const void*, uLong) -> uLong { return 0; };
        functions.ztell64_file = [](voidpf, voidpf file) -> ZPOS64_T {
            return static_cast<ZPOS64_T>(static_cast<ArchiveFile*>(file)->m_position);
        };
        functions.zseek64_file = [](voidpf, voidpf file, ZPOS64_T offset, int origin) -> long {
            return static_cast<ArchiveFile*>(file)->seek(offset, origin) ? 0 : -1;
        };
        functions.zclose_file = [](voidpf, voidpf file) -> int {
            delete static_cast<ArchiveFile*>(file);
            return 0;
        };
        functions.zerror_file = [](voidpf, voidpf file) -> int { return static_cast<ArchiveFile*>(file)->m_error; };
        functions.opaque = nullptr;
    }

private:
    struct Window
    {
        qint64 start = 0;
        qint64 length = 0;
        quint64 lastUse = 0;
        std::unique_ptr<char[]> bytes;
    };

    uLong read(char* buffer, uLong size)
    {
        uLong done = 0;
        while (done < size) {
            const Window* window = windowAt(m_position);
            if (!window)
                break;
            const qint64 available = window->start + window->length - m_position;
            const auto count = static_cast<uLong>(qMin<qint64>(available, size - done));
            std::memcpy(buffer + done, window->bytes.get() + (m_position - window->start), count);
            done += count;
            m_position += count;
        }
        return done;
    }

    // The window holding `position`; otherwise the one that ends there moves
    // on, or else the one used least lately. None at the end of the file or on
    // a read error.
    const Window* windowAt(qint64 position)
    {
        ++m_clock;
        Window* oldest = &m_windows[0];
        Window* ending = nullptr;
        for (Window& window : m_windows) {
            if (window.bytes && position >= window.start && position < window.start + window.length) {
                window.lastUse = m_clock;
                return &window;
            }
            if (window.bytes && position == window.start + window.length)
                ending = &window;
            if (window.lastUse < oldest->lastUse)
                oldest = &window;
        }
        if (ending)
            oldest = ending;
        if (!oldest->bytes)
            oldest->bytes.reset(new char[kWindowSize]);
        ssize_t count = -1;
        do
            count = ::pread(m_fd, oldest->bytes.get(), kWindowSize, position);
        while (count < 0 && errno == EINTR);
        if (count < 0)
            m_error = errno;
        oldest->start = position;
        oldest->length = qMax<ssize_t>(count, 0);
        oldest->lastUse = m_clock;
        return count > 0 ? oldest : nullptr;
    }

    bool seek(ZPOS64_T offset, int origin)
    {
        qint64 base = 0;
        if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
            base = m_position;
        } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
            struct stat status;
            if (::fstat(m_fd, &status) != 0)
                return false;
            base = status.st_size;
        }
        if (offset > static_cast<ZPOS64_T>(std::numeric_limits<qint64>::max() - base))
            return false;
        m_position = base + static_cast<qint64>(offset);
        return true;
    }

    const int m_fd;
    qint64 m_position = 0;
    int m_error = 0;
    quint64 m_clock = 0;
    std::array<Window, 2> m_windows;
};

unzFile openArchive(const QString& archivePath)
{
    zlib_filefunc64_def fileFunctions;
    const QString nativePath = QDir::toNativeSeparators(archivePath);
#ifdef Q_OS_WIN
    fill_win32_filefunc64W(&fileFunctions);
    const std::wstring widePath = nativePath.toStdWString();
    return unzOpen2_64(widePath.c_str(), &fileFunctions);
#else
    ArchiveFile::fillFunctions(fileFunctions);
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

// An open file or folder, closed with its owner.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    { }
    ~Descriptor() { reset(); }
    Q_DISABLE_COPY_MOVE(Descriptor)
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // False when the data written could not all be kept.
    bool close()
    {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// The book folder and the folders below it that entries are written into.
// Each folder is made and opened once, by its name inside its parent's open
// descriptor, so that no path is looked up again for every entry and no link
// met below the book folder is followed. The book folder itself is made on
// first use: a refused archive leaves none behind.
class BookFolder
{
public:
    explicit BookFolder(const QString& bookDir)
        : m_path(QDir::cleanPath(bookDir))
    { }
    ~BookFolder() { closeFolders(); }
    Q_DISABLE_COPY_MOVE(BookFolder)

    // The open folder at `relative` ("" for the book folder, "/"-separated,
    // empty and "." segments ignored), made where missing; -1 when it cannot
    // be made or opened, or is no folder.
    int folder(const QByteArray& relative)
    {
        QByteArrayList segments = relative.split('/');
        segments.removeAll(QByteArray());
        segments.removeAll(QByteArrayLiteral("."));
        if (segments.contains(QByteArrayLiteral("..")))
            return -1;
        // A book with more folders than this is written with fewer kept open.
        constexpr int kMaxOpenFolders = 128;
        if (m_open.size() + segments.size() > kMaxOpenFolders)
            closeFolders();
        return openBelow(segments.join('/'), segments.size());
    }

private:
    // The folder made of the first `depth` of `path`'s segments.
    int openBelow(const QByteArray& path, int depth)
    {
        if (depth == 0)
            return root();
        const int cut = nthSlash(path, depth);
        const QByteArray key = path.left(cut);
        if (const auto known = m_open.constFind(key); known != m_open.cend())
            return *known;
        const int parent = openBelow(key, depth - 1);
        if (parent < 0)
            return -1;
        const QByteArray name = key.mid(key.lastIndexOf('/') + 1);
        if (::mkdirat(parent, name.constData(), 0777) != 0 && errno != EEXIST)
            return -1;
        const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0)
            m_open.insert(key, fd);
        return fd;
    }

    // Where the `depth`th "/" of `path` is, or its end.
    static int nthSlash(const QByteArray& path, int depth)
    {
        int at = -1;
        for (int i = 0; i < depth && at < path.size(); ++i) {
            at = path.indexOf('/', at + 1);
            if (at < 0)
                return path.size();
        }
        return at;
    }

    int root()
    {
        if (m_root.get() < 0 && QDir().mkpath(m_path))
            m_root.reset(::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return m_root.get();
    }

    void closeFolders()
    {
        for (const int fd : qAsConst(m_open))
            ::close(fd);
        m_open.clear();
    }

    const QString m_path;
    Descriptor m_root;
    QHash<QByteArray, int> m_open;
};

// The one buffer every entry of an archive is inflated into and written from.
struct ChunkBuffer
{
    std::unique_ptr<char[]> data { new char[kChunkSize] };
};

// Copies the current entry, at `path` in the book, to its last segment inside
// the open folder `folder`, in chunks of at most kChunkSize, each asking for one byte more than the entry declares
// so that an entry longer than it says shows itself; never more bytes than the
// entry declares. Completed when the entry was written.
ExtractionResult copyCurrentEntry(unzFile archive, int folder, const QByteArray& path, ZPOS64_T declaredSize,
    ChunkBuffer& buffer, ExpansionCount& expansion, const std::function<bool()>& interrupted)
{
    if (unzOpenCurrentFile(archive) != UNZ_OK)
        return ExtractionResult::Damaged;
    const QByteArray leaf = path.mid(path.lastIndexOf('/') + 1);
    // A link at the entry's name is not followed, a pipe does not block.
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Descriptor file(folder < 0 ? -1 : ::openat(folder, leaf.constData(), flags, 0666));
    if (file.get() < 0) {
        unzCloseCurrentFile(archive);
        return ExtractionResult::WriteFailed;
    }
    const auto chunk = static_cast<unsigned>(qMin(declaredSize, kChunkSize - 1) + 1);
    int read = 0;
    ExtractionResult result = ExtractionResult::Completed;
    ZPOS64_T total = 0;
    while ((read = unzReadCurrentFile(archive, buffer.data.get(), chunk)) > 0) {
        total += static_cast<ZPOS64_T>(read);
        expansion.written += read;
        if (total > declaredSize) {
            qDebug().noquote() << "entry yields more than its declared" << declaredSize << "bytes:" << path;
            result = ExtractionResult::Damaged;
        } else if (ExtractionLimits::isCompressionBomb(expansion.written, expansion.archiveBytes)) {
            qDebug().noquote() << "archive refused: it has expanded to" << expansion.written << "bytes from"
                               << expansion.archiveBytes;
            result = ExtractionResult::CompressionBomb;
        } else if (!lf::PosixFile::writeAll(file.get(), buffer.data.get(), read)) {
            result = ExtractionResult::WriteFailed;
        } else if (interrupted && interrupted()) {
            result = ExtractionResult::Interrupted;
        }
        if (result != ExtractionResult::Completed)
            break;
    }
    if (!file.close() && result == ExtractionResult::Completed)
        result = ExtractionResult::WriteFailed;
    const int closeResult = unzCloseCurrentFile(archive);
    if (result == ExtractionResult::Completed && (read < 0 || closeResult == UNZ_CRCERROR))
        result = ExtractionResult::Damaged;
    // An entry shorter than it declares is as damaged as a longer one.
    if (result == ExtractionResult::Completed && total != declaredSize) {
        qDebug().noquote() << "entry yields" << total << "bytes, not its declared" << declaredSize << ":" << path;
        result = ExtractionResult::Damaged;
    }
    // Never leave a partial or corrupted file behind.
    if (result != ExtractionResult::Completed)
        ::unlinkat(folder, leaf.constData(), 0);
    return result;
}

// Completed when the current entry was written or skipped.
ExtractionResult extractCurrentEntry(unzFile archive, BookFolder& bookFolder, ChunkBuffer& buffer,
    ExpansionCount& expansion, const std::function<bool()>& interrupted)
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

    const QByteArray path = QFile::encodeName(name);
    if (path.endsWith('/')) {
        bookFolder.folder(path);
        // A name ending in "/" that carries data cannot become a file.
        return info.uncompressed_size == 0 ? ExtractionResult::Completed : ExtractionResult::Damaged;
    }
    const int folder = bookFolder.folder(path.left(qMax(path.lastIndexOf('/'), 0)));
    return copyCurrentEntry(archive, folder, path, info.uncompressed_size, buffer, expansion, interrupted);
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
    BookFolder bookFolder(bookDir);
    ChunkBuffer buffer;
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
        result = extractCurrentEntry(archive, bookFolder, buffer, expansion, interrupted);
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
