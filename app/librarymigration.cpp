#include "app/librarymigration.h"

#include "app/appconstants.h"
#include "app/atomicfile.h"
#include "app/bookname.h"
#include "app/foldercopy.h"
#include "import/bookstaging.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qint64 kMaxBookcaseSize = 256 * 1024 * 1024;
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

// Once the copy and its name have reached the disk. Renamed aside first, so
// that a removal cut short leaves no half book under its name.
void removeOldCopy(const QByteArray& oldDirectory, const QByteArray& name)
{
    if (!lf::FolderCopy::flushFileSystemOf(QFile::encodeName(lf::dataDirectory()))) {
        qInfo().noquote() << "library move: the copy is not on disk yet, the old copy stays:"
                          << QFile::decodeName(name);
        return;
    }
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
    for (const QByteArray& name : lf::FolderCopy::entriesOf(oldDirectory).value_or(QList<QByteArray>())) {
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
    if (!lf::FolderCopy::copy(from, copy) || !lf::FolderCopy::same(from, copy)) {
        qInfo().noquote() << "library move: the copy of" << name << "is incomplete, the book stays";
        return false;
    }
    return staging.swapInto(name);
}

enum class BookMove { Renamed, Copied, Failed };

BookMove moveBook(const QByteArray& oldDirectory, const QByteArray& name)
{
    const QString bookName = QFile::decodeName(name);
    const QByteArray from = join(oldDirectory, name);
    const QByteArray to = QFile::encodeName(lf::dataDirectory() + bookName);
    if (linkStatus(to)) {
        // A move cut short between the copy and the removal leaves two whole copies.
        if (lf::FolderCopy::same(from, to)) {
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

    for (const QByteArray& name : lf::FolderCopy::entriesOf(old).value_or(QList<QByteArray>())) {
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
