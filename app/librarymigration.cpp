#include "app/librarymigration.h"

#include "app/appconstants.h"
#include "app/atomicfile.h"
#include "import/bookstaging.h"
#include "library/bookname.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr qint64 kMaxBookcaseSize = 256 * 1024 * 1024;
constexpr size_t kCopyChunk = 256 * 1024;
// An old book folder whose copy is complete is renamed to this prefix before
// it is removed, so a removal cut short never leaves half a book under its name.
const QByteArray kMovedAsidePrefix = QByteArrayLiteral(".moved-");

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

std::optional<struct stat> linkStatus(const QByteArray& path)
{
    struct stat info
    {
    };
    if (::lstat(path.constData(), &info) != 0)
        return std::nullopt;
    return info;
}

bool isOwnFolder(const QByteArray& path)
{
    const std::optional<struct stat> info = linkStatus(path);
    return info && S_ISDIR(info->st_mode) && info->st_uid == ::getuid();
}

bool isOwnFile(const QByteArray& path)
{
    const std::optional<struct stat> info = linkStatus(path);
    return info && S_ISREG(info->st_mode) && info->st_uid == ::getuid();
}

bool sameFolder(const QByteArray& a, const QByteArray& b)
{
    const std::optional<struct stat> first = linkStatus(a);
    const std::optional<struct stat> second = linkStatus(b);
    return first && second && first->st_dev == second->st_dev && first->st_ino == second->st_ino;
}

QByteArray join(const QByteArray& folder, const QByteArray& name)
{
    return folder + '/' + name;
}

