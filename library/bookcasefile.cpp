#include "library/bookcasefile.h"

#include "base/appconstants.h"
#include "base/atomicfile.h"
#include "base/bookname.h"
#include "base/datadirectory.h"
#include "base/posixfile.h"
#include "epub/epubparser.h"
#include "import/bookstaging.h"
#include "library/booklistcontrol.h"
#include "library/renderedcover.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSignalBlocker>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kBookInfosKey = QStringLiteral("bookInfos");
const QString kAddTimeKey = QStringLiteral("add_time");
const QString kAuthorKey = QStringLiteral("author");
const QString kBookNameKey = QStringLiteral("book_name");
const QString kBookSizeKey = QStringLiteral("book_size");
const QString kCoverUrlKey = QStringLiteral("cover_url");
const QString kFileNameKey = QStringLiteral("file_name");

// A number out of the 64-bit range (a hand-edited file) reads as 0.
qint64 wholeNumber(const QJsonValue& value)
{
    const double number = value.toDouble();
    constexpr double kLimit = 9.2e18;
    return value.isDouble() && number > -kLimit && number < kLimit ? static_cast<qint64>(number) : 0;
}

QJsonObject recordObject(const BookInfo& record)
{
    QJsonObject object;
    object.insert(kAddTimeKey, QJsonValue(record.addMSecs()));
    object.insert(kAuthorKey, record.author());
    object.insert(kBookNameKey, record.bookName());
    object.insert(kBookSizeKey, QJsonValue(record.bookSize()));
    object.insert(kCoverUrlKey, record.coverUrl());
    object.insert(kFileNameKey, record.fileName());
    return object;
}

// The values of a stored record, each looked up once.
struct StoredRecord
{
    explicit StoredRecord(const QJsonObject& object)
        : size(object.size())
        , addTime(object.value(kAddTimeKey))
        , author(object.value(kAuthorKey))
        , bookName(object.value(kBookNameKey))
        , bookSize(object.value(kBookSizeKey))
        , coverUrl(object.value(kCoverUrlKey))
        , fileName(object.value(kFileNameKey))
    { }

    BookInfo record() const
    {
        return BookInfo::fromStored(fileName.toString(), bookName.toString(), author.toString(), wholeNumber(bookSize),
            coverUrl.toString(), wholeNumber(addTime));
    }

    // True when save() would write `record` back as it is stored: six values,
    // none missing, of another type, cut or out of range.
    bool isAsSaved(const BookInfo& record) const
    {
        const auto sameNumber
            = [](const QJsonValue& value, qint64 kept) { return value.isDouble() && value.toDouble() == double(kept); };
        const auto sameText
            = [](const QJsonValue& value, const QString& kept) { return value.isString() && value.toString() == kept; };
        return size == 6 && sameNumber(addTime, record.addMSecs()) && sameText(author, record.author())
            && sameText(bookName, record.bookName()) && sameNumber(bookSize, record.bookSize())
            && sameText(coverUrl, record.coverUrl());
    }

    int size;
    QJsonValue addTime;
    QJsonValue author;
    QJsonValue bookName;
    QJsonValue bookSize;
    QJsonValue coverUrl;
    QJsonValue fileName;
};

// The data directory read in one pass, without a stat per entry and without
// sorting: a stat per record would cost seconds on a large bookcase.
struct DataDirectoryListing
{
    // The folders and the links to folders.
    QSet<QString> folders;
    // An entry of an unfinished import (the name filter of its clean-up
    // ignores case, and so does this).
    bool hasStaging = false;
};

