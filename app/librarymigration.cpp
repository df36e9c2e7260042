#include "app/librarymigration.h"

#include "base/appconstants.h"
#include "base/atomicfile.h"
#include "base/bookname.h"
#include "base/foldercopy.h"
#include "base/posixfile.h"
#include "epub/epubparser.h"
#include "import/bookstaging.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
using lf::PosixFile::join;
using lf::PosixFile::linkStatus;
using lf::PosixFile::systemError;

constexpr qint64 kMaxBookcaseSize = 256 * 1024 * 1024;
const QString kRecordsKey = QStringLiteral("bookInfos");
const QString kFileNameKey = QStringLiteral("file_name");
// The move of the previous release put copied books aside under ".moved-"
// and six characters; that name is also a book name an earlier version
// could give, so only such a folder that no record names is taken for a
// leftover.
const QByteArray kEarlierAsidePrefix = QByteArrayLiteral(".moved-");
constexpr int kEarlierAsideNameLength = 13;
// Book names listed in the message; the rest are counted.
constexpr int kMaxListedBooks = 20;

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

// A folder, or a link standing for one, at a book's name directly in `folder`.
bool bookFolderExists(const QByteArray& folder, const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')))
        return false;
    const std::optional<struct stat> info = linkStatus(join(folder, QFile::encodeName(name)));
    return info && (S_ISDIR(info->st_mode) || S_ISLNK(info->st_mode));
}

QString recordName(const QJsonValue& record)
{
    return record.toObject().value(kFileNameKey).toString();
}

// A bookcase file as it is on disk: missing (or a link, which counts as no
// file), read, or unusable (it cannot be read or parsed) and then left alone.
struct Bookcase
{
    enum State { Missing, Read, Unusable };
    State state = Missing;
    QJsonObject top;
    QJsonArray records;

    QSet<QString> names() const
    {
        QSet<QString> result;
        for (const QJsonValue& record : records)
            result.insert(recordName(record));
        return result;
    }
};

Bookcase readBookcase(const QString& path)
{
    Bookcase bookcase;
    QFile file;
    QString reason;
    const lf::OwnFileOpen opened = lf::openOwnFile(path, &file, &reason);
    if (opened == lf::OwnFileOpen::Missing)
        return bookcase;
    bookcase.state = Bookcase::Unusable;
    if (opened == lf::OwnFileOpen::Failed || file.size() > kMaxBookcaseSize) {
        qInfo().noquote() << "library move: bookcase file cannot be read:" << path << reason;
        return bookcase;
    }
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonValue records = document.object().value(kRecordsKey);
    if (file.error() != QFileDevice::NoError || error.error != QJsonParseError::NoError || !records.isArray()) {
        qInfo().noquote() << "library move: bookcase file damaged:" << path;
        return bookcase;
    }
    bookcase.state = Bookcase::Read;
    bookcase.top = document.object();
    for (const QJsonValue& record : records.toArray()) {
        if (record.isObject() && record.toObject().value(kFileNameKey).isString())
            bookcase.records.append(record);
    }
    return bookcase;
}

// Compact, records in book-name order, as the bookcase's own writer keeps them.
bool writeBookcase(const QString& path, QJsonObject top, QJsonArray records)
{
    QList<QJsonValue> sorted(records.begin(), records.end());
    std::stable_sort(sorted.begin(), sorted.end(),
        [](const QJsonValue& a, const QJsonValue& b) { return recordName(a) < recordName(b); });
    records = QJsonArray();
    for (const QJsonValue& record : qAsConst(sorted))
        records.append(record);
    top.insert(kRecordsKey, records);
    return lf::writeFileAtomically(path, QJsonDocument(top).toJson(QJsonDocument::Compact));
}