// The names in a folder without "." and "..", sorted; none when it cannot be read.
std::optional<QList<QByteArray>> entriesOf(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return std::nullopt;
    QList<QByteArray> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    const bool failed = errno != 0;
    ::closedir(dir);
    if (failed)
        return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

// Holds the lock a program of an earlier version keeps on its data directory
// while it runs: a library in use is not moved from under it.
class OldDirectoryLock
{
public:
    explicit OldDirectoryLock(const QByteArray& directory)
        : m_fd(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
    {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~OldDirectoryLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Q_DISABLE_COPY_MOVE(OldDirectoryLock)
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Q_DISABLE_COPY_MOVE(FileDescriptor)
    int get() const { return m_fd; }
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::optional<struct stat> regularFileStatus(const FileDescriptor& file)
{
    struct stat info
    {
    };
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return info;
}

qint64 readSome(int fd, char* buffer, size_t size)
{
    for (;;) {
        const ssize_t count = ::read(fd, buffer, size);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Copies one regular file, keeping its modification time: the stored search
// text and thumbnails are bound to their documents by it.
bool copyFile(const QByteArray& from, const QByteArray& to)
{
    FileDescriptor in(::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    const std::optional<struct stat> info = regularFileStatus(in);
    if (!info)
        return false;
    FileDescriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (out.get() < 0)
        return false;
    std::vector<char> buffer(kCopyChunk);
    for (;;) {
        const qint64 count = readSome(in.get(), buffer.data(), kCopyChunk);
        if (count < 0)
            return false;
        if (count == 0)
            break;
        if (!writeAll(out.get(), buffer.data(), count))
            return false;
    }
    const struct timespec times[2] = { info->st_atim, info->st_mtim };
    return ::futimens(out.get(), times) == 0 && out.close();
}

// A book folder holds folders and regular files only; anything else (a link,
// a pipe) is not copied, and so the book is not moved.
bool copyTree(const QByteArray& from, const QByteArray& to)
{
    const std::optional<QList<QByteArray>> names = entriesOf(from);
    if (!names || ::mkdir(to.constData(), S_IRWXU) != 0)
        return false;
    for (const QByteArray& name : *names) {
        const std::optional<struct stat> info = linkStatus(join(from, name));
        const bool copied = info
            && (S_ISDIR(info->st_mode) ? copyTree(join(from, name), join(to, name))
                                       : S_ISREG(info->st_mode) && copyFile(join(from, name), join(to, name)));
        if (!copied) {
            qInfo().noquote() << "library move: cannot copy" << QFile::decodeName(join(from, name));
            return false;
        }
    }
    return true;
}

bool sameFile(const QByteArray& a, const QByteArray& b)
{
    FileDescriptor first(::open(a.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    FileDescriptor second(::open(b.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    const std::optional<struct stat> firstInfo = regularFileStatus(first);
    const std::optional<struct stat> secondInfo = regularFileStatus(second);
    if (!firstInfo || !secondInfo || firstInfo->st_size != secondInfo->st_size
        || firstInfo->st_mtim.tv_sec != secondInfo->st_mtim.tv_sec
        || firstInfo->st_mtim.tv_nsec != secondInfo->st_mtim.tv_nsec)
        return false;
    std::vector<char> left(kCopyChunk);
    std::vector<char> right(kCopyChunk);
    for (;;) {
        const qint64 count = readSome(first.get(), left.data(), kCopyChunk);
        if (count < 0)
            return false;
        if (count == 0)
            return readSome(second.get(), right.data(), 1) == 0;
        qint64 got = 0;
        while (got < count) {
            const qint64 more = readSome(second.get(), right.data() + got, size_t(count - got));
            if (more <= 0)
                return false;
            got += more;
        }
        if (std::memcmp(left.data(), right.data(), size_t(count)) != 0)
            return false;
    }
}

bool sameTree(const QByteArray& a, const QByteArray& b)
{
    const std::optional<QList<QByteArray>> names = entriesOf(a);
    if (!names || names != entriesOf(b))
        return false;
    for (const QByteArray& name : *names) {
        const std::optional<struct stat> first = linkStatus(join(a, name));
        const std::optional<struct stat> second = linkStatus(join(b, name));
        if (!first || !second)
            return false;
        const bool same = S_ISDIR(first->st_mode) ? S_ISDIR(second->st_mode) && sameTree(join(a, name), join(b, name))
                                                  : sameFile(join(a, name), join(b, name));
        if (!same)
            return false;
    }
    return true;
}

// Written copies and the rename that put them in place reach the disk before
// the original goes.
bool flushFileSystemOf(const QByteArray& folder)
{
    FileDescriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && ::syncfs(dir.get()) == 0;
}

// Renamed aside first, so that a removal cut short leaves no half book under its name.
void removeOldCopy(const QByteArray& oldDirectory, const QByteArray& name)
{
    QByteArray aside = join(oldDirectory, kMovedAsidePrefix + "XXXXXX");
    if (!::mkdtemp(aside.data()) || ::rename(join(oldDirectory, name).constData(), aside.constData()) != 0) {
        qInfo().noquote() << "library move: the old copy stays:" << QFile::decodeName(join(oldDirectory, name));
        ::rmdir(aside.constData());
        return;
    }
    QDir(QFile::decodeName(aside)).removeRecursively();
}

void removeMovedAsideLeftovers(const QByteArray& oldDirectory)
{
    for (const QByteArray& name : entriesOf(oldDirectory).value_or(QList<QByteArray>())) {
        if (name.startsWith(kMovedAsidePrefix) && isOwnFolder(join(oldDirectory, name)))
            QDir(QFile::decodeName(join(oldDirectory, name))).removeRecursively();
    }
}

// Copies the book folder into a staging folder of the data directory (which
// the next start removes, should this one be cut short), checks the copy
// against the original and only then gives it the book's name.
bool copyBook(const QByteArray& from, const QString& name)
{
    BookStaging staging;
    if (!staging.create())
        return false;
    const QByteArray copy = QFile::encodeName(staging.contentDir()).chopped(1);
    if (!copyTree(from, copy) || !sameTree(from, copy)) {
        qInfo().noquote() << "library move: the copy of" << name << "is incomplete, the book stays";
        return false;
    }
    return staging.swapInto(name) && flushFileSystemOf(QFile::encodeName(lf::dataDirectory()));
}

enum class BookMove { Renamed, Copied, Failed };

BookMove moveBook(const QByteArray& oldDirectory, const QByteArray& name)
{
    const QString bookName = QFile::decodeName(name);
    const QByteArray from = join(oldDirectory, name);
    const QByteArray to = QFile::encodeName(lf::dataDirectory() + bookName);
    if (linkStatus(to)) {
        // A move cut short between the copy and the removal leaves two whole copies.
        if (sameTree(from, to)) {
            removeOldCopy(oldDirectory, name);
            return BookMove::Copied;
        }
        qInfo().noquote() << "library move: a different" << bookName << "is already in the data directory";
        return BookMove::Failed;
    }
    if (::rename(from.constData(), to.constData()) == 0)
        return BookMove::Renamed;
    if (errno != EXDEV) {
        qInfo().noquote() << "library move: cannot move" << bookName << systemError();
        return BookMove::Failed;
    }
    if (!copyBook(from, bookName))
        return BookMove::Failed;
    removeOldCopy(oldDirectory, name);
    return BookMove::Copied;
}

// Splits the bookcase document's records: those of books left behind go to
// `staying`, the rest to `moving`. False when the document is damaged.
bool splitRecords(const QByteArray& bookcase, const QSet<QString>& leftBehind, QByteArray* moving, QByteArray* staying)
{
    const QString recordsKey = QStringLiteral("bookInfos");
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(bookcase, &error);
    const QJsonValue records = document.object().value(recordsKey);
    if (error.error != QJsonParseError::NoError || !records.isArray())
        return false;
    QJsonArray here;
    QJsonArray there;
    for (const QJsonValue& record : records.toArray()) {
        const bool stays = leftBehind.contains(record.toObject().value(QStringLiteral("file_name")).toString());
        (stays ? there : here).append(record);
    }
    QJsonObject top = document.object();
    top.insert(recordsKey, here);
    *moving = QJsonDocument(top).toJson(QJsonDocument::Compact);
    top.insert(recordsKey, there);
    *staying = QJsonDocument(top).toJson(QJsonDocument::Compact);
    return true;
}

// The data directory's bookcase is written before the old one changes: a
// kill in between leaves the old file naming folders that are gone, which
// its loader drops, and never a book without a record.
bool moveBookcase(const QString& oldDirectory, const QStringList& leftBehind)
{
    const QString oldFile = oldDirectory + lf::kBookcaseFileName;
    const std::optional<QByteArray> bookcase = lf::readOwnFile(oldFile, kMaxBookcaseSize);
    if (!bookcase) {
        qInfo().noquote() << "library move: the old bookcase file cannot be read and stays:" << oldFile;
        return false;
    }
    QByteArray moving = *bookcase;
    QByteArray staying;
    if (!leftBehind.isEmpty()
        && !splitRecords(*bookcase, QSet<QString>(leftBehind.begin(), leftBehind.end()), &moving, &staying))
        staying = *bookcase; // damaged: both keep it, each loader rebuilds from its folders
    if (!lf::writeFileAtomically(lf::dataDirectory() + lf::kBookcaseFileName, moving))
        return false;
    if (staying.isEmpty())
        QFile::remove(oldFile);
    else
        lf::writeFileAtomically(oldFile, staying);
    return true;
}

// What an earlier version's run left beside the library; the folder itself
// goes when nothing else is left in it.
void removeOldDirectoryWhenEmpty(const QByteArray& oldDirectory)
{
    const QString handoffFiles[] = { lf::kPortFileName, lf::kHandoffTicketFileName };
    for (const QString& name : handoffFiles) {
        const QByteArray path = join(oldDirectory, QFile::encodeName(name));
        if (isOwnFile(path))
            ::unlink(path.constData());
    }
    if (::rmdir(oldDirectory.constData()) == 0)
        qInfo().noquote() << "library move: old data directory removed:" << QFile::decodeName(oldDirectory);
}

bool shouldMove(const QByteArray& oldDirectory)
{
    const QByteArray newDirectory = QFile::encodeName(lf::dataDirectory()).chopped(1);
    if (oldDirectory.isEmpty() || newDirectory.isEmpty() || !isOwnFolder(oldDirectory)
        || !isOwnFile(join(oldDirectory, QFile::encodeName(lf::kBookcaseFileName))))
        return false;
    if (linkStatus(join(newDirectory, QFile::encodeName(lf::kBookcaseFileName)))
        || sameFolder(oldDirectory, newDirectory))
        return false;
    return true;
}
} // namespace

lf::LibraryMove lf::moveOldLibrary(const QString& oldDirectory)
{
    LibraryMove result;
    QByteArray old = QFile::encodeName(oldDirectory);
    while (old.endsWith('/'))
        old.chop(1);
    if (!shouldMove(old))
        return result;
    const OldDirectoryLock lock(old);
    if (!lock.held()) {
        qInfo().noquote() << "library move: the old data directory is in use, its library stays:" << oldDirectory;
        return result;
    }
    if (!ensureDataDirectory())
        return result;
    qInfo().noquote() << "library move: from" << oldDirectory << "to" << dataDirectory();
    removeMovedAsideLeftovers(old);
    // A re-import cut short there may have moved a book aside: it comes back first.
    BookStaging::cleanUpLeftovers(QFile::decodeName(old) + QLatin1Char('/'));

    for (const QByteArray& name : entriesOf(old).value_or(QList<QByteArray>())) {
        const QString bookName = QFile::decodeName(name);
        if (name.startsWith(kMovedAsidePrefix) || !isUsableBookName(bookName) || !isOwnFolder(join(old, name)))
            continue;
        switch (moveBook(old, name)) {
        case BookMove::Renamed:
        case BookMove::Copied:
            qInfo().noquote() << "library move: book moved:" << bookName;
            result.moved.append(bookName);
            break;
        case BookMove::Failed:
            qInfo().noquote() << "library move: book left in the old place:" << bookName;
            result.leftBehind.append(bookName);
            break;
        }
    }
    result.bookcaseMoved = moveBookcase(QFile::decodeName(old) + QLatin1Char('/'), result.leftBehind);
    if (result.bookcaseMoved)
        qInfo().noquote() << "library move: bookcase moved," << result.moved.size() << "books moved,"
                          << result.leftBehind.size() << "left in" << oldDirectory;
    if (result.leftBehind.isEmpty() && result.bookcaseMoved)
        removeOldDirectoryWhenEmpty(old);
    return result;
}