DataDirectoryListing listDataDirectory()
{
    DataDirectoryListing listing;
    const QByteArray folder = QFile::encodeName(lf::dataDirectory());
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return listing;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (raw == "." || raw == "..")
            continue;
        const QString name = QFile::decodeName(raw);
        if (name.startsWith(lf::kStagingFolderPrefix, Qt::CaseInsensitive))
            listing.hasStaging = true;
        bool isFolder = entry->d_type == DT_DIR;
        // A link (or a file system that does not tell) needs a stat, following the link.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat status
            {
            };
            isFolder = ::stat(lf::PosixFile::join(folder, raw).constData(), &status) == 0 && S_ISDIR(status.st_mode);
        }
        if (isFolder)
            listing.folders.insert(name);
    }
    ::closedir(dir);
    return listing;
}

struct RecordsAdded
{
    // False when an element is no record at all, so the file held something
    // the rewrite would lose.
    bool wellFormed = true;
    // True when the store differs from what the file says, or would be saved
    // in another form: the file is then rewritten.
    bool changed = false;
};

// Records whose book folder is gone are dropped.
RecordsAdded addRecords(BookListControl& store, const QJsonArray& records, const QSet<QString>& folders)
{
    RecordsAdded added;
    QVector<BookInfo> kept;
    kept.reserve(records.size());
    QString previousName;
    bool first = true;
    for (const QJsonValue& value : records) {
        const StoredRecord stored(value.toObject());
        if (!value.isObject() || !stored.fileName.isString()) {
            qDebug().noquote() << "bookcase element that is no record dropped";
            added.wellFormed = false;
            continue;
        }
        const BookInfo record = stored.record();
        const QString name = record.fileName();
        // save() writes the records in the order of their names.
        if (!first && !(previousName < name))
            added.changed = true;
        previousName = name;
        first = false;
        if (!lf::isUsableBookName(name)) {
            qDebug().noquote() << "bookcase record without a usable book name dropped:" << name;
            added.changed = true;
            continue;
        }
        if (!folders.contains(name)) {
            qDebug().noquote() << "book folder missing, record dropped:" << name;
            added.changed = true;
            continue;
        }
        if (!stored.isAsSaved(record))
            added.changed = true;
        kept.append(record);
    }
    // A name twice keeps its first record.
    if (store.addBooks(kept) != kept.size())
        added.changed = true;
    return added;
}

void keepDamagedCopy(const QByteArray& bytes)
{
    if (!lf::writeFileAtomically(BookcaseFile::damagedCopyPath(), bytes))
        qDebug().noquote() << "could not keep the damaged bookcase file as" << BookcaseFile::damagedCopyPath();
}

// Every book folder without a record that still parses as a book gets a fresh
// one. The size of its .epub is no longer known.
void rebuildFromBookFolders(BookListControl& store)
{
    const QFileInfoList folders
        = QDir(lf::dataDirectory()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& folder : folders) {
        const QString name = folder.fileName();
        if (folder.isSymLink() || !lf::isUsableBookName(name) || store.bookInfo(name))
            continue;
        const std::unique_ptr<EpubData> book = EpubParser::parseBook(BookcaseFile::bookFolder(name) + QLatin1Char('/'));
        if (!book)
            continue;
        store.addBook(BookInfo(name, book->metadata.title, book->metadata.creator, 0,
            lf::RenderedCover::recordPath(BookcaseFile::bookFolder(name), *book), folder.lastModified()));
        qDebug().noquote() << "bookcase record rebuilt:" << name;
    }
}

// The whole file, or the reason why it cannot be read (a folder in its place,
// no permission, an I/O error). A link in its place counts as no bookcase
// file, which the next save replaces.
// `ownedPrivately` tells whether the file is this user's and readable by nobody else,
// as save() writes it.
lf::OwnFileOpen readWholeFile(const QString& path, QByteArray* bytes, QString* reason, bool* ownedPrivately)
{
    QFile file;
    const lf::OwnFileOpen opened = lf::openOwnFile(path, &file, reason);
    if (opened != lf::OwnFileOpen::Opened)
        return opened;
    struct stat status
    {
    };
    *ownedPrivately = ::fstat(file.handle(), &status) == 0 && status.st_uid == ::geteuid()
        && (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return lf::OwnFileOpen::Failed;
    }
    return opened;
}