// A book folder without a record (the old bookcase was damaged, or the data
// directory had no bookcase yet) gets one from its own package, as the
// bookcase's loader rebuilds it.
std::optional<QJsonObject> recordFromFolder(const QString& name)
{
    const QString folder = lf::dataDirectory() + name;
    const std::unique_ptr<EpubData> book = EpubParser::parseBook(folder + QLatin1Char('/'));
    if (!book)
        return std::nullopt;
    return QJsonObject { { QStringLiteral("add_time"), QFileInfo(folder).lastModified().toMSecsSinceEpoch() },
        { QStringLiteral("author"), book->metadata.creator }, { QStringLiteral("book_name"), book->metadata.title },
        { QStringLiteral("book_size"), 0 }, { QStringLiteral("cover_url"), book->coverPath }, { kFileNameKey, name } };
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

// Once the copy and its name have reached the disk. Renamed aside first, to a
// name no book can have, so that a removal cut short leaves no half book
// under its name.
void removeOldCopy(const QByteArray& oldDirectory, const QByteArray& name)
{
    if (!lf::FolderCopy::flushFileSystemOf(QFile::encodeName(lf::dataDirectory()))) {
        qInfo().noquote() << "library move: the copy is not on disk yet, the old copy stays:"
                          << QFile::decodeName(name);
        return;
    }
    QByteArray aside = join(oldDirectory, QFile::encodeName(lf::kMoveFolderPrefix) + "XXXXXX");
    if (!::mkdtemp(aside.data()) || ::rename(join(oldDirectory, name).constData(), aside.constData()) != 0) {
        qInfo().noquote() << "library move: the old copy stays:" << QFile::decodeName(join(oldDirectory, name));
        ::rmdir(aside.constData());
        return;
    }
    QDir(QFile::decodeName(aside)).removeRecursively();
}

bool isEarlierAsideLeftover(const QByteArray& name, const Bookcase& bookcase, const QSet<QString>& recorded)
{
    return name.startsWith(kEarlierAsidePrefix) && name.size() == kEarlierAsideNameLength
        && bookcase.state == Bookcase::Read && !recorded.contains(QFile::decodeName(name));
}

void removeAsideLeftovers(const QByteArray& oldDirectory, const Bookcase& bookcase, const QSet<QString>& recorded)
{
    for (const QByteArray& name : lf::FolderCopy::entriesOf(oldDirectory).value_or(QList<QByteArray>())) {
        const bool ours = QFile::decodeName(name).startsWith(lf::kMoveFolderPrefix)
            || isEarlierAsideLeftover(name, bookcase, recorded);
        if (ours && isOwnFolder(join(oldDirectory, name))) {
            qInfo().noquote() << "library move: leftover of an earlier removal removed:" << QFile::decodeName(name);
            QDir(QFile::decodeName(join(oldDirectory, name))).removeRecursively();
        }
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

bool moveBook(const QByteArray& oldDirectory, const QByteArray& name)
{
    const QString bookName = QFile::decodeName(name);
    const QByteArray from = join(oldDirectory, name);
    const QByteArray to = QFile::encodeName(lf::dataDirectory() + bookName);
    if (linkStatus(to)) {
        // A move cut short between the copy and the removal leaves two whole copies.
        if (lf::FolderCopy::same(from, to)) {
            removeOldCopy(oldDirectory, name);
            return true;
        }
        qInfo().noquote() << "library move: a different" << bookName << "is already in the data directory";
        return false;
    }
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    if (errno != EXDEV) {
        qInfo().noquote() << "library move: cannot move" << bookName << systemError();
        return false;
    }
    if (!copyBook(from, bookName))
        return false;
    removeOldCopy(oldDirectory, name);
    return true;
}

// A book of the old place: a folder of this user with a name a book can
// have, or any folder or link a record names.
bool isBookEntry(const QByteArray& oldDirectory, const QByteArray& name, const QSet<QString>& recorded)
{
    const QString bookName = QFile::decodeName(name);
    if (recorded.contains(bookName))
        return bookFolderExists(oldDirectory, bookName);
    return lf::isUsableBookName(bookName) && isOwnFolder(join(oldDirectory, name));
}

QStringList booksIn(const QByteArray& oldDirectory, const QSet<QString>& recorded)
{
    QStringList books;
    for (const QByteArray& name : lf::FolderCopy::entriesOf(oldDirectory).value_or(QList<QByteArray>())) {
        if (isBookEntry(oldDirectory, name, recorded))
            books.append(QFile::decodeName(name));
    }
    return books;
}

// Records of books that left the old place join the data directory's
// bookcase, unless it has its own; records of books still there stay. The
// data directory's file is written first: a kill in between leaves records
// in the old file that the next start merges again, never a book without one.
bool mergeBookcases(const QByteArray& old, const Bookcase& oldBookcase, lf::LibraryMove& result)
{
    const QString newFile = lf::dataDirectory() + lf::kBookcaseFileName;
    Bookcase newBookcase = readBookcase(newFile);
    if (newBookcase.state == Bookcase::Unusable)
        return false;
    QSet<QString> names = newBookcase.names();
    const QByteArray newDirectory = QFile::encodeName(lf::dataDirectory()).chopped(1);
    bool changed = newBookcase.state == Bookcase::Missing;
    QJsonArray staying;
    for (const QJsonValue& record : oldBookcase.records) {
        const QString name = recordName(record);
        if (bookFolderExists(old, name)) {
            staying.append(record);
        } else if (!names.contains(name) && lf::isUsableBookName(name) && bookFolderExists(newDirectory, name)) {
            newBookcase.records.append(record);
            names.insert(name);
            changed = true;
        }
    }
    // Without a bookcase file the loader would rebuild records from every book
    // folder; the file written here must not hide the folders that have none.
    QStringList unrecorded = result.moved;
    if (newBookcase.state == Bookcase::Missing) {
        for (const QByteArray& name : lf::FolderCopy::entriesOf(newDirectory).value_or(QList<QByteArray>())) {
            if (isOwnFolder(join(newDirectory, name)))
                unrecorded.append(QFile::decodeName(name));
        }
    }
    for (const QString& name : qAsConst(unrecorded)) {
        if (names.contains(name) || !lf::isUsableBookName(name))
            continue;
        if (const std::optional<QJsonObject> record = recordFromFolder(name)) {
            newBookcase.records.append(*record);
            names.insert(name);
            changed = true;
        }
    }
    if (changed && !writeBookcase(newFile, newBookcase.top, newBookcase.records))
        return false;

    const QString oldFile = QFile::decodeName(join(old, QFile::encodeName(lf::kBookcaseFileName)));
    if (staying.isEmpty() && result.leftBehind.isEmpty())
        QFile::remove(oldFile);
    else if (oldBookcase.state == Bookcase::Read && staying.size() != oldBookcase.records.size())
        writeBookcase(oldFile, oldBookcase.top, staying);
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

bool holdsOldLibrary(const QByteArray& oldDirectory)
{
    const QByteArray newDirectory = QFile::encodeName(lf::dataDirectory()).chopped(1);
    return !oldDirectory.isEmpty() && !newDirectory.isEmpty() && isOwnFolder(oldDirectory)
        && isOwnFile(join(oldDirectory, QFile::encodeName(lf::kBookcaseFileName)))
        && !sameFolder(oldDirectory, newDirectory);
}

bool anyStartsWith(const QSet<QString>& names, const QString& prefix)
{
    return std::any_of(names.begin(), names.end(),
        [&prefix](const QString& name) { return name.startsWith(prefix, Qt::CaseInsensitive); });
}

// A folder name may hold line breaks and other control characters, which
// would break or fake the lines of the list.
QString listedName(QString name)
{
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QChar::ReplacementCharacter;
    }
    return name;
}

QString translated(const char* text)
{
    return QCoreApplication::translate("LibraryMove", text);
}

// The texts go through QT_TRANSLATE_NOOP, where the translation tools find them.
const char* const kLeftBehindTitle = QT_TRANSLATE_NOOP("LibraryMove", "Some books are still in a temporary folder");
const char* const kMore = QT_TRANSLATE_NOOP("LibraryMove", "and %1 more");
const char* const kWhere
    = QT_TRANSLATE_NOOP("LibraryMove", "These books are in %1, a folder the system empties when the computer starts:");
const char* const kKeep
    = QT_TRANSLATE_NOOP("LibraryMove", "Copy them to another folder before the computer restarts to keep them.");
} // namespace

lf::LibraryMove lf::moveOldLibrary(const QString& oldDirectory)
{
    LibraryMove result;
    QByteArray old = QFile::encodeName(oldDirectory);
    while (old.endsWith('/'))
        old.chop(1);
    result.oldDirectory = QFile::decodeName(old) + QLatin1Char('/');
    if (!holdsOldLibrary(old))
        return result;
    const QString oldFile = result.oldDirectory + kBookcaseFileName;
    const OldDirectoryLock lock(old);
    if (!lock.held()) {
        qInfo().noquote() << "library move: an earlier version is using" << result.oldDirectory
                          << "- its library moves at a start after it ends";
        result.inUse = true;
        result.leftBehind = booksIn(old, readBookcase(oldFile).names());
        return result;
    }
    const Bookcase oldBookcase = readBookcase(oldFile);
    const QSet<QString> recorded = oldBookcase.names();
    QString reason;
    if (!ensureDataDirectory(&reason)
        || readBookcase(dataDirectory() + kBookcaseFileName).state == Bookcase::Unusable) {
        qInfo().noquote() << "library move: the data directory cannot take the library yet" << reason;
        result.leftBehind = booksIn(old, recorded);
        return result;
    }
    qInfo().noquote() << "library move: from" << result.oldDirectory << "to" << dataDirectory();
    removeAsideLeftovers(old, oldBookcase, recorded);
    // A re-import cut short there may have moved a book aside: it comes back
    // first. A book of an earlier version may bear the staging prefix: then
    // nothing of that name is touched.
    if (!anyStartsWith(recorded, kStagingFolderPrefix))
        BookStaging::cleanUpLeftovers(result.oldDirectory);

    for (const QByteArray& name : lf::FolderCopy::entriesOf(old).value_or(QList<QByteArray>())) {
        if (!isBookEntry(old, name, recorded))
            continue;
        const QString bookName = QFile::decodeName(name);
        const bool movable = isUsableBookName(bookName) && isOwnFolder(join(old, name));
        if (!movable)
            qInfo().noquote() << "library move: a link, another user's folder or a name the data directory keeps:"
                              << bookName;
        if (movable && moveBook(old, name)) {
            qInfo().noquote() << "library move: book moved:" << bookName;
            result.moved.append(bookName);
        } else {
            qInfo().noquote() << "library move: book left in the old place:" << bookName;
            result.leftBehind.append(bookName);
        }
    }
    result.bookcaseMerged = mergeBookcases(old, oldBookcase, result);
    if (!result.bookcaseMerged) {
        qInfo().noquote() << "library move: the bookcase files stay as they are; the next start merges them";
        return result;
    }
    qInfo().noquote() << "library move: bookcase merged," << result.moved.size() << "books moved,"
                      << result.leftBehind.size() << "left in" << result.oldDirectory;
    if (result.leftBehind.isEmpty())
        removeOldDirectoryWhenEmpty(old);
    return result;
}

QList<lf::LibraryMove> lf::moveOldLibraries(const QStringList& oldDirectories)
{
    QList<LibraryMove> moves;
    for (const QString& directory : oldDirectories)
        moves.append(moveOldLibrary(directory));
    return moves;
}

QString lf::leftBehindTitle()
{
    return translated(kLeftBehindTitle);
}

QString lf::leftBehindMessage(const QList<LibraryMove>& moves)
{
    QStringList paragraphs;
    for (const LibraryMove& move : moves) {
        if (move.leftBehind.isEmpty())
            continue;
        QStringList books;
        for (const QString& name : move.leftBehind.mid(0, kMaxListedBooks))
            books.append(listedName(name));
        if (move.leftBehind.size() > kMaxListedBooks)
            books.append(translated(kMore).arg(move.leftBehind.size() - kMaxListedBooks));
        const char* why = move.inUse
            ? QT_TRANSLATE_NOOP("LibraryMove",
                "An earlier version of the program is using them. They move at the next start after it is closed.")
            : QT_TRANSLATE_NOOP("LibraryMove",
                "They could not be moved into the library: a book of the same name is already there, or a file "
                "could not be copied. The program tries again at every start.");
        paragraphs.append(translated(kWhere).arg(move.oldDirectory) + QLatin1Char('\n') + books.join(QLatin1Char('\n'))
            + QStringLiteral("\n\n") + translated(why));
    }
    if (paragraphs.isEmpty())
        return {};
    paragraphs.append(translated(kKeep));
    return paragraphs.join(QStringLiteral("\n\n"));
}
