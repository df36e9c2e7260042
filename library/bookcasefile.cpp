#include "library/bookcasefile.h"

#include "base/appconstants.h"
#include "base/atomicfile.h"
#include "base/bookname.h"
#include "base/datadirectory.h"
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
#include <QSignalBlocker>

#include <algorithm>

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

BookInfo recordFromObject(const QJsonObject& object)
{
    return BookInfo::fromStored(object.value(kFileNameKey).toString(), object.value(kBookNameKey).toString(),
        object.value(kAuthorKey).toString(), wholeNumber(object.value(kBookSizeKey)),
        object.value(kCoverUrlKey).toString(), wholeNumber(object.value(kAddTimeKey)));
}

// The names of the folders (and links to folders) in the data directory, read
// in one pass: a stat per record would cost seconds on a large bookcase.
QSet<QString> bookFolderNames()
{
    const QStringList names = QDir(lf::dataDirectory()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    return QSet<QString>(names.cbegin(), names.cend());
}

// Records whose book folder is gone are dropped. Returns false when an element
// is no record at all, so the file held something the rewrite would lose.
bool addRecords(BookListControl& store, const QJsonArray& records)
{
    bool wellFormed = true;
    const QSet<QString> folders = bookFolderNames();
    for (const QJsonValue& value : records) {
        if (!value.isObject() || !value.toObject().value(kFileNameKey).isString()) {
            qDebug().noquote() << "bookcase element that is no record dropped";
            wellFormed = false;
            continue;
        }
        const BookInfo record = recordFromObject(value.toObject());
        if (!lf::isUsableBookName(record.fileName())) {
            qDebug().noquote() << "bookcase record without a usable book name dropped:" << record.fileName();
            continue;
        }
        if (folders.contains(record.fileName()))
            store.addBook(record);
        else
            qDebug().noquote() << "book folder missing, record dropped:" << record.fileName();
    }
    return wellFormed;
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
lf::OwnFileOpen readWholeFile(const QString& path, QByteArray* bytes, QString* reason)
{
    QFile file;
    const lf::OwnFileOpen opened = lf::openOwnFile(path, &file, reason);
    if (opened != lf::OwnFileOpen::Opened)
        return opened;
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
    BookStaging::cleanUpLeftovers();

    // One save at the end instead of one per record.
    const QSignalBlocker blocker(store);
    const QString path = filePath();
    QByteArray bytes;
    QString reason;
    const lf::OwnFileOpen read = readWholeFile(path, &bytes, &reason);
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
    } else if (!addRecords(store, records.toArray())) {
        keepDamagedCopy(bytes);
        rebuildFromBookFolders(store);
    }
    save(store);
}