// Set while the bookcase file of this run could not be read: it is then left
// exactly as it is, since a save would replace records nobody could read.
bool g_fileLeftAlone = false;
} // namespace

QString BookcaseFile::filePath()
{
    return lf::dataDirectory() + lf::kBookcaseFileName;
}

QString BookcaseFile::damagedCopyPath()
{
    return filePath() + QStringLiteral(".damaged");
}

QString BookcaseFile::bookFolder(const QString& name)
{
    return lf::dataDirectory() + name;
}

QByteArray BookcaseFile::toJson(const BookListControl& store)
{
    QList<BookInfo> books = store.allBooks();
    // A fixed order keeps the file stable from one save to the next.
    std::sort(
        books.begin(), books.end(), [](const BookInfo& a, const BookInfo& b) { return a.fileName() < b.fileName(); });
    QJsonArray records;
    for (const BookInfo& record : qAsConst(books))
        records.append(recordObject(record));
    QJsonObject top;
    top.insert(kBookInfosKey, records);
    return QJsonDocument(top).toJson(QJsonDocument::Compact);
}

bool BookcaseFile::save(const BookListControl& store)
{
    if (g_fileLeftAlone) {
        qDebug().noquote() << "bookcase not saved: the file could not be read at start and is left as it is";
        return false;
    }
    if (!lf::ensureDataDirectory()) {
        qDebug().noquote() << "bookcase not saved, no usable data directory:" << lf::dataDirectory();
        return false;
    }
    // Every change saves the whole bookcase, so the next change retries a failed save.
    if (!lf::writeFileAtomically(filePath(), toJson(store))) {
        qDebug().noquote() << "bookcase not saved; the next change tries again";
        return false;
    }
    return true;
}

void BookcaseFile::load(BookListControl& store)
{
    g_fileLeftAlone = false;
    if (!lf::dataDirectoryIsOurs())
        return;
    DataDirectoryListing listing = listDataDirectory();
    if (listing.hasStaging) {
        // Putting a book back that a re-import had moved aside changes the folders.
        BookStaging::cleanUpLeftovers();
        listing = listDataDirectory();
    }

    // One save at the end instead of one per record.
    const QSignalBlocker blocker(store);
    const QString path = filePath();
    QByteArray bytes;
    QString reason;
    bool ownedPrivately = false;
    const lf::OwnFileOpen read = readWholeFile(path, &bytes, &reason, &ownedPrivately);
    if (read == lf::OwnFileOpen::Missing) {
        // A first save that failed (a full disk) leaves books without a file:
        // they are still the bookcase.
        qDebug().noquote() << "no bookcase file, rebuilt from the book folders:" << path;
        rebuildFromBookFolders(store);
        save(store);
        return;
    }
    if (read == lf::OwnFileOpen::Failed) {
        qDebug().noquote() << "bookcase file cannot be read, left untouched for this run:" << reason;
        g_fileLeftAlone = true;
        rebuildFromBookFolders(store);
        return;
    }
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonValue records = document.object().value(kBookInfosKey);
    if (error.error != QJsonParseError::NoError || !document.isObject() || !records.isArray()) {
        qDebug().noquote() << "bookcase file damaged:"
                           << (error.error != QJsonParseError::NoError ? error.errorString()
                                                                       : QStringLiteral("no array of records"));
        keepDamagedCopy(bytes);
        rebuildFromBookFolders(store);
        save(store);
        return;
    }
    const RecordsAdded added = addRecords(store, records.toArray(), listing.folders);
    if (!added.wellFormed) {
        keepDamagedCopy(bytes);
        rebuildFromBookFolders(store);
    }
    // A file that already says what save() would write is left as it is: on a
    // large bookcase the rewrite costs more than the rest of the load.
    if (!added.wellFormed || added.changed || !ownedPrivately || document.object().size() != 1)
        save(store);
}
