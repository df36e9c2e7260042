#include "library/bookcasefile.h"

#include "app/appconstants.h"
#include "app/datadirectory.h"
#include "epub/epubparser.h"
#include "library/bookname.h"
#include "library/booklistcontrol.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
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
    const QDateTime time = record.addTime();
    QJsonObject object;
    object.insert(kAddTimeKey, QJsonValue(time.isValid() ? time.toMSecsSinceEpoch() : qint64(0)));
    object.insert(kAuthorKey, record.author());
    object.insert(kBookNameKey, record.bookName());
    object.insert(kBookSizeKey, QJsonValue(record.bookSize()));
    object.insert(kCoverUrlKey, record.coverUrl());
    object.insert(kFileNameKey, record.fileName());
    return object;
}

BookInfo recordFromObject(const QJsonObject& object)
{
    return BookInfo(object.value(kFileNameKey).toString(), object.value(kBookNameKey).toString(),
                    object.value(kAuthorKey).toString(), wholeNumber(object.value(kBookSizeKey)),
                    object.value(kCoverUrlKey).toString(),
                    QDateTime::fromMSecsSinceEpoch(wholeNumber(object.value(kAddTimeKey))));
}

// Records whose book folder is gone are dropped.
void addRecords(BookListControl& store, const QJsonArray& records)
{
    for (const QJsonValue& value : records) {
        const BookInfo record = recordFromObject(value.toObject());
        if (!lf::isUsableBookName(record.fileName())) {
            qDebug().noquote() << "bookcase record without a usable book name dropped:" << record.fileName();
            continue;
        }
        if (QFileInfo(BookcaseFile::bookFolder(record.fileName())).isDir())
            store.addBook(record);
        else
            qDebug().noquote() << "book folder missing, record dropped:" << record.fileName();
    }
}

// Without a bookcase file the books on disk are orphans and go, but the port
// file of the running instance stays so later starts can still hand over.
void removeDataDirectoryContent()
{
    const QString path = lf::dataDirectory();
    const QFileInfo info(path.chopped(1));
    if (!info.exists())
        return;
    if (info.isSymLink() || !info.isDir()) {
        qDebug().noquote() << "data directory is not a plain directory, left alone:" << path;
        return;
    }
    qDebug().noquote() << "no bookcase file, clearing the data directory:" << path;
    QDir dir(path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName() == lf::kPortFileName)
            continue;
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

void keepDamagedCopy()
{
    const QString copy = BookcaseFile::damagedCopyPath();
    QFile::remove(copy);
    if (!QFile::copy(BookcaseFile::filePath(), copy))
        qDebug().noquote() << "could not keep the damaged bookcase file as" << copy;
}
// The records a damaged file held are unknown; every folder that still parses as
// a book gets a fresh record. The size of its .epub is no longer known.
void rebuildFromBookFolders(BookListControl& store)
{
    const QFileInfoList folders =
        QDir(lf::dataDirectory()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& folder : folders) {
        const QString name = folder.fileName();
        if (folder.isSymLink() || !lf::isUsableBookName(name))
            continue;
        const std::unique_ptr<EpubData> book = EpubParser::parseBook(BookcaseFile::bookFolder(name) + QLatin1Char('/'));
        if (!book)
            continue;
        store.addBook(BookInfo(name, book->metadata.title, book->metadata.creator, 0, book->coverPath,
                               folder.lastModified()));
        qDebug().noquote() << "bookcase record rebuilt:" << name;
    }
}
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
    std::sort(books.begin(), books.end(),
              [](const BookInfo& a, const BookInfo& b) { return a.fileName() < b.fileName(); });
    QJsonArray records;
    for (const BookInfo& record : qAsConst(books))
        records.append(recordObject(record));
    QJsonObject top;
    top.insert(kBookInfosKey, records);
    return QJsonDocument(top).toJson(QJsonDocument::Compact);
}

bool BookcaseFile::save(const BookListControl& store)
{
    if (!lf::ensureDataDirectory()) {
        qDebug().noquote() << "bookcase not saved, no usable data directory:" << lf::dataDirectory();
        return false;
    }
    QSaveFile file(filePath());
    // Unbuffered, so a short write shows in write()'s count instead of being lost in a flush that
    // still lets commit() succeed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        qDebug().noquote() << "bookcase not saved:" << file.errorString();
        return false;
    }
    const QByteArray bytes = toJson(store);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qDebug().noquote() << "bookcase not saved:" << file.errorString();
        return false;
    }
    return true;
}

void BookcaseFile::load(BookListControl& store)
{
    if (!lf::dataDirectoryIsOurs())
        return;
    const QString path = filePath();
    if (!QFileInfo::exists(path)) {
        removeDataDirectoryContent();
        return;
    }
    QByteArray bytes;
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);

    // One save at the end instead of one per record.
    const QSignalBlocker blocker(store);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qDebug().noquote() << "bookcase file damaged:" << error.errorString();
        keepDamagedCopy();
        rebuildFromBookFolders(store);
    } else {
        addRecords(store, document.object().value(kBookInfosKey).toArray());
    }
    save(store);
}
